#include "common/attachment.h"

#include <cstdio>

namespace {

// RFC 5987 attr-char: what ext-value may carry as it stands.
bool isAttrChar(unsigned char byte)
{
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')) return true;
    for (char c : std::string("!#$&+-.^_`|~"))
        if (byte == static_cast<unsigned char>(c)) return true;
    return false;
}

} // namespace

std::string attachment_disposition(const std::string& name)
{
    // The name a user typed ("North/South") keeps every part: separators become dashes.
    std::string plain;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || byte < 0x20 || byte == 0x7F) continue;
        plain += c == '/' || c == '\\' ? '-' : c;
    }
    if (plain.empty() || plain == "." || plain == "..") plain = "download";

    // Older browsers read only filename="…", which holds ASCII: each other character is a "_".
    std::string ascii;
    for (char c : plain) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            ascii += c;
        else if (byte >= 0xC0) // the first byte of a character; the bytes that continue it add nothing
            ascii += '_';
    }
    std::string disposition = "attachment; filename=\"" + ascii + "\"";
    if (ascii == plain) return disposition;
    std::string encoded;
    for (char c : plain) {
        const auto byte = static_cast<unsigned char>(c);
        if (isAttrChar(byte)) {
            encoded += c;
        } else {
            char hex[4];
            snprintf(hex, sizeof hex, "%%%02X", byte);
            encoded += hex;
        }
    }
    return disposition + "; filename*=UTF-8''" + encoded;
}
