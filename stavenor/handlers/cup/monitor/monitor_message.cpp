#include "handlers/cup/monitor/monitor_message.h"

#include "common/crc.h"

#include <cstdio>
#include <cstring>
#include <zlib.h>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool acceptedKind(char c) { return c == '!' || c == '*' || c == '+' || c == '-' || c == '@'; }

// Base64 without padding: n bytes give (4n + 2) / 3 characters.
std::string encode(const std::string& bytes)
{
    std::string out;
    out.reserve((4 * bytes.size() + 2) / 3);
    uint32_t bits = 0;
    int held = 0;
    for (unsigned char c : bytes) {
        bits = bits << 8 | c;
        held += 8;
        while (held >= 6) out.push_back(kAlphabet[(bits >> (held -= 6)) & 63]);
    }
    if (held) out.push_back(kAlphabet[(bits << (6 - held)) & 63]);
    return out;
}

// Strict: every character of the alphabet, and a length that some byte count gives.
std::optional<std::string> decode(const char* text, size_t length)
{
    if (length % 4 == 1) return std::nullopt;
    std::string out;
    out.reserve(length * 3 / 4);
    uint32_t bits = 0;
    int held = 0;
    for (size_t i = 0; i < length; ++i) {
        const char* at = text[i] ? strchr(kAlphabet, text[i]) : nullptr;
        if (!at) return std::nullopt;
        bits = bits << 6 | static_cast<uint32_t>(at - kAlphabet);
        held += 6;
        if (held >= 8) out.push_back(static_cast<char>((bits >> (held -= 8)) & 0xFF));
    }
    if (out.size() != length * 3 / 4) return std::nullopt;
    return out;
}

uint32_t textCrc(const char* text, size_t length) { return crc32_of(text, length); }

// A decimal count of digits only, at most `ceiling`.
std::optional<size_t> decimalCount(const std::string& text, size_t ceiling)
{
    if (text.empty() || text.size() > 12) return std::nullopt;
    size_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<size_t>(c - '0');
    }
    if (value > ceiling) return std::nullopt;
    return value;
}

} // namespace

std::optional<std::string> buildMonitorMessage(const MonitorMessage& message)
{
    if (message.name.empty() || message.name.size() > kMonitorMaxName ||
        message.arguments.size() > kMonitorMaxArguments)
        return std::nullopt;
    std::string text = "<" + message.name;
    for (const std::string& argument : message.arguments) text += "," + encode(argument) + "=";
    char crc[16];
    snprintf(crc, sizeof crc, ",%08x>", textCrc(text.data() + 2, text.size() - 2));
    return text + crc;
}

MonitorParse parseMonitorMessage(const std::string& text, MonitorMessage& out)
{
    if (text.size() < 4 || text.front() != '<' || text.back() != '>' || !acceptedKind(text[1]))
        return MonitorParse::Ignored;
    size_t lastComma = text.rfind(',');
    if (lastComma == std::string::npos) return MonitorParse::Ignored;
    std::string crcText = text.substr(lastComma + 1, text.size() - lastComma - 2);
    if (crcText.empty() || crcText.size() > 8 || crcText.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return MonitorParse::Ignored;
    if (strtoul(crcText.c_str(), nullptr, 16) != textCrc(text.data() + 2, lastComma - 2)) return MonitorParse::CrcError;

    MonitorMessage message;
    size_t nameEnd = text.find(',');
    message.name = text.substr(1, nameEnd - 1);
    if (message.name.size() > kMonitorMaxName) return MonitorParse::Ignored;
    for (size_t at = nameEnd; at < lastComma;) {
        size_t end = text.find(',', at + 1);
        // Each argument is its base64 text and a single "=".
        if (end - at < 2 || text[end - 1] != '=' || message.arguments.size() == kMonitorMaxArguments)
            return MonitorParse::Ignored;
        auto bytes = decode(text.data() + at + 1, end - at - 2);
        if (!bytes) return MonitorParse::Ignored;
        message.arguments.push_back(std::move(*bytes));
        at = end;
    }
    out = std::move(message);
    return MonitorParse::Ok;
}

void MonitorScanner::feed(const uint8_t* data, size_t length, const std::function<void(const std::string&)>& onMessage)
{
    for (size_t i = 0; i < length; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == '<') {
            collected.assign(1, c);
        } else if (!collected.empty()) {
            collected.push_back(c);
            if (c == '>') {
                std::string text;
                text.swap(collected);
                onMessage(text);
            } else if (collected.size() >= kMonitorBuffer) {
                collected.clear();
            }
        }
    }
}

std::optional<std::vector<MonitorMessage>> monitorFileParts(const uint8_t* data, size_t size, const std::string& name,
                                                            std::string& error)
{
    // compressBound, not a guess: data that does not compress grows.
    uLongf compressedSize = compressBound(static_cast<uLong>(size));
    std::vector<uint8_t> compressed(compressedSize);
    int status = compress2(compressed.data(), &compressedSize, data, static_cast<uLong>(size), 9);
    if (status != Z_OK) {
        error = std::string("zlib compress failed: ") + zError(status);
        return std::nullopt;
    }
    size_t count = (compressedSize + kMonitorPart - 1) / kMonitorPart;
    std::vector<MonitorMessage> parts;
    for (size_t i = 0; i < count; ++i) {
        size_t offset = i * kMonitorPart;
        MonitorMessage part{"!file",
                            {std::to_string(i), std::to_string(count),
                             std::string(reinterpret_cast<char*>(compressed.data()) + offset,
                                         std::min(kMonitorPart, compressedSize - offset))}};
        if (i == 0) {
            part.arguments.push_back(std::to_string(size));
            part.arguments.push_back(name);
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

MonitorFileReceiver::Result MonitorFileReceiver::add(const MonitorMessage& part, std::string& error)
{
    const auto& a = part.arguments;
    constexpr size_t kMaxParts = (kMonitorMaxFile + kMonitorPart - 1) / kMonitorPart;
    auto i = a.size() >= 3 ? decimalCount(a[0], kMaxParts) : std::nullopt;
    auto n = a.size() >= 3 ? decimalCount(a[1], kMaxParts) : std::nullopt;
    if (!i || !n || *i >= *n || a[2].empty() || a[2].size() > kMonitorPart) {
        error = "malformed file part";
        return Result::Dropped;
    }
    if (*i == 0) {
        auto announced = a.size() >= 5 ? decimalCount(a[3], kMonitorMaxFile) : std::nullopt;
        if (!announced || a[4].size() > 1023) {
            error = "file part 0 without size and name";
            return Result::Dropped;
        }
        parts.assign(*n, std::string());
        arrived.assign(*n, false);
        missing = *n;
        size = *announced;
        name = a[4];
    } else if (parts.size() != *n) {
        error = "file part of no file announced";
        return Result::Dropped;
    }
    if (!arrived[*i]) --missing;
    arrived[*i] = true;
    parts[*i] = a[2];
    index = static_cast<int>(*i);
    count = static_cast<int>(*n);
    if (missing) return Result::Stored;

    std::string compressed;
    for (const std::string& p : parts) compressed += p;
    parts.clear();
    arrived.clear();
    file.assign(size, 0);
    uLongf produced = static_cast<uLongf>(size);
    int status = uncompress(file.data(), &produced, reinterpret_cast<const Bytef*>(compressed.data()),
                            static_cast<uLong>(compressed.size()));
    if (status != Z_OK || produced != size) {
        error = status != Z_OK ? std::string("zlib uncompress failed: ") + zError(status) : "size differs from announced";
        file.clear();
        return Result::Failed;
    }
    return Result::Complete;
}
