// The JSON reply of handler commands: {"status": "...", "description": "..."}.
#pragma once

#include "include/daemon.h"

#include <string>

void status_reply(http_request& request, bool success, const std::string& description);
