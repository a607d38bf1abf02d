// Only the console's own pages and programs may use the server. The handlers read and write files
// wherever the process may, so a request that another web page or a rebound DNS name makes a
// browser send is refused on its headers alone, before any handler or the document root sees it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The headers that tell where a request comes from; null (or empty) when the request has none.
struct request_origin {
    const char* host = nullptr;
    const char* origin = nullptr;
    const char* sec_fetch_site = nullptr;
    const char* referer = nullptr;
};

// None when the request may go on; otherwise why it is refused, naming the header that decided.
// Our own origin is http:// with 127.0.0.1, localhost or [::1] and `port`. Requests without these
// headers (the control centre's own, curl) pass.
std::optional<std::string> request_refusal(const request_origin& headers, uint16_t port);
