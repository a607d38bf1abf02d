// The HTTP daemon: collects each request into an http_request, hands it to the handler registry
// and sends what the handler filled in.
#pragma once

#include "include/params.h"

#include <cstdint>
#include <optional>
#include <string>

struct http_request {
    int status = -1;            // 0 or less: the handler gave no answer, the daemon sends its 500 page
    std::string data;           // the body
    std::string url;            // path without the query
    std::optional<std::string> content_type;
    std::optional<std::string> content_disposition;
    std::optional<std::string> content_transfer_encoding;
    param_list* params = nullptr;
    // The page window that sent the request (its "X-Window" header; empty for other clients), so
    // that the store can tell a window which changes came from elsewhere.
    std::string window;
    // A body sent straight from an open file instead of `data` (large files are not read into memory).
    // The daemon takes ownership of the descriptor.
    int body_fd = -1;
    uint64_t body_fd_size = 0;
};

enum request_method { METHOD_OTHER = 0, METHOD_POST = 1, METHOD_GET = 2 };

// Listens on 127.0.0.1 only and refuses requests from other origins (request_guard.h). Returns 1
// when started, 0 when not. Requests wait (bounded) until open_http_daemon: start-up still
// registers the handlers after the daemon listens.
int start_http_daemon(uint16_t port);
// Made once a run and sent with every answer ("X-Server-Start"): another token, another run.
const char* start_token();
void open_http_daemon();
void stop_http_daemon();

// Kept for callers that hand Latin-1 text to units; returns the number of bytes written to out.
size_t utf8_to_latin1(char* out, const unsigned char* in, long length);
