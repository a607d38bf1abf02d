// A unit's announcement (INF) and state report (STA), read from a received frame.
#pragma once

#include "handlers/cup/network/frame.h"

#include <cstdint>
#include <string>

// The announcement's fields; those past the frame's version are left at their defaults.
struct Announcement {
    int version = 0;
    std::string name, date, org, dis;
    uint16_t ver = 0;
    uint8_t stat = 0;
    uint8_t run[3] = {0, 0, 0};
    uint8_t hwv = 0;
    uint8_t ip[4] = {0, 0, 0, 0};
    std::string hwd, hwen, type;
    bool cmem = false;
    std::string role, lang;
    uint8_t flsh = 0;
    std::string id;
    bool lock = false;
};

// Payload bytes an announcement of this version holds at least.
size_t announcementMinimum(int version);

// Reads the announcement of an INF frame whose pl bytes are readable. False, with nothing read,
// for another type or a payload under its version's minimum.
bool readAnnouncement(const FrameHeader* header, Announcement& out);

// The state byte of a STA frame, or -1 for another type or an empty payload.
int readState(const FrameHeader* header);
