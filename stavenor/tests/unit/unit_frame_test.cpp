#include "handlers/cup/network/announcement.h"
#include "handlers/cup/network/frame.h"
#include "unit_links_support.h"

#include <gtest/gtest.h>

TEST(UnitFrame, CrcCoversHeaderAndPayloadButNotItsOwnBytes)
{
    auto body = unitFrame(MSG_SUC, {1, 2, 3});
    auto header = reinterpret_cast<FrameHeader*>(body.data());
    const uint16_t crc = header->crc;
    body[18] = 0x77; // the reserved byte behind the crc is not covered
    EXPECT_TRUE(frameCrc(header, false));
    for (size_t i : {0u, 5u, 8u, 19u, 31u, 33u}) {
        auto copy = body;
        copy[i] ^= 1;
        frameCrc(reinterpret_cast<FrameHeader*>(copy.data()), true);
        EXPECT_NE(reinterpret_cast<FrameHeader*>(copy.data())->crc, crc) << "byte " << i;
    }
    // The query's well-known checksum.
    FrameHeader query{};
    query.t = MSG_QRY;
    query.pl = 32;
    frameCrc(&query, true);
    EXPECT_EQ(query.crc, 0x7FBA);
}

TEST(UnitFrame, MacText)
{
    const uint8_t bytes[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    EXPECT_EQ(macToText(bytes), "00:1A:2B:3C:4D:5E");
    uint8_t out[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(textToMac("00:1A:2B:3C:4D:5", out), -2);
    EXPECT_EQ(textToMac("00:1A:2B:3C:4D:5E0", out), -2);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(textToMac("00:1a:2B:3C:4D:5E", nullptr), -1);
    EXPECT_EQ(textToMac("00:1a:2B:3C:4D:5E", out), 0);
    EXPECT_EQ(macToText(out), "00:1A:2B:3C:4D:5E");
    EXPECT_TRUE(isMacText("00:1a:2B:3C:4D:5E"));
    for (const char* bad : {"00-1A-2B-3C-4D-5E", "00:1A:2B:3C:4D:5G", "", "00:1A:2B:3C:4D:5E:"})
        EXPECT_FALSE(isMacText(bad)) << bad;
}

TEST(UnitFrame, UsableLengthOfCapturedFrames)
{
    auto frameOf = [](std::vector<uint8_t> body) {
        body.insert(body.begin(), 14, 0);
        return body;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> frame;
        int expected;
    } cases[] = {
        {"45 bytes", std::vector<uint8_t>(45, 0), -1},
        {"header only", frameOf(unitFrame(MSG_SUC)), 32},
        {"padded", [&] { auto f = frameOf(unitFrame(MSG_SUC, {1})); f.resize(100); return f; }(), 33},
        {"pl beyond the frame", [&] { auto f = frameOf(unitFrame(MSG_SUC, {1, 2})); f.pop_back(); return f; }(), -1},
        {"pl below the header", [&] { auto f = frameOf(unitFrame(MSG_SUC)); f[20] = 31; return f; }(), -1},
        {"ack with a long pl", [&] { auto f = frameOf(unitFrame(MSG_A_O)); f[20] = 0xFF; f[21] = 0xFF; return f; }(), 32},
        {"ack with a short pl", [&] { auto f = frameOf(unitFrame(MSG_A_B)); f[20] = 3; return f; }(), 32},
    };
    for (auto& c : cases) EXPECT_EQ(frameBodyLength(c.frame.data(), c.frame.size()), c.expected) << c.what;
}

TEST(UnitFrame, TextFieldsStopAtZeroWidthAndEnd)
{
    const uint8_t data[] = {'a', 'b', 0, 'c', 'd', 'e', 'f'};
    EXPECT_EQ(fieldText(data, 7, 0, 10), "ab");
    EXPECT_EQ(fieldText(data, 7, 3, 2), "cd");
    EXPECT_EQ(fieldText(data, 7, 3, 10), "cdef");
    EXPECT_EQ(fieldText(data, 7, 9, 10), "");
}

TEST(UnitAnnouncement, FieldsByVersion)
{
    for (int version = 0; version <= 9; ++version) {
        SCOPED_TRACE(version);
        auto body = unitFrame(MSG_INF, announcementPayload(version, "cfg"), static_cast<uint8_t>(version));
        Announcement a;
        ASSERT_TRUE(readAnnouncement(reinterpret_cast<FrameHeader*>(body.data()), a));
        EXPECT_EQ(a.name, "cfg");
        EXPECT_EQ(a.ver, 4);
        EXPECT_EQ(a.ip[0], version >= 2 ? 192 : 0);
        EXPECT_EQ(a.hwd, version >= 3 ? "desc" : "");
        EXPECT_EQ(a.hwen, version >= 5 ? "hw-base" : "");
        EXPECT_EQ(a.lang, version >= 6 ? "en/v|fr/x" : "");
        EXPECT_EQ(a.id, version >= 7 ? "ident" : "");
        EXPECT_EQ(a.lock, version >= 7);

        // One byte short of the version's minimum: dropped.
        auto payload = announcementPayload(version, "cfg");
        payload.pop_back();
        auto shortBody = unitFrame(MSG_INF, payload, static_cast<uint8_t>(version));
        EXPECT_FALSE(readAnnouncement(reinterpret_cast<FrameHeader*>(shortBody.data()), a));
    }
}

TEST(UnitFrame, DumpNamesAndShortFrames)
{
    EXPECT_STREQ(messageTypeName(63), "???");
    EXPECT_STREQ(messageTypeName(255), "???");
    EXPECT_STREQ(messageTypeName(MSG_A_B), "A_B");
}
