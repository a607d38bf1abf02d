// TFTP packets as this server reads and writes them (read requests with the "blksize" and
// "timeout" options; DATA, OACK and ERROR out). Plain functions over bytes, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum TftpOpcode : uint16_t {
    TFTP_RRQ = 1,
    TFTP_WRQ = 2,
    TFTP_DATA = 3,
    TFTP_ACK = 4,
    TFTP_ERROR = 5,
    TFTP_OACK = 6,
};

constexpr int kTftpDefaultBlockSize = 512;
constexpr int kTftpMaxBlockSize = 1100;
constexpr int kTftpDefaultTimeout = 1;

struct TftpPacket {
    uint16_t opcode = 0;
    // Behind the opcode: each text up to its NUL, or up to the packet's end; lower-cased.
    std::vector<std::string> fields;
};

// None for a packet under 2 bytes.
std::optional<TftpPacket> parseTftpPacket(const uint8_t* data, size_t length);

// The block number of an ACK or DATA packet; none when it is too short.
std::optional<uint16_t> tftpBlockNumber(const uint8_t* data, size_t length);

struct TftpOption {
    std::string name;      // as received (lower case)
    std::string requested; // the value text as received
    bool known = false;    // "blksize" or "timeout"
    bool taken = false;    // acknowledged with `value`
    int value = 0;         // the value in force when taken
};

struct TftpNegotiation {
    int blockSize = kTftpDefaultBlockSize;
    int timeoutSeconds = kTftpDefaultTimeout;
    std::vector<TftpOption> options; // in the order of the request; a name without a value is left out
};

// Reads the option pairs behind the file name and mode. "blksize" is taken from 8 up, above 1100
// lowered to 1100; "timeout" from 1 to 255. Anything else, or a value that is not a decimal
// number in range, is not taken and the default stays.
TftpNegotiation negotiateTftpOptions(const std::vector<std::string>& fields);

// Opcode 6, then name, NUL, value, NUL for each option taken, in request order.
std::string tftpOptionAck(const TftpNegotiation& negotiation);

std::string tftpError(uint16_t code, const std::string& message);
