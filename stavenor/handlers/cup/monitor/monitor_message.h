// The monitor channel's wire format: messages "<" name {"," base64 "="} "," crc32 ">", and files
// sent zlib-compressed in parts of 1024 bytes as "!file" messages. Plain functions, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

constexpr size_t kMonitorMaxName = 255;
constexpr size_t kMonitorMaxArguments = 256;
constexpr size_t kMonitorBuffer = 4096;
constexpr size_t kMonitorPart = 1024;
// A received file is at most this big, before and after compression.
constexpr size_t kMonitorMaxFile = 64u << 20;

struct MonitorMessage {
    std::string name;
    std::vector<std::string> arguments; // decoded bytes
};

// The message text; none when the name or the argument count is beyond the bounds.
std::optional<std::string> buildMonitorMessage(const MonitorMessage& message);

enum class MonitorParse { Ok, Ignored, CrcError };
// `text` runs from "<" to ">" inclusive. Anything malformed or beyond a bound is Ignored.
MonitorParse parseMonitorMessage(const std::string& text, MonitorMessage& out);

// Cuts a byte stream into message texts: "<" starts one (dropping a partial one), ">" ends it,
// a message that reaches the buffer size is dropped.
class MonitorScanner {
public:
    void feed(const uint8_t* data, size_t length, const std::function<void(const std::string&)>& onMessage);

private:
    std::string collected;
};

// The "!file" parts of a file being sent: the first carries the size and the name.
std::optional<std::vector<MonitorMessage>> monitorFileParts(const uint8_t* data, size_t size, const std::string& name,
                                                            std::string& error);

// Collects received "!file" parts. A part that breaks a bound, or does not belong to the file
// that part 0 announced, is dropped; the file is whole only when every part arrived and zlib
// gives exactly the announced size.
class MonitorFileReceiver {
public:
    enum class Result { Stored, Complete, Dropped, Failed };
    // `error` says why for Dropped and Failed.
    Result add(const MonitorMessage& part, std::string& error);

    const std::string& fileName() const { return name; }
    const std::vector<uint8_t>& data() const { return file; }
    // The index and count of the last part stored.
    int index = -1;
    int count = 0;

private:
    std::vector<std::string> parts;
    std::vector<bool> arrived;
    size_t missing = 0;
    size_t size = 0;
    std::string name;
    std::vector<uint8_t> file;
};
