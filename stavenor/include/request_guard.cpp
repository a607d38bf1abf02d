#include "include/request_guard.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// "host" or "host:port" as a Host header or a URL carries it.
bool is_own_authority(std::string_view authority, uint16_t port)
{
    std::string text = lower(authority);
    size_t host_end = text.starts_with("[") ? text.find(']') : text.find(':');
    if (host_end == std::string::npos) host_end = text.size();
    else if (text.starts_with("[")) ++host_end;
    const std::string host = text.substr(0, host_end);
    if (host != "127.0.0.1" && host != "localhost" && host != "[::1]") return false;

    std::string_view rest = std::string_view(text).substr(host_end);
    if (rest.empty()) return port == 80;
    if (rest.size() < 2 || rest.size() > 6 || rest[0] != ':') return false;
    unsigned number = 0;
    for (char c : rest.substr(1)) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number == port;
}

// An origin ("http://127.0.0.1:8765") or a URL of one ("http://127.0.0.1:8765/index.html").
bool is_own_url(std::string_view url, uint16_t port, bool path_allowed)
{
    constexpr std::string_view scheme = "http://";
    if (url.size() < scheme.size() || lower(url.substr(0, scheme.size())) != scheme) return false;
    std::string_view rest = url.substr(scheme.size());
    size_t end = path_allowed ? rest.find_first_of("/?#") : std::string_view::npos;
    std::string_view authority = rest.substr(0, end);
    return authority.find('@') == std::string_view::npos && is_own_authority(authority, port);
}

// The header as the log shows it: no control characters, not endless.
std::string shown(const char* value)
{
    std::string out;
    for (const char* c = value; *c && out.size() < 200; ++c)
        out += static_cast<unsigned char>(*c) < 0x20 || *c == 0x7f ? '?' : *c;
    return out;
}

std::string refused(const char* header, const char* value, const char* why)
{
    return std::string("request refused (") + header + " \"" + shown(value) + "\"): " + why;
}

} // namespace

std::optional<std::string> request_refusal(const request_origin& given, uint16_t port)
{
    // An empty header tells nothing, as if it were missing.
    auto present = [](const char* value) { return value && *value ? value : nullptr; };
    const request_origin headers{present(given.host), present(given.origin), present(given.sec_fetch_site),
                                 present(given.referer)};
    if (headers.host && !is_own_authority(headers.host, port))
        return refused("Host", headers.host, "not this server's address");
    if (headers.origin && !is_own_url(headers.origin, port, false))
        return refused("Origin", headers.origin, "another origin");
    // A browser says where a request comes from; an <img>, <script> or no-cors fetch of another
    // page carries no Origin, but still this.
    if (headers.sec_fetch_site) {
        std::string_view site = headers.sec_fetch_site;
        if (site != "same-origin" && site != "none")
            return refused("Sec-Fetch-Site", headers.sec_fetch_site, "sent for another site's page");
        return std::nullopt;
    }
    if (headers.referer && !is_own_url(headers.referer, port, true))
        return refused("Referer", headers.referer, "another origin");
    return std::nullopt;
}
