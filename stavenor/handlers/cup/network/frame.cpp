#include "handlers/cup/network/frame.h"

#include "common/crc.h"
#include "common/logger.h"
#include "handlers/cup/network/announcement.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

const char* typeNames[256];
const char* categoryNames[256];
const char* actionNames[256];
std::once_flag namesOnce;

uint16_t computeCrc(const FrameHeader* header)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(header);
    uint16_t crc = 0;
    for (size_t i = 0; i < header->pl; ++i)
        crc = crc16_update(crc, (i >= 16 && i <= 18) ? 0 : bytes[i]);
    return crc;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const char* nameIn(const char* const* table, uint8_t value) { return table[value] ? table[value] : "???"; }

} // namespace

bool frameCrc(FrameHeader* header, bool set)
{
    const uint16_t crc = computeCrc(header);
    if (set) header->crc = crc;
    return header->crc == crc;
}

bool frameCrcGood(const FrameHeader* header) { return header->crc == computeCrc(header); }

std::string macToText(const uint8_t* bytes)
{
    char text[18];
    snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
             bytes[5]);
    return text;
}

int textToMac(const std::string& text, uint8_t* bytes)
{
    if (!bytes) return -1;
    if (text.size() != 17) return -2;
    for (int i = 0; i < 6; ++i) {
        int high = hexDigit(text[3 * i]), low = hexDigit(text[3 * i + 1]);
        bytes[i] = static_cast<uint8_t>(((high < 0 ? 0 : high) << 4) | (low < 0 ? 0 : low));
    }
    return 0;
}

bool isMacText(const std::string& text)
{
    if (text.size() != 17) return false;
    for (size_t i = 0; i < 17; ++i) {
        if (i % 3 == 2 ? text[i] != ':' : hexDigit(text[i]) < 0) return false;
    }
    return true;
}

int frameBodyLength(const uint8_t* frame, size_t captured)
{
    if (captured < ETHERNET_HEADER_SIZE + FRAME_HEADER_SIZE) return -1;
    auto header = reinterpret_cast<const FrameHeader*>(frame + ETHERNET_HEADER_SIZE);
    if (header->t == MSG_A_O || header->t == MSG_A_B) return FRAME_HEADER_SIZE;
    if (header->pl < FRAME_HEADER_SIZE || header->pl > captured - ETHERNET_HEADER_SIZE) return -1;
    return header->pl;
}

std::string fieldText(const uint8_t* data, size_t size, size_t offset, size_t width)
{
    if (offset >= size) return {};
    const size_t limit = std::min(width, size - offset);
    const void* zero = memchr(data + offset, 0, limit);
    const size_t length = zero ? static_cast<const uint8_t*>(zero) - (data + offset) : limit;
    return std::string(reinterpret_cast<const char*>(data + offset), length);
}

void initNameTables()
{
    std::call_once(namesOnce, [] {
        const std::pair<int, const char*> types[] = {
            {0, "NUL"}, {1, "QRY"}, {2, "INF"}, {3, "FIL"}, {4, "BTR"}, {5, "FRG"}, {6, "UPD"}, {7, "ALW"},
            {8, "DNY"}, {9, "SUC"}, {10, "STA"}, {11, "ERR"}, {12, "HWR"}, {13, "EOU"}, {14, "ALR"},
            {15, "DIR"}, {16, "MOD"}, {17, "LST"}, {48, "RLD"}, {49, "PRC"}, {50, "TTM"}, {51, "RBT"},
            {52, "SON"}, {53, "SOF"}, {62, "ROL"}, {224, "AUD"}, {240, "OUT"}, {252, "PNG"}, {253, "A_O"},
            {254, "A_B"}};
        for (auto& [value, name] : types) typeNames[value] = name;
        const char* categories[] = {"other", "dis", "configuration", "announcements", "RAM storage"};
        for (int i = 0; i < 5; ++i) categoryNames[i] = categories[i];
        const std::pair<int, const char*> actions[] = {{0, "update"}, {1, "replace"}, {2, "remove"},
                                                        {3, "add ?"}, {4, "link"}, {5, "download"},
                                                        {6, "change mode"}, {7, "remove link destination"},
                                                        {8, "unpack"}, {254, "fragment ACK"}};
        for (auto& [value, name] : actions) actionNames[value] = name;
    });
}

const char* messageTypeName(uint8_t type)
{
    initNameTables();
    return nameIn(typeNames, type);
}

void dumpFrame(const uint8_t* frame, size_t length, const std::string& label, bool received)
{
    constexpr uint32_t level = LOG_BRELT | LOG_BRELT_DETAIL;
    if (!log_enabled(level) || length < ETHERNET_HEADER_SIZE + FRAME_HEADER_SIZE) return;
    initNameTables();
    auto header = reinterpret_cast<const FrameHeader*>(frame + ETHERNET_HEADER_SIZE);
    const char* arrow = received ? ">>" : "<<";
    const std::string unit = macToText(received ? frame + 6 : frame);
    const std::string local = macToText(received ? frame : frame + 6);

    LOG(level, "  +---- [ %s ] ----\n", arrow);
    LOG(level, "  |  %s %s %s (0x%04X) on \"%s\"\n", unit.c_str(), arrow, local.c_str(), (frame[12] << 8) | frame[13],
        label.c_str());
    LOG(level, "  +-\n");
    // Acknowledgements echo another frame's pl: their crc is only checked against what was captured.
    const bool whole = header->pl <= length - ETHERNET_HEADER_SIZE;
    LOG(level, "  | v:%02X  t:%s  pr:%03d  po:%02X  hl:%03d  pl:%03d  fid:%04u (%04d/%04d) crc:%04X (%s)\n", header->v,
        messageTypeName(header->t), header->pr, header->po, header->hl, header->pl, header->fid, header->partNumber,
        header->partCount, header->crc, whole && frameCrcGood(header) ? " OK" : "BAD");
    if (!whole) {
        LOG(level, "  +----\n\n");
        return;
    }

    const uint8_t* p = header->payload();
    const size_t size = header->pl - FRAME_HEADER_SIZE;
    Announcement a;
    if (header->t == MSG_INF && readAnnouncement(header, a)) {
        const int v = header->v;
        LOG(level, "  +-\n");
        LOG(level, "  | stat:  %s\n", a.stat == 1 ? "busy" : a.stat == 2 ? "available" : "locked");
        LOG(level, "  | name: `%s`\n", a.name.c_str());
        LOG(level, "  | date: `%s`\n", a.date.c_str());
        LOG(level, "  | org : `%s`\n", a.org.c_str());
        LOG(level, "  | dis : `%s`\n", a.dis.c_str());
        LOG(level, "  | ver :  %d\n", a.ver);
        LOG(level, "  | run :  %d.%d.%d\n", a.run[0], a.run[1], a.run[2]);
        if (v > 1) {
            LOG(level, "  | hwv :  %d\n", a.hwv);
            LOG(level, "  | ip  :  %d.%d.%d.%d\n", a.ip[0], a.ip[1], a.ip[2], a.ip[3]);
        }
        if (v > 2) {
            LOG(level, "  | v.3 : ---\n");
            LOG(level, "  | hwd : `%s`\n", a.hwd.c_str());
        }
        if (v > 4) {
            LOG(level, "  | v.5 : ---\n");
            LOG(level, "  | hwen: `%s`\n", a.hwen.c_str());
        }
        if (v > 5) {
            LOG(level, "  | v.6 : ---\n");
            LOG(level, "  | type: %s\n", a.type.c_str());
            LOG(level, "  | cmem: %s\n", a.cmem ? "yes" : "no");
            LOG(level, "  | role: `%s`\n", a.role.c_str());
            LOG(level, "  | lang: %s\n", a.lang.c_str());
            LOG(level, "  | flsh: %d\n", a.flsh);
        }
        if (v > 6) {
            LOG(level, "  | v7  : ---\n");
            LOG(level, "  | id  : %s\n", a.id.c_str());
            LOG(level, "  | lock: %d\n", a.lock ? 1 : 0);
        }
    } else if (header->t == MSG_FIL && header->partCount == 1 && header->partNumber == 1 && size >= 2) {
        LOG(level, "  +-\n");
        LOG(level, "  | type: %s\n", nameIn(categoryNames, p[0]));
        LOG(level, "  | actn: %s\n", nameIn(actionNames, p[1]));
        LOG(level, "  | name: %s\n", fieldText(p, size, 2, 128).c_str());
        LOG(level, "  | path: %s\n", fieldText(p, size, 130, 256).c_str());
        LOG(level, "  | link: %s\n", fieldText(p, size, 386, 128).c_str());
        LOG(level, "  | lpth: %s\n", fieldText(p, size, 514, 256).c_str());
    } else if (header->t == MSG_ROL && size >= 1) {
        LOG(level, "  +-\n");
        LOG(level, "  | actn: %d\n", p[0]);
    } else if (header->t == MSG_ERR && size >= 2) {
        LOG(level, "  +-\n");
        LOG(level, "  | code: %d\n", static_cast<int16_t>(p[0] | (p[1] << 8)));
        LOG(level, "  | text: %s\n", fieldText(p, size, 2, size).c_str());
    }
    LOG(level, "  +----\n\n");
}
