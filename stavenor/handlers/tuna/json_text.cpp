#include "handlers/tuna/json_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// Length of the well-formed UTF-8 sequence starting at s[i], or 0 when it is not one.
size_t utf8SequenceLength(std::string_view s, size_t i)
{
    auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    auto continuation = [&](size_t k) { return k < s.size() && (byte(k) & 0xC0) == 0x80; };
    uint8_t b = byte(i);
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) return continuation(i + 1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (!continuation(i + 1) || !continuation(i + 2)) return 0;
        uint8_t b1 = byte(i + 1);
        if (b == 0xE0 && b1 < 0xA0) return 0; // overlong
        if (b == 0xED && b1 >= 0xA0) return 0; // surrogates
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (!continuation(i + 1) || !continuation(i + 2) || !continuation(i + 3)) return 0;
        uint8_t b1 = byte(i + 1);
        if (b == 0xF0 && b1 < 0x90) return 0; // overlong
        if (b == 0xF4 && b1 >= 0x90) return 0; // beyond U+10FFFF
        return 4;
    }
    return 0;
}

} // namespace

void appendJsonString(std::string& out, std::string_view text)
{
    out.reserve(out.size() + text.size() + 2);
    out += '"';
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        auto u = static_cast<uint8_t>(c);
        if (u >= 0x80) {
            size_t n = utf8SequenceLength(text, i);
            if (n == 0) {
                out += "\\ufffd";
                ++i;
            } else {
                out.append(text.substr(i, n));
                i += n;
            }
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (u < 0x20) {
                char escaped[8];
                snprintf(escaped, sizeof escaped, "\\u%04x", u);
                out += escaped;
            } else {
                out += c;
            }
        }
        ++i;
    }
    out += '"';
}

std::string jsonString(std::string_view text)
{
    std::string out;
    appendJsonString(out, text);
    return out;
}

void replySuccess(std::string& reply) { reply += "{\n\t\"status\" : \"success\"\n}\n"; }

void replyProbablySuccess(std::string& reply) { reply += "{\n\t\"status\" : \"probably success\"\n}\n"; }

void replyError(std::string& reply, std::string_view description)
{
    reply += "{\n\t\"status\" : \"error\",\n\t\"description\" : ";
    appendJsonString(reply, description);
    reply += "\n}\n";
}

void replyInsertSuccess(std::string& reply, std::string_view id, std::string_view name)
{
    reply += "{\n\t\"id\" : ";
    appendJsonString(reply, id);
    reply += ",\n\t\"name\" : ";
    appendJsonString(reply, name);
    reply += ",\n\t\"status\" : \"success\"\n}\n";
}

void replyCollision(std::string& reply, std::string_view id)
{
    reply += "{\n\t\"id\" : ";
    appendJsonString(reply, id);
    reply += ",\n\t\"status\" : \"error\",\n\t\"description\" : \"collision detection\"\n}\n";
}
