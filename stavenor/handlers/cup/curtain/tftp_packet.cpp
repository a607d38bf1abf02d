#include "handlers/cup/curtain/tftp_packet.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// A decimal number of digits only; a value past `ceiling` reads as `ceiling`.
std::optional<long> decimal(const std::string& text, long ceiling)
{
    if (text.empty() || text.size() > 32) return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = std::min(ceiling, value * 10 + (c - '0'));
    }
    return value;
}

void put16(std::string& out, uint16_t value)
{
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value & 0xFF));
}

} // namespace

std::optional<TftpPacket> parseTftpPacket(const uint8_t* data, size_t length)
{
    if (length < 2) return std::nullopt;
    TftpPacket packet;
    packet.opcode = static_cast<uint16_t>(data[0] << 8 | data[1]);
    size_t at = 2;
    while (at < length) {
        const void* nul = memchr(data + at, 0, length - at);
        size_t end = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : length;
        std::string field(reinterpret_cast<const char*>(data + at), end - at);
        for (char& c : field) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        packet.fields.push_back(std::move(field));
        at = end + 1;
    }
    return packet;
}

std::optional<uint16_t> tftpBlockNumber(const uint8_t* data, size_t length)
{
    if (length < 4) return std::nullopt;
    return static_cast<uint16_t>(data[2] << 8 | data[3]);
}

TftpNegotiation negotiateTftpOptions(const std::vector<std::string>& fields)
{
    TftpNegotiation result;
    for (size_t i = 2; i + 1 < fields.size(); i += 2) {
        TftpOption option{fields[i], fields[i + 1]};
        if (option.name == "blksize") {
            option.known = true;
            auto size = decimal(option.requested, 1L << 20);
            if (size && *size >= 8) {
                result.blockSize = static_cast<int>(std::min<long>(*size, kTftpMaxBlockSize));
                option.taken = true;
                option.value = result.blockSize;
            }
        } else if (option.name == "timeout") {
            option.known = true;
            auto seconds = decimal(option.requested, 1L << 20);
            if (seconds && *seconds >= 1 && *seconds <= 255) {
                result.timeoutSeconds = static_cast<int>(*seconds);
                option.taken = true;
                option.value = result.timeoutSeconds;
            }
        }
        result.options.push_back(std::move(option));
    }
    return result;
}

std::string tftpOptionAck(const TftpNegotiation& negotiation)
{
    std::string out;
    put16(out, TFTP_OACK);
    for (const TftpOption& option : negotiation.options) {
        if (!option.taken) continue;
        out += option.name;
        out.push_back('\0');
        out += std::to_string(option.value);
        out.push_back('\0');
    }
    return out;
}

std::string tftpError(uint16_t code, const std::string& message)
{
    std::string out;
    put16(out, TFTP_ERROR);
    put16(out, code);
    out += message;
    out.push_back('\0');
    return out;
}
