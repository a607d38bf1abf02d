// The recovery session's checks of what the page and the upload hand it, and the address
// checker's proposals.
#include "handlers/cup/curtain/curtain.h"
#include "handlers/cup/curtain/ip_checker.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

TEST(RecoverySession, MacAddressChecks)
{
    const std::pair<const char*, int> cases[] = {
        {"00:11:22:33:44:55", 0}, {"AA:BB:CC:DD:EE:01", 0}, {"00:11:22:33:44:56", -2}, {"00:00:00:00:00:00", -2},
        {"FF:FF:FF:FF:FF:FF", -2}, {"", -2}, {"00:11:22:33:44", -2}, {"00:11:22:33:44:5g", -2},
        {"00-11-22-33-44-55", -2}, {"00:11:22:33:44:555", -2}, {"000:11:22:33:44:5", -2}};
    for (auto [text, result] : cases) {
        RecoverySession session;
        EXPECT_EQ(session.setMacAddress(text), result) << text;
    }
    RecoverySession session;
    session.setMacAddress("AA:BB:CC:DD:EE:01");
    EXPECT_EQ(session.macAddress(), "aa:bb:cc:dd:ee:01") << "stored in lower case";
    session.setMacAddress("00:11:22:33:44:56");
    EXPECT_EQ(session.macAddress(), "00:11:22:33:44:56") << "a refused text stays stored";
}

TEST(RecoverySession, DateChecks)
{
    const std::pair<const char*, int> cases[] = {{"2014-01-01 01:00", 0}, {"2014-13-45 99:99", 0},
                                                 {"2014-01-01 1:00", -2}, {"", -2}, {"2014-01-01T01:00", -2},
                                                 {"2014-01-01 01:000", -2}, {"14-01-01 01:00:00", -2}};
    for (auto [text, result] : cases) {
        RecoverySession session;
        EXPECT_EQ(session.setDate(text), result) << text;
    }
}

TEST(RecoverySession, OnlyWholeFlashImagesAreTaken)
{
    const std::pair<size_t, int> cases[] = {{0x2000000 - 1, -507}, {0x2000000 + 1, -507}, {0x2000000, 0},
                                            {0x4000000, 0}, {1, -507}};
    for (auto [size, result] : cases) {
        RecoverySession session;
        std::vector<uint8_t> bytes(size);
        EXPECT_EQ(session.loadImageMemory(bytes.data(), size), result) << size;
        EXPECT_EQ(session.canFlash(), result == 0) << size;
    }
    // Whatever is refused, the image in use stays.
    RecoverySession session;
    std::vector<uint8_t> good(0x2000000);
    ASSERT_EQ(session.loadImageMemory(good.data(), good.size()), 0);
    EXPECT_EQ(session.loadImageMemory(nullptr, 10), -1);
    EXPECT_EQ(session.loadImageMemory(good.data(), 0), -2);
    EXPECT_EQ(session.loadImageMemory(good.data(), good.size() - 1), -507);
    EXPECT_EQ(session.loadImageFile(""), -2);
    EXPECT_EQ(session.loadImageFile("/nonexistent/image.bin"), -5);
    EXPECT_EQ(session.loadImageFile("/dev/null"), -507);
    EXPECT_TRUE(session.canFlash());
}

TEST(RecoverySession, ProceedWithoutAWaitAndStartWithoutAnImage)
{
    RecoverySession session;
    EXPECT_EQ(session.proceed(), -504);
    EXPECT_EQ(session.startFlashing(), 0);
    EXPECT_EQ(session.removeProgram(), -506);
    EXPECT_EQ(session.reconnoitre(), -400) << "no console attached";
}

TEST(IpChecker, ProposalsStayInTheNetworkAndAwayFromThePc)
{
    for (const char* server : {"192.168.1.10", "10.0.0.200", "192.0.2.1"}) {
        const std::string prefix = std::string(server).substr(0, std::string(server).rfind('.') + 1);
        const int own = atoi(strrchr(server, '.') + 1);
        std::set<int> seen;
        for (int i = 0; i < 2000; ++i) {
            const std::string proposal = IpChecker::proposeUnitAddress(server);
            ASSERT_EQ(proposal.rfind(prefix, 0), 0u) << proposal;
            const int r = atoi(proposal.c_str() + prefix.size());
            ASSERT_TRUE(r >= 10 && r <= 249 && r != own) << proposal;
            seen.insert(r);
        }
        EXPECT_GT(seen.size(), 200u) << "drawn, not fixed";
    }
}

TEST(IpChecker, OnlyDottedQuadsAreTaken)
{
    const std::pair<const char*, bool> cases[] = {
        {"192.0.2.7", true},    {"0.0.0.0", true},       {"255.255.255.255", true}, {"192.0.2.7; erase", false},
        {"192.0.2.256", false}, {"192.0.2", false},      {"1.2.3.4.5", false},      {"", false},
        {" 1.2.3.4", false},    {"1.2.3.4 ", false},     {"1..2.3", false},         {"0001.2.3.4", false},
        {"a.b.c.d", false},     {"1.2.3.4\n", false},    {"010.0.0.1", false},      {"1.2.3.00", false},
        {"10.0.0.0", true}};
    for (auto [text, valid] : cases) EXPECT_EQ(IpChecker::isDottedQuad(text), valid) << text;
    IpChecker checker;
    const std::string before = checker.getServerAddress();
    EXPECT_NE(checker.setServerAddress("10.1.1.1; reset"), "");
    EXPECT_EQ(checker.getServerAddress(), before);
    EXPECT_EQ(checker.setServerAddress("10.1.1.1"), "");
    EXPECT_EQ(checker.setCentralUnitAddress("10.1.1.20"), "");
    EXPECT_EQ(checker.getCentralUnitAddress(), "10.1.1.20");
    EXPECT_NE(checker.setServerAddress("10.1.1.20"), "") << "the unit's own address";
    EXPECT_NE(checker.setCentralUnitAddress("10.1.2.20"), "") << "outside the PC's network";
    EXPECT_EQ(checker.getCentralUnitAddress(), "10.1.1.20");
}

TEST(IpChecker, UnitAddressesThatCannotWorkAreRefusedWithTheReason)
{
    struct Case {
        const char* unit;
        const char* server;
        int prefix;
        const char* reason; // "" when taken
    };
    const Case cases[] = {
        {"192.168.1.20", "192.168.1.10", 24, ""},
        {"192.168.7.20", "192.168.1.10", 16, ""},
        {"192.168.1.10", "192.168.1.10", 24, "is the PC's own address"},
        {"192.168.2.20", "192.168.1.10", 24, "is outside the PC's network 192.168.1.0/24"},
        {"10.0.0.5", "127.0.0.1", 8, "could not reach the PC at 127.0.0.1"},
        {"0.0.0.0", "192.168.1.10", 24, "no address"},
        {"255.255.255.255", "192.168.1.10", 24, "is the broadcast address"},
        {"192.168.1.0", "192.168.1.10", 24, "is the address of the PC's network 192.168.1.0/24 itself"},
        {"192.168.1.255", "192.168.1.10", 24, "is the broadcast address of the PC's network"},
        {"172.16.3.255", "172.16.0.1", 16, ""},
        {"192.168.1.2x", "192.168.1.10", 24, "is not an IPv4 address"},
    };
    for (const Case& c : cases) {
        const std::string reason = IpChecker::unitAddressProblem(c.unit, c.server, c.prefix);
        if (*c.reason == '\0')
            EXPECT_EQ(reason, "") << c.unit;
        else
            EXPECT_NE(reason.find(c.reason), std::string::npos) << c.unit << ": " << reason;
    }
    EXPECT_EQ(IpChecker::prefixLengthOf("127.0.0.1"), 8) << "loopback's own mask";
    EXPECT_EQ(IpChecker::prefixLengthOf("198.51.100.7"), 24) << "an address of no interface";
}

} // namespace
