// The payload of every file request (FIL): category, action, two names and two directories, and
// a file mode.
#pragma once

#include "handlers/cup/network/frame.h"

#include <cstdint>
#include <string>

enum FileCategory : uint8_t {
    FILE_OTHER = 0,
    FILE_DIS = 1,
    FILE_CONFIGURATION = 2,
    FILE_ANNOUNCEMENTS = 3,
    FILE_RAM_STORAGE = 4,
    FILE_TO_RAM = 0x80,
};

enum FileAction : uint8_t {
    FILE_UPDATE = 0,
    FILE_REPLACE = 1,
    FILE_REMOVE = 2,
    FILE_ADD = 3,
    FILE_LINK = 4,
    FILE_DOWNLOAD = 5,
    FILE_CHANGE_MODE = 6,
    FILE_REMOVE_LINK_DESTINATION = 7,
    FILE_UNPACK = 8,
    FILE_FRAGMENT_ACK = 254,
};

struct __attribute__((packed)) FilePayload {
    uint8_t type;
    uint8_t actn;
    char name[128];
    char path[256];
    char link[128];
    char lpth[256];
    uint8_t reserved[2];
    uint32_t mode;
};
static_assert(sizeof(FilePayload) == 776);

constexpr uint16_t FILE_REQUEST_PL = FRAME_HEADER_SIZE + sizeof(FilePayload);

inline FilePayload& filePayload(FrameBuffer& frame) { return *reinterpret_cast<FilePayload*>(frame.payload); }

// Copies a name or directory into its field; one that fits exactly goes without its zero. False,
// with nothing written, for a text longer than the field: it would name another file.
template <size_t N>
bool putField(char (&field)[N], const std::string& text)
{
    if (text.size() > N) return false;
    text.copy(field, text.size());
    return true;
}

// The directory part of a path (up to and including its last '/', "./" without one) and its name.
std::string directoryOf(const std::string& path);
std::string nameOf(const std::string& path);
