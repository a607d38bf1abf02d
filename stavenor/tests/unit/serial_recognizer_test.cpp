// The prompt and parameter operations and the recogniser against a unit console on a pty.
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/manager.h"
#include "handlers/cup/brelt/operations/determine_params.h"
#include "handlers/cup/brelt/operations/determine_prompt.h"
#include "handlers/cup/serial/recognizer.h"
#include "handlers/cup/serial/serial_protocol.h"
#include "serial_console_support.h"
#include "unit_links_support.h"

#include <memory>
#include <optional>

namespace {

const std::string kBdinfo = "bdinfo\r\nflashsize   = 0x04000000\r\nethaddr     = 00:a0:c6:ab:cd:ef\r\n=> ";
const std::string kIfconfig = "ifconfig eth0\r\neth0      Link encap:Ethernet  HWaddr 00:A0:C6:01:02:03  \r\n# ";

class SerialOperations : public ::testing::Test {
protected:
    UnitPty unit;
    SerialProtocol protocol{unit.path};
    std::optional<bool> verdict;

    void watch(Operation& operation) { operation.done.connect([this](bool ok) { verdict = ok; }); }
    bool ended() { return spinUntil([&] { return verdict.has_value(); }); }
};

TEST_F(SerialOperations, APromptThatAnswersTheProbe)
{
    DeterminePromptOperation prompt(&protocol, nullptr);
    watch(prompt);
    prompt.run();
    ASSERT_TRUE(unit.awaitTyped("nothing\n"));
    unit.print("nothing\r\nUnknown command 'nothing' - try 'help'\r\n=> ");
    ASSERT_TRUE(ended());
    EXPECT_TRUE(*verdict);
    EXPECT_EQ(prompt.getPrompt(), PROMPT_UBOOT);
    EXPECT_EQ(unit.typed(), "") << "no escape, no confirmation";
}

TEST_F(SerialOperations, ASilentConsoleIsHeardThroughItsBootBanner)
{
    for (const std::string prompt : {"=> ", "# "}) {
        verdict.reset();
        DeterminePromptOperation operation(&protocol, nullptr);
        watch(operation);
        operation.run();
        ASSERT_TRUE(unit.awaitTyped("nothing\n"));
        spinUntil([] { return false; }, 1100); // the probe's second passes in silence
        unit.print("\r\nU-Boot 1.1.6 (Mar 12 2014)\r\nHit any key to stop autoboot:  3 ");
        ASSERT_TRUE(unit.awaitTyped("\x1b"));
        unit.print(prompt == "=> " ? "\r\n=> " : "\r\nStarting kernel ...\r\n# ");
        ASSERT_TRUE(unit.awaitTyped("nop\n"));
        EXPECT_FALSE(verdict.has_value()) << "found only once the prompt confirms";
        unit.print("nop\r\n" + prompt);
        ASSERT_TRUE(ended());
        EXPECT_TRUE(*verdict);
        EXPECT_EQ(operation.getPrompt(), prompt == "=> " ? PROMPT_UBOOT : PROMPT_LINUX);
    }
}

struct ParamsCase {
    const char* what;
    int prompt;
    std::string command; // "" when nothing may be typed
    std::string answer;  // "" for silence
    bool success;
    std::string mac;
};

const ParamsCase kParams[] = {
    {"boot loader, lower-case MAC as printed", PROMPT_UBOOT, "bdinfo\n", kBdinfo, true, "00:a0:c6:ab:cd:ef"},
    {"shell, upper-case MAC as printed", PROMPT_LINUX, "ifconfig eth0\n", kIfconfig, true, "00:A0:C6:01:02:03"},
    {"a listing without ethaddr", PROMPT_UBOOT, "bdinfo\n", "bdinfo\r\nflashsize = 0x04000000\r\n=> ", false, ""},
    {"a MAC cut short", PROMPT_UBOOT, "bdinfo\n", "bdinfo\r\nethaddr     = 00:a0:c6:ab\r\n=> ", false, ""},
    {"a MAC that is not six hex pairs", PROMPT_LINUX, "ifconfig eth0\n",
     "eth0 HWaddr 00-A0-C6-01-02-03 xx\r\n# ", false, ""},
    {"no answer", PROMPT_UBOOT, "bdinfo\n", "", false, ""},
    {"no prompt known", PROMPT_NONE, "", "", false, ""},
};

class Params : public SerialOperations, public ::testing::WithParamInterface<ParamsCase> {};

TEST_P(Params, MacOnlyAsSixHexPairsFromTheConsole)
{
    const ParamsCase& c = GetParam();
    DetermineParamsOperation params(&protocol);
    watch(params);
    params.setPrompt(c.prompt);
    params.run();
    if (!c.command.empty()) {
        ASSERT_TRUE(unit.awaitTyped(c.command)) << c.what;
        if (!c.answer.empty()) unit.print(c.answer);
    }
    ASSERT_TRUE(ended()) << c.what;
    EXPECT_EQ(*verdict, c.success) << c.what;
    EXPECT_EQ(params.getMac(), c.mac) << c.what;
    EXPECT_EQ(unit.typed(), "") << c.what;
}

INSTANTIATE_TEST_SUITE_P(SerialOperations, Params, ::testing::ValuesIn(kParams));

TEST_F(SerialOperations, AQueryTimeOutNeverWakesAnEndedPromptOperation)
{
    DeterminePromptOperation prompt(&protocol, nullptr);
    prompt.run();
    ASSERT_TRUE(unit.awaitTyped("nothing\n"));
    unit.print("=> ");
    ASSERT_TRUE(spinUntil([&] { return prompt.getPrompt() == PROMPT_UBOOT; }));
    DetermineParamsOperation params(&protocol);
    watch(params);
    params.setPrompt(PROMPT_UBOOT);
    params.run();
    ASSERT_TRUE(ended());
    EXPECT_FALSE(*verdict);
    // A woken prompt operation would now listen for the banner and answer it with an escape.
    unit.print("U-Boot 1.1.6\r\n");
    spinUntil([] { return false; }, 100);
    EXPECT_EQ(unit.typed(), "bdinfo\n");
}

class Recognition : public ::testing::Test {
protected:
    CaptureNetwork network;
    std::unique_ptr<UnitManager> manager = std::make_unique<UnitManager>();
    UnitPty unit;

    // Plays the boot loader until the recogniser asked for `rounds` listings.
    void answer(const std::string& listing, int rounds)
    {
        for (int i = 0; i < rounds; ++i) {
            ASSERT_TRUE(unit.awaitTyped("nothing\n"));
            unit.print("nothing\r\n=> ");
            ASSERT_TRUE(unit.awaitTyped("bdinfo\n"));
            unit.print(listing);
        }
    }
};

TEST_F(Recognition, ALowerCaseMacFindsTheUnitThatFramesFound)
{
    network.receive("00:A0:C6:AB:CD:EF", unitFrame(MSG_INF, announcementPayload(7, "cfg", 2), 7), true);
    Brelt* known = manager->find("00:A0:C6:AB:CD:EF");
    ASSERT_NE(known, nullptr);
    new Recognizer(unit.path);
    answer(kBdinfo, 1);
    ASSERT_TRUE(spinUntil([&] { return known->getSerialProtocol() != nullptr; }));
    EXPECT_EQ(unitMap.size(), 1u);
    EXPECT_EQ(known->getSerialProtocol()->getPortName(), unit.path);
}

TEST_F(Recognition, AnUnknownMacMakesADownUnit)
{
    new Recognizer(unit.path);
    answer(kBdinfo, 1);
    ASSERT_TRUE(spinUntil([&] { return unitMap.count("00:A0:C6:AB:CD:EF") == 1; }));
    Brelt* unitObject = unitMap["00:A0:C6:AB:CD:EF"];
    EXPECT_EQ(unitObject->getStatus(), Brelt::DOWN);
    EXPECT_NE(unitObject->getSerialProtocol(), nullptr);
    EXPECT_EQ(unitMap.size(), 1u);
}

TEST_F(Recognition, AListingWithoutAMacIsAskedAgainAndMakesNoUnit)
{
    auto* recognizer = new Recognizer(unit.path);
    answer("bdinfo\r\nflashsize = 0x04000000\r\n=> ", 3);
    EXPECT_TRUE(unitMap.empty());
    delete recognizer;
}

} // namespace
