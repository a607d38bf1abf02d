// Unit frames: raw Ethernet frames of EtherType 0x08F0 with a 32-byte header, the frame checksum,
// the text form of a MAC address (a unit's identity) and the log dump of a frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "unit frames are little-endian; this layer reads them in place");

constexpr uint16_t ETHERTYPE_UNIT = 0x08F0;
constexpr size_t ETHERNET_HEADER_SIZE = 14;
constexpr size_t FRAME_HEADER_SIZE = 32;
// Payload area of every frame the server builds.
constexpr size_t FRAME_PAYLOAD_SIZE = 1024;

struct __attribute__((packed)) FrameHeader {
    uint8_t v;
    uint8_t t;
    uint8_t pr;
    uint8_t po;
    uint8_t hl;
    uint8_t reserved0;
    uint16_t pl;
    uint32_t fid;
    uint16_t partCount;
    uint16_t partNumber;
    uint16_t crc;
    uint8_t reserved1[14];

    const uint8_t* payload() const { return reinterpret_cast<const uint8_t*>(this) + FRAME_HEADER_SIZE; }
    uint8_t* payload() { return reinterpret_cast<uint8_t*>(this) + FRAME_HEADER_SIZE; }
};
static_assert(sizeof(FrameHeader) == FRAME_HEADER_SIZE);

// A frame the server builds: zero-filled header and the whole payload area.
struct __attribute__((packed)) FrameBuffer {
    FrameHeader header{};
    uint8_t payload[FRAME_PAYLOAD_SIZE]{};
};

enum MessageType : uint8_t {
    MSG_NUL = 0,
    MSG_QRY = 1,
    MSG_INF = 2,
    MSG_FIL = 3,
    MSG_BTR = 4,
    MSG_FRG = 5,
    MSG_UPD = 6,
    MSG_ALW = 7,
    MSG_DNY = 8,
    MSG_SUC = 9,
    MSG_STA = 10,
    MSG_ERR = 11,
    MSG_HWR = 12,
    MSG_EOU = 13,
    MSG_ALR = 14,
    MSG_DIR = 15,
    MSG_MOD = 16,
    MSG_LST = 17,
    MSG_RLD = 48,
    MSG_PRC = 49,
    MSG_TTM = 50,
    MSG_RBT = 51,
    MSG_SON = 52,
    MSG_SOF = 53,
    MSG_ROL = 62,
    MSG_FLASH = 63,
    MSG_LANGUAGES = 65,
    MSG_UNBRICK = 74,
    MSG_AUD = 224,
    MSG_OUT = 240,
    MSG_PNG = 252,
    MSG_A_O = 253,
    MSG_A_B = 254,
};

// CRC-16/ARC over the pl bytes of header and payload, bytes 16 to 18 taken as zero.
// With `set` it stores the result; returns whether the stored crc equals the computed one.
bool frameCrc(FrameHeader* header, bool set);
bool frameCrcGood(const FrameHeader* header);

std::string macToText(const uint8_t* bytes);
// -1 without output, -2 unless 17 characters; else writes six bytes (a non-hex digit counts as 0).
int textToMac(const std::string& text, uint8_t* bytes);
// True for six upper- or lower-case hex pairs joined by ':'.
bool isMacText(const std::string& text);

// Bytes of header and payload that a reader of this captured frame may use, or -1 when the
// frame must be dropped: under 46 captured bytes, or a pl below 32 or beyond what was captured.
// Acknowledgements count as their 32-byte header: their pl echoes the frame they acknowledge.
int frameBodyLength(const uint8_t* frame, size_t captured);

// A text field at `offset` of `width` bytes, ending at its first zero, its width or `size`.
std::string fieldText(const uint8_t* data, size_t size, size_t offset, size_t width);

void initNameTables();
const char* messageTypeName(uint8_t type);
// `frame` is the whole Ethernet frame, `length` its usable bytes (14 + body).
void dumpFrame(const uint8_t* frame, size_t length, const std::string& label, bool received);
