#include "common/attachment.h"

std::string attachment_disposition(const std::string& name)
{
    const size_t slash = name.rfind('/');
    std::string plain;
    for (char c : slash == std::string::npos ? name : name.substr(slash + 1)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || byte < 0x20 || byte == 0x7F) continue;
        plain += c;
    }
    if (plain.empty() || plain == "." || plain == "..") plain = "download";
    return "attachment; filename=\"" + plain + "\"";
}
