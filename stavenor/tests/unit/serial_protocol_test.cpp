// The console protocol's exchanges against a pty: prompts at the end of a quiet line, words
// anywhere, the order of patterns, refusals, time-outs and a port that goes away.
#include "handlers/cup/serial/serial_protocol.h"

#include "serial_console_support.h"

#include <memory>
#include <thread>

namespace {

struct Pattern {
    std::string text;
    bool anywhere;
};

struct ExchangeCase {
    const char* what;
    std::vector<Pattern> patterns;
    std::vector<std::string> output; // printed by the unit, 30 ms apart
    std::string winner;              // "" for a time-out
    std::string text;                // what the winner receives
};

const ExchangeCase kExchanges[] = {
    {"a prompt at the end of a quiet line", {{"=> ", false}}, {"bdinfo\r\nflashsize = 0x4000000\r\n", "=> "}, "=> ",
     "bdinfo\r\nflashsize = 0x4000000\r\n=> "},
    {"a prompt followed by a blank does not end the line", {{"=> ", false}}, {"=>  "}, "", ""},
    {"a word anywhere needs a byte after it", {{"U-Boot", true}}, {"U-Boot", " 1.1.6"}, "U-Boot", "U-Boot 1.1.6"},
    {"a word that ends the text does not match", {{"U-Boot", true}}, {"booting U-Boot"}, "", ""},
    {"two prompts that both end the line: byte-wise first wins", {{"> ", false}, {"=> ", false}}, {"x=> "}, "=> ", "x=> "},
    {"the Linux prompt", {{"=> ", false}, {"# ", false}}, {"ifconfig\r\n# "}, "# ", "ifconfig\r\n# "},
    {"a word wins before the prompt check", {{"# ", false}, {"Erase (y/n)? ", true}}, {"Erase (y/n)? x# "},
     "Erase (y/n)? ", "Erase (y/n)? x# "},
};

class Exchanges : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(Exchanges, OneSlotOrTheTimeOut)
{
    const ExchangeCase& c = GetParam();
    UnitPty unit;
    SerialProtocol protocol(unit.path);
    std::string winner, received;
    int calls = 0, timeouts = 0;
    for (const Pattern& p : c.patterns)
        protocol.expect(p.text, [&, p](GByteArray* text) {
            ++calls;
            winner = p.text;
            received.assign(reinterpret_cast<char*>(text->data), text->len);
        }, p.anywhere);
    protocol.timedOut.connect([&] { ++timeouts; });
    ASSERT_EQ(protocol.send("bdinfo\n", 400), 7);
    ASSERT_TRUE(unit.awaitTyped("bdinfo\n"));
    for (const std::string& part : c.output) {
        unit.print(part);
        spinUntil([] { return false; }, 30);
    }
    spinUntil([&] { return calls + timeouts > 0; }, 1000);
    spinUntil([] { return false; }, 50);
    EXPECT_EQ(calls + timeouts, 1) << c.what;
    EXPECT_EQ(winner, c.winner) << c.what;
    EXPECT_EQ(received, c.text) << c.what;
    EXPECT_FALSE(protocol.isCapturing());
}

INSTANTIATE_TEST_SUITE_P(SerialProtocol, Exchanges, ::testing::ValuesIn(kExchanges));

TEST(SerialProtocol, APromptWaitsFor5msOfQuiet)
{
    UnitPty unit;
    SerialProtocol protocol(unit.path);
    auto matched = std::chrono::steady_clock::time_point();
    protocol.expect("=> ", [&](GByteArray*) { matched = std::chrono::steady_clock::now(); }, false);
    protocol.send("x\n", 2000);
    unit.print("=> ");
    const auto printed = std::chrono::steady_clock::now();
    ASSERT_TRUE(spinUntil([&] { return matched != std::chrono::steady_clock::time_point(); }));
    EXPECT_GE(matched - printed, std::chrono::milliseconds(5));
}

TEST(SerialProtocol, RefusalsReRegistrationAndTheDataListener)
{
    UnitPty unit;
    SerialProtocol protocol(unit.path);
    EXPECT_EQ(protocol.send("a\n", 1000), 2);
    EXPECT_EQ(protocol.send("b\n", 1000), -505) << "one exchange at a time";

    // A pattern registered again calls only its new slot; the listener sees the text as it grows
    // and stays after a word matched anywhere.
    int oldSlot = 0, newSlot = 0;
    std::vector<std::string> seen;
    protocol.expect("U-Boot", [&](GByteArray*) { ++oldSlot; }, true);
    protocol.expect("U-Boot", [&](GByteArray*) { ++newSlot; }, true);
    protocol.setDataListener([&](GByteArray* text) { seen.emplace_back(reinterpret_cast<char*>(text->data), text->len); });
    unit.print("U-Boot 2");
    ASSERT_TRUE(spinUntil([&] { return newSlot == 1; }));
    EXPECT_EQ(oldSlot, 0);
    EXPECT_EQ(seen, std::vector<std::string>{"U-Boot 2"});

    bool prompted = false;
    protocol.expect("=> ", [&](GByteArray*) { prompted = true; }, false);
    protocol.sendEscapes(1000);
    EXPECT_EQ(unit.typed(), "a\n\x1b");
    unit.print("=> ");
    ASSERT_TRUE(spinUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen.back(), "U-Boot 2=> ") << "the escape keeps what was received";
    ASSERT_TRUE(spinUntil([&] { return prompted; }));

    // After a prompt matched, the listener is gone, and output while idle is not kept.
    unit.print("late output");
    ASSERT_TRUE(unit.awaitRead());
    spinPast(50); // the line hands a chunk on after 10 ms without a further byte
    std::string next;
    protocol.expect("# ", [&](GByteArray* text) { next.assign(reinterpret_cast<char*>(text->data), text->len); }, false);
    protocol.send("c\n", 1000);
    unit.print("# ");
    ASSERT_TRUE(spinUntil([&] { return !next.empty(); }));
    EXPECT_EQ(next, "# ");
    EXPECT_EQ(seen.size(), 2u);
}

TEST(SerialProtocol, APortGoneMidExchangeEndsItByItsTimeOut)
{
    UnitPty unit;
    SerialProtocol protocol(unit.path);
    int called = 0, timeouts = 0, gone = 0;
    protocol.portGone.connect([&] { ++gone; });
    protocol.timedOut.connect([&] { ++timeouts; });
    protocol.expect("=> ", [&](GByteArray*) { ++called; }, false);
    ASSERT_GT(protocol.send("bdinfo\n", 300), 0);
    protocol.onPortGone("/dev/some-other-port");
    EXPECT_EQ(gone, 0);
    protocol.onPortGone(unit.path);
    EXPECT_EQ(gone, 1);
    unit.print("=> ");
    ASSERT_TRUE(spinUntil([&] { return timeouts == 1; }));
    EXPECT_EQ(called, 0);
    EXPECT_EQ(protocol.send("nop\n", 300), -400);
    EXPECT_EQ(protocol.sendEscapes(300), -400) << "no escape without a line";
    EXPECT_FALSE(protocol.isCapturing());
}

TEST(SerialProtocol, FindPatternNeedsAByteAfterTheMatch)
{
    auto find = [](const std::string& text, const std::string& pattern) {
        GByteArray* bytes = g_byte_array_new();
        g_byte_array_append(bytes, reinterpret_cast<const guint8*>(text.data()), guint(text.size()));
        int at = SerialProtocol::findPattern(bytes, pattern);
        g_byte_array_unref(bytes);
        return at;
    };
    EXPECT_EQ(find("", "x"), -1);
    EXPECT_EQ(find("abc", ""), -1);
    EXPECT_EQ(find("abc", "bc"), -1);
    EXPECT_EQ(find("abcd", "bc"), 1);
    EXPECT_EQ(find("aab aab!", "aab"), 0);
    EXPECT_EQ(find("xaaab", "aab"), -1);
    EXPECT_EQ(find("xaaabz", "aab"), 2);
}

TEST(SerialProtocol, ReceivedFieldsComeOnlyFromReceivedBytes)
{
    auto field = [](const std::string& text, const std::string& key, size_t offset, size_t length) {
        GByteArray* bytes = g_byte_array_new();
        g_byte_array_append(bytes, reinterpret_cast<const guint8*>(text.data()), guint(text.size()));
        std::string value = receivedField(bytes, key, offset, length);
        g_byte_array_unref(bytes);
        return value;
    };
    EXPECT_EQ(field("ethaddr     = 00:a0:c6:12:34:5e\r\n=> ", "ethaddr", 14, 17), "00:a0:c6:12:34:5e");
    EXPECT_EQ(field("ethaddr     = 00:a0:c6", "ethaddr", 14, 17), "00:a0:c6");
    EXPECT_EQ(field("ethaddr  ", "ethaddr", 14, 17), "");
    EXPECT_EQ(field("no key here", "ethaddr", 14, 17), "");
}

} // namespace
