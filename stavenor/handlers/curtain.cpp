#include "handlers/curtain.h"

#include "common/logger.h"
#include "include/status_reply.h"

// Unit recovery is not built yet: every command is refused with an error the page can show.
void curtain_handler(http_request& request)
{
    LOG(LOG_CURTAIN, "curtain request %s refused - unit recovery is not available in this build", request.url.c_str());
    status_reply(request, false, "unit recovery is not available in this build");
}

void init_curtain() {}

void cleanup_curtain() { LOG(LOG_CURTAIN, "curtain cleanup"); }
