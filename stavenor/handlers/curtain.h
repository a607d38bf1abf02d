// The "curtain" handler: the browser's door to the recovery of a unit that no longer boots.
#pragma once

#include "include/daemon.h"

void curtain_handler(http_request& request);
void init_curtain();
void cleanup_curtain();
