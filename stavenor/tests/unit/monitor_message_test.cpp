// The monitor channel's wire format: messages, the stream scanner and files in parts.
#include "handlers/cup/monitor/monitor_message.h"

#include "common/crc.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string built(const std::string& name, std::vector<std::string> arguments)
{
    return buildMonitorMessage({name, std::move(arguments)}).value_or("<none>");
}

TEST(MonitorMessage, BuildsTheTextTheWireCarries)
{
    EXPECT_EQ(built("+ping", {"abc"}), "<+ping,YWJj=,c7b38235>");
    std::string text = built("@x", {"", "a", "ab", std::string("\0\xff", 2)});
    EXPECT_EQ(text.substr(0, text.rfind(',')), "<@x,=,YQ=,YWI=,AP8=");
    EXPECT_EQ(built(std::string(256, 'n'), {}), "<none>");
    EXPECT_EQ(built("", {}), "<none>");
    EXPECT_EQ(built("+many", std::vector<std::string>(257, "x")), "<none>");
    EXPECT_NE(built("+many", std::vector<std::string>(256, "x")), "<none>");
}

TEST(MonitorMessage, RoundTripsEveryByte)
{
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    MonitorMessage in{"-bytes", {all, "", "z", all.substr(7, 100)}}, out;
    ASSERT_EQ(parseMonitorMessage(*buildMonitorMessage(in), out), MonitorParse::Ok);
    EXPECT_EQ(out.name, in.name);
    EXPECT_EQ(out.arguments, in.arguments);
}

TEST(MonitorMessage, RefusesWhatIsMalformed)
{
    std::string good = *buildMonitorMessage({"+ping", {"abc"}});
    std::string crc = good.substr(good.rfind(','));
    struct Case { std::string text; MonitorParse expected; };
    std::vector<Case> cases = {
        {good, MonitorParse::Ok},
        {"<+ping,YWJj=,00000000>", MonitorParse::CrcError},
        {"+ping,YWJj=" + crc, MonitorParse::Ignored},        // no "<"
        {"<#ping,YWJj=" + crc, MonitorParse::Ignored},       // kind not accepted
        {"<+ping,YWJj=,c7b3823>", MonitorParse::CrcError},  // short CRC reads as another value
        {"<+ping,YWJj=,zzzzzzzz>", MonitorParse::Ignored},
        {"<+ping,YWJj=,>", MonitorParse::Ignored},
        {"<+>", MonitorParse::Ignored},
        {"<+ping,YWJj=,c7b38235", MonitorParse::Ignored},   // no ">"
    };
    // CRC right, arguments wrong: no "=", a stray character, a length no byte count gives.
    std::string many = "m";
    for (int i = 0; i < 257; ++i) many += ",eA=";
    for (std::string body : {std::string("ping,YWJj"), std::string("ping,YW*j="), std::string("ping,YWJjY="),
                             std::string("ping,=="), many, std::string(256, 'n')}) {
        char tail[16];
        snprintf(tail, sizeof tail, ",%08x>", crc32_of(body.data(), body.size()));
        cases.push_back({"<+" + body + tail, MonitorParse::Ignored});
    }
    for (const Case& c : cases) {
        MonitorMessage out;
        EXPECT_EQ(parseMonitorMessage(c.text, out), c.expected) << c.text;
    }
}

TEST(MonitorScanner, CutsTheStreamIntoMessages)
{
    MonitorScanner scanner;
    std::vector<std::string> seen;
    auto feed = [&](const std::string& bytes) {
        scanner.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                     [&](const std::string& text) { seen.push_back(text); });
    };
    feed("noise<+a,YQ");
    feed("=,123>junk>");
    feed("<partial<+b>");
    feed("<" + std::string(kMonitorBuffer, 'x') + ">"); // too long: dropped
    feed("<+c>");
    EXPECT_EQ(seen, (std::vector<std::string>{"<+a,YQ=,123>", "<+b>", "<+c>"}));
}

std::vector<uint8_t> randomBytes(size_t size)
{
    std::mt19937 generator(static_cast<unsigned>(size));
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(generator());
    return bytes;
}

TEST(MonitorFile, PartsOfIncompressibleDataGoAcrossWhole)
{
    for (size_t size : {size_t{0}, size_t{1}, size_t{1024}, size_t{5000}, size_t{100000}}) {
        auto data = randomBytes(size);
        std::string error;
        auto parts = monitorFileParts(data.data(), data.size(), "dir/name.bin", error);
        ASSERT_TRUE(parts) << error;
        MonitorFileReceiver receiver;
        for (size_t i = 0; i < parts->size(); ++i) {
            auto& part = (*parts)[i];
            ASSERT_LE(part.arguments[2].size(), kMonitorPart);
            auto result = receiver.add(part, error);
            EXPECT_EQ(result, i + 1 == parts->size() ? MonitorFileReceiver::Result::Complete
                                                     : MonitorFileReceiver::Result::Stored) << size << " " << i;
        }
        EXPECT_EQ(receiver.fileName(), "dir/name.bin");
        EXPECT_TRUE(receiver.data() == data) << size;
    }
}

TEST(MonitorFile, PartsThatBreakABoundAreDropped)
{
    auto data = randomBytes(3000);
    std::string error;
    auto parts = *monitorFileParts(data.data(), data.size(), "f", error);
    ASSERT_EQ(parts.size(), 3u);
    using R = MonitorFileReceiver::Result;
    auto with = [](MonitorMessage m, size_t i, std::string v) { m.arguments[i] = std::move(v); return m; };

    MonitorFileReceiver receiver;
    EXPECT_EQ(receiver.add(parts[1], error), R::Dropped) << "no part 0 yet";
    struct Case { MonitorMessage part; R expected; };
    for (const Case& c : std::vector<Case>{
             {with(parts[0], 0, "3"), R::Dropped},                       // index not below the count
             {with(parts[0], 1, "99999999"), R::Dropped},                 // count beyond the bound
             {with(parts[0], 3, std::to_string(kMonitorMaxFile + 1)), R::Dropped},
             {with(parts[0], 2, std::string(kMonitorPart + 1, 'x')), R::Dropped},
             {with(parts[0], 0, "-1"), R::Dropped},
             {MonitorMessage{"!file", {"0", "3", "x"}}, R::Dropped},     // part 0 without size and name
             {MonitorMessage{"!file", {"0", "3"}}, R::Dropped},
             {parts[0], R::Stored},
             {with(parts[1], 1, "4"), R::Dropped},                       // another file's count
             {parts[1], R::Stored},
             {parts[1], R::Stored},                                      // a repeat completes nothing
         })
        EXPECT_EQ(receiver.add(c.part, error), c.expected) << error;
    EXPECT_EQ(receiver.add(parts[2], error), R::Complete);

    for (const std::string& size : {"2999", "3001"}) {
        MonitorFileReceiver wrongSize;
        EXPECT_EQ(wrongSize.add(with(parts[0], 3, size), error), R::Stored);
        EXPECT_EQ(wrongSize.add(parts[1], error), R::Stored);
        EXPECT_EQ(wrongSize.add(parts[2], error), R::Failed) << size;
    }
    MonitorFileReceiver garbage;
    EXPECT_EQ(garbage.add(MonitorMessage{"!file", {"0", "1", "not zlib", "8", "g"}}, error), R::Failed);
}

} // namespace

#include "handlers/cup/monitor/comm.h"

namespace {

TEST(Comm, LineRatesTheMonitorUsesElse19200)
{
    for (auto [asked, used] : std::vector<std::pair<int, int>>{
             {300, 300}, {9600, 9600}, {38400, 38400}, {57600, 57600}, {115200, 115200},
             {19200, 19200}, {110, 19200}, {14400, 19200}, {0, 19200}, {-1, 19200}})
        EXPECT_EQ(Comm::lineRate(asked), used) << asked;
}

TEST(Comm, NothingOpenNothingSent)
{
    Comm comm;
    uint8_t byte = 0;
    EXPECT_EQ(comm.open("/dev/no-such-port", 9600), -1);
    EXPECT_FALSE(comm.isOpen());
    EXPECT_EQ(comm.send("x"), -1);
    EXPECT_EQ(comm.sendFile(&byte, 1, "f"), -1);
    EXPECT_EQ(comm.getModemStatus(), 0);
}

} // namespace
