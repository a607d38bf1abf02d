#include "handlers/cup/network/announcement.h"

#include <cstring>

size_t announcementMinimum(int version)
{
    if (version >= 7) return 903;
    if (version == 6) return 774;
    if (version == 5) return 674;
    if (version >= 3) return 657;
    if (version == 2) return 529;
    return 524;
}

bool readAnnouncement(const FrameHeader* header, Announcement& out)
{
    if (header->t != MSG_INF || header->pl < FRAME_HEADER_SIZE) return false;
    const size_t size = header->pl - FRAME_HEADER_SIZE;
    const int v = header->v;
    if (size < announcementMinimum(v)) return false;
    const uint8_t* p = header->payload();

    out = Announcement{};
    out.version = v;
    out.name = fieldText(p, size, 6, 128);
    out.date = fieldText(p, size, 134, 128);
    out.org = fieldText(p, size, 262, 128);
    out.dis = fieldText(p, size, 390, 128);
    out.ver = static_cast<uint16_t>(p[518] | (p[519] << 8));
    out.stat = p[520];
    memcpy(out.run, p + 521, 3);
    if (v >= 2) {
        out.hwv = p[524];
        memcpy(out.ip, p + 525, 4);
    }
    if (v >= 3) out.hwd = fieldText(p, size, 529, 128);
    if (v >= 5) out.hwen = fieldText(p, size, 657, 17);
    if (v >= 6) {
        out.type = fieldText(p, size, 674, 17);
        out.cmem = p[691] != 0;
        out.role = fieldText(p, size, 692, 33);
        out.lang = fieldText(p, size, 725, 48);
        out.flsh = p[773];
    }
    if (v >= 7) {
        out.id = fieldText(p, size, 774, 128);
        out.lock = p[902] != 0;
    }
    return true;
}

int readState(const FrameHeader* header)
{
    if (header->t != MSG_STA || header->pl <= FRAME_HEADER_SIZE) return -1;
    return header->payload()[0];
}
