#include "common/main_loop.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/manager.h"
#include "unit_links_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::string unitId(int n)
{
    char text[18];
    snprintf(text, sizeof text, "02:00:00:00:00:%02X", n);
    return text;
}

class Units : public ::testing::Test {
protected:
    CaptureNetwork network;
    std::unique_ptr<UnitManager> manager = std::make_unique<UnitManager>();

    void announce(int n, int version, const std::string& name = "cfg", uint8_t stat = 2)
    {
        network.receive(unitId(n), unitFrame(MSG_INF, announcementPayload(version, name, stat),
                                             static_cast<uint8_t>(version)), true);
    }
    Brelt* unit(int n) { return manager->find(unitId(n)); }
};

TEST_F(Units, ClassAndSettingsFromTheFirstAnnouncement)
{
    struct Case {
        int version;
        int beard;
        const char* type;
        const char* base;
        const char* ip;
        const char* id;
        bool capable, blocked;
    } cases[] = {
        {1, -50, "unknown", "4", "unknown", "unknown", false, false},
        {2, -50, "unknown", "4", "192.168.1.9", "unknown", false, false},
        {3, -60, "unknown", "4", "192.168.1.9", "unknown", false, false},
        {5, -20, "unknown", "hw-base", "192.168.1.9", "unknown", false, false},
        {6, 0, "CU", "hw-base", "192.168.1.9", "unknown", true, false},
        {7, 0, "CU", "hw-base", "192.168.1.9", "ident", true, true},
        {9, -60, "CU", "hw-base", "192.168.1.9", "ident", true, true},
    };
    int added = 0;
    manager->unitAdded.connect([&](Brelt* u) {
        ++added;
        EXPECT_EQ(u->getSetting("name"), "cfg"); // filled before anyone sees the unit
    });
    for (auto& c : cases) {
        SCOPED_TRACE(c.version);
        announce(c.version, c.version);
        Brelt* u = unit(c.version);
        ASSERT_NE(u, nullptr);
        EXPECT_EQ(u->getBeardLength(), c.beard);
        EXPECT_EQ(u->getProtocolVersion(), c.version);
        EXPECT_EQ(u->getSetting("type"), c.type);
        EXPECT_EQ(u->getSetting("base"), c.base);
        EXPECT_EQ(u->getSetting("ip"), c.ip);
        EXPECT_EQ(u->getSetting("id"), c.id);
        EXPECT_EQ(u->getSetting("rundis"), "1.2.3");
        EXPECT_EQ(u->getSetting("cub role"), c.version >= 6 ? "slave" : "inCUBable");
        EXPECT_EQ(u->getFlag("cub capable"), c.capable);
        EXPECT_EQ(u->getFlag("blocked"), c.blocked);
        EXPECT_EQ(u->getStatus(), Brelt::UP);
        EXPECT_EQ(u->getControlStatus(), Brelt::FREE);
        EXPECT_EQ(u->check("reboot"), c.version >= 4 && c.version <= 7 ? "ok" : "command not supported");
    }
    EXPECT_EQ(added, 7);
    announce(6, 6, "again"); // a known unit is not created twice; its channel takes the announcement
    EXPECT_EQ(added, 7);
    EXPECT_EQ(unit(6)->getSetting("name"), "again");
    network.receive(unitId(40), unitFrame(MSG_SUC)); // other types create nothing
    EXPECT_EQ(unit(40), nullptr);
}

TEST_F(Units, DamagedOrShortAnnouncementsCreateNothing)
{
    network.receive(unitId(1), unitFrame(MSG_INF, announcementPayload(7, "x"), 7, 0, true), true);
    auto shortPayload = announcementPayload(7, "x");
    shortPayload.resize(800);
    network.receive(unitId(2), unitFrame(MSG_INF, shortPayload, 7), true);
    EXPECT_TRUE(unitMap.empty());
}

TEST_F(Units, StatusFromAnnouncementsAndStateReports)
{
    announce(1, 6);
    Brelt* u = unit(1);
    auto state = [&](uint8_t s, bool bad = false) { network.receive(unitId(1), unitFrame(MSG_STA, {s}, 5, 0, bad)); };
    state(3);
    EXPECT_EQ(u->getStateText(), "locked");
    state(2);
    EXPECT_EQ(u->getStateText(), "up");
    state(1);
    EXPECT_EQ(u->getStateText(), "busy");
    state(3, true);
    EXPECT_EQ(u->getStateText(), "busy");
    state(200);
    EXPECT_EQ(u->getStateText(), "busy");
    u->setStatus(Brelt::DOWN);
    EXPECT_EQ(u->getStateText(), "down");
    announce(1, 6, "cfg", 1);
    EXPECT_EQ(u->getStatus(), Brelt::UP);
    u->setStatus(Brelt::REBOOTING);
    announce(1, 6);
    EXPECT_EQ(u->getStateText(), "rebooting");
    announce(1, 6, "cfg", 3); // a locked stat in an announcement does not lock
    EXPECT_EQ(u->getStatus(), Brelt::REBOOTING);
}

TEST_F(Units, AdmissionCheck)
{
    // A unit class that supports every line, to reach the later rules of the check.
    struct Open : Brelt {
        using Brelt::Brelt;
        bool isSupported(const std::string&) override { return true; }
        void setRunning(bool value) { flags["program running"] = value; }
    } u("02:00:00:00:00:09", Brelt::UP);
    struct Case {
        int status;
        bool running, interactive, busy;
        const char* line;
        const char* reply;
    } cases[] = {
        {Brelt::UP, false, false, false, "reboot", "ok"},
        {Brelt::DOWN, true, false, false, "interactive off", "ok"},
        {Brelt::UP, true, false, false, "reboot", "operation in progress"},
        {Brelt::PROBABLY_DOWN, false, false, false, "reboot", "Central Unit is not responding"},
        {Brelt::DOWN, false, false, false, "reboot", "down"},
        {Brelt::LOCKED, false, false, false, "unlock pw", "ok"},
        {Brelt::LOCKED, false, false, false, "reboot", "Central Unit is locked"},
        {Brelt::UP, false, true, true, "interactive on", "already done"},
        {Brelt::UP, false, true, true, "reboot", "ok"},
        {Brelt::UP, false, false, true, "reboot", "busy"},
        {Brelt::REBOOTING, false, false, false, "reboot", "ok"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.reply);
        u.setStatus(c.status);
        u.setRunning(c.running);
        u.setFlag("interactive", c.interactive);
        u.setBusy(c.busy);
        EXPECT_EQ(u.check(c.line), c.reply) << c.line;
    }
    EXPECT_EQ(u.setFlag("interactive", false), -3);
}

TEST_F(Units, VersionChangeReplacesTheUnit)
{
    announce(1, 6);
    Brelt* old = unit(1);
    std::vector<std::string> endings;
    old->programFailed.connect([&](const std::string&, const std::string& reason) { endings.push_back(reason); });
    old->queueCommand("reboot");
    old->runProgram();
    announce(1, 7); // removes the version-6 object (deleted on the next idle pass)
    EXPECT_EQ(unit(1), nullptr);
    EXPECT_EQ(endings, std::vector<std::string>{"unit dropped"});
    announce(1, 7); // still reaching the old object through the broadcast: changes nothing
    spinPast(50);
    announce(1, 7);
    ASSERT_NE(unit(1), nullptr);
    EXPECT_NE(unit(1), old);
    EXPECT_EQ(unit(1)->getProtocolVersion(), 7);
    // The program cut by the change reads as failed on the new object, not as a success.
    EXPECT_EQ(unit(1)->getProgramState(), 1);
    EXPECT_EQ(unit(1)->getResultCode(), -2);
}

TEST_F(Units, ManagerRelaysStatusAndDeletesUnitsInOrder)
{
    announce(3, 6);
    announce(1, 6);
    int down = 0, changed = 0;
    manager->unitDown.connect([&](Brelt*) { ++down; });
    manager->unitChanged.connect([&](Brelt*) { ++changed; });
    unit(1)->setStatus(Brelt::DOWN);
    unit(1)->setStatus(Brelt::UP);
    unit(1)->setStatus(Brelt::UP);
    EXPECT_EQ(down, 1);
    EXPECT_EQ(changed, 2);
    manager.reset();
    EXPECT_TRUE(unitMap.empty());
}

} // namespace
