#include "handlers/updater.h"

#include "common/logger.h"
#include "include/status_reply.h"

// Units and their jobs are not built yet: every command is refused with an error the page can show.
void updater_handler(http_request& request)
{
    LOG(LOG_ERROR, "updater request %s refused - unit maintenance is not available in this build",
        request.url.c_str());
    status_reply(request, false, "unit maintenance is not available in this build");
}

void init_updater() {}

void cleanup_updater() {}
