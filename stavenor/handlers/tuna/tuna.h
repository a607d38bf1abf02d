// The configuration store's entry points: its start and stop, and the "tuna" handler's callbacks.
#pragma once

#include "include/daemon.h"

// In main, after the options, the logger and the configuration file and before the handlers are
// registered: builds the schema and the constant lookup tables, opens the database, imports
// "default.conf" from the working directory and writes "saved.conf" there.
void start_store();
// At the stop: closes the database.
void stop_store();

void tuna_handler(http_request& request);
void init_tuna();
void cleanup_tuna();
