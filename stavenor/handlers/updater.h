// The "updater" handler: lists the discovered units and runs maintenance jobs on them.
#pragma once

#include "include/daemon.h"

void updater_handler(http_request& request);
void init_updater();
void cleanup_updater();
