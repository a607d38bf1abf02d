// The registry of named request handlers and the dispatch of requests to them.
#pragma once

#include "include/daemon.h"

#include <string>

using request_callback = void (*)(http_request&);
using init_callback = void (*)();
using cleanup_callback = void (*)();

constexpr int kHandlerSlots = 256;

struct http_handler {
    std::optional<std::string> name; // none for the document-root handler
    request_callback callback = nullptr;
    init_callback init = nullptr;
    cleanup_callback cleanup = nullptr;
};

void init_handlers();
// Runs `init` right after a successful registration. Returns 1 registered, 0 refused.
int register_handler(const char* name, request_callback callback, init_callback init, cleanup_callback cleanup);
const http_handler* find_handler(const char* name);
// Picks the handler by the URL's first segment (only when a '/' follows it), else the document root.
void handle_request(http_request& request);
int unregister_handler(const char* name);
void cleanup_handlers();

void rundis_handler(http_request& request);
