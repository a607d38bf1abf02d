#include "handlers/cup/brelt/brelt_v1.h"
#include "handlers/cup/brelt/brelt_v4.h"
#include "handlers/cup/brelt/brelt_v6.h"
#include "handlers/cup/brelt/brelt_v7.h"
#include "handlers/cup/brelt/command_line.h"
#include "unit_links_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const std::string UNIT = "02:00:00:00:00:01";

TEST(CommandLine, Tokens)
{
    const struct {
        std::string line;
        Tokens tokens;
    } cases[] = {
        {"send configuration \"C:\\My Files\\a.conf\"", {"send", "configuration", "C:\\My Files\\a.conf"}},
        {"send   configuration    a.conf  ", {"send", "configuration", "a.conf"}},
        {"send configuration \"\"", {"send", "configuration", ""}},
        {"\"", {}},
        {"   ", {}},
        {"", {}},
        {"ab\"cd ef\"gh", {"cd ef", "gh"}},
        {"rm \"x", {"rm", "x"}},
        {"a\tb c", {"a\tb", "c"}},
        {"role set \"r 1\" \"\"", {"role", "set", "r 1", ""}},
    };
    for (const auto& c : cases) EXPECT_EQ(tokenizeCommand(c.line), c.tokens) << c.line;
}

TEST(CommandLine, ModuleNames)
{
    EXPECT_EQ(moduleNameOf("cu_module_intercom_1.2.mod"), "intercom");
    EXPECT_EQ(moduleNameOf("/tmp/x_module_rundis"), "rundis");
    EXPECT_EQ(moduleNameOf("x_module__a_b"), "_a");
    EXPECT_EQ(moduleNameOf("intercom_1.2.mod"), std::nullopt);
    EXPECT_EQ(moduleNameOf("cu_module_.._1.mod"), "..");
    // Directories never name the module, however they are called.
    EXPECT_EQ(moduleNameOf("./tmp_module_x/cu_module_intercom_1.2.mod"), "intercom");
    EXPECT_EQ(moduleNameOf("/up_module_a/intercom_1.2.mod"), std::nullopt);
    EXPECT_EQ(moduleNameOf("/tmp/cu_module_x/.._1.mod"), std::nullopt);
    EXPECT_EQ(moduleNameOf("/tmp/cu_module_x/cu_module_.._1.mod"), "..");
    for (const char* name : {"intercom", "a..b", "_a"}) EXPECT_TRUE(isModuleName(name)) << name;
    for (const char* name : {"", ".", "..", "../dis", "x/../..", "/"}) EXPECT_FALSE(isModuleName(name)) << name;
}

// A unit whose job can be read back: names in order, '~' before a marked one, ':weight' when it
// is not the operation's usual one.
template <class Unit> class Probe : public Unit {
public:
    Probe() : Unit(UNIT, Brelt::UP) {}
    std::string jobText()
    {
        std::string text;
        for (Operation* operation : this->job) {
            if (!text.empty()) text += ",";
            if (operation->isMarked()) text += "~";
            text += operation->getName();
            if (operation->getName() == "reboot" && operation->getWeight() != 200) text += ":" + std::to_string(operation->getWeight());
        }
        deleteOperations(this->job);
        return text;
    }
    void setRunning(bool value) { this->flags["program running"] = value; }
};

struct Row {
    std::string line;
    std::string job;
    int result = 0;
};

template <class Unit> void expectJobs(const std::vector<Row>& rows)
{
    CaptureNetwork network;
    for (const Row& row : rows) {
        Probe<Unit> unit;
        EXPECT_EQ(unit.queueCommand(row.line), row.result) << row.line;
        EXPECT_EQ(unit.jobText(), row.job) << row.line;
    }
}

const char* const MODULE_ADD_TAIL = "untar,remove file,rescan modules";

TEST(UnitCommands, Version1)
{
    expectJobs<BreltV1>({
        {"get configuration", "take,get file"},
        {"get configuration now", "take,get file"},
        {"send configuration \"a b.conf\"", "take,send file"},
        {"send  configuration   a.conf", "take,send file"},
        {"send configuration \"\"", "take,send file"},
        {"send dis d.dis", "take,send file"},
        {"send dis", ""},
        {"\"", "", -10},
        {"", "", -10},
        {"role list", ""},
    });
    CaptureNetwork network;
    Probe<BreltV1> unit;
    EXPECT_TRUE(unit.isSupported("send dis"));
    EXPECT_FALSE(unit.isSupported("send"));
    EXPECT_FALSE(unit.isSupported("reboot"));
    EXPECT_EQ(unit.getBeardLength(), -50);
}

TEST(UnitCommands, Version4)
{
    const std::string addTail = MODULE_ADD_TAIL;
    expectJobs<BreltV4>({
        {"reboot", "take,reboot,release"},
        {"ls /dis", "list directory"},
        {"rm a /tmp", "remove file"},
        {"modadd /x/a.mod /modules", "send file"},
        {"module remove intercom", "take,~stop,remove directory,rescan modules,release"},
        {"module add /t/cu_module_intercom_1.mod",
         "take,send file,~stop,~remove directory content," + addTail + ",start,release"},
        {"module add /t/cu_module_rundis_1.mod",
         "take,send file,~stop,~remove directory content," + addTail + ",~start,reboot:500"},
        {"module upgrade cu_module_intercom_1.mod", "take,send file,~stop,~list directory," + addTail + ",start,release"},
        {"module overwrite cu_module_rundis_1.mod", "take,send file,~stop," + addTail + ",~start,release"},
        {"module add intercom_1.mod", ""},
        // The file's own name names the module, never a directory on its way.
        {"module add ./tmp_module_x/cu_module_intercom_1.mod",
         "take,send file,~stop,~remove directory content," + addTail + ",start,release"},
        {"module add /up_module_rundis/cu_module_intercom_1.mod",
         "take,send file,~stop,~remove directory content," + addTail + ",start,release"},
        {"module upgrade /t/cu_module_../dis_1.mod", ""},
        // Names that would reach beyond "/modules" queue nothing.
        {"module remove ..", "", -10},
        {"module remove \"x/../..\"", "", -10},
        {"module remove \"\"", "", -10},
        {"module add /t/cu_module_.._1.mod", "", -10},
        {"module upgrade /t/cu_module_x/cu_module_.._1.mod", "", -10},
        {"module add", ""},
        {"describe \"my unit\"", "take,set description,release"},
        {"role list", "take,list roles,release"},
        {"role list x", ""},
        {"announcements update",
         "take,pack announcements,send file,~remove directory content,untar,~remove file,release"},
        {"get configuration", "take,get file,release"},
        {"get configuration x", ""},
        {"send configuration a.conf", "take,send file,move,~remove file,reload configuration,restart,refresh,release"},
        {"send configuration a.conf r",
         "take,send file,move,~remove file,reload configuration,set role,restart,refresh,release"},
        {"send dis \"C:/a b/d.dis\"", "take,send file,~remove link destination,move,change mode,link,restart,release"},
        {"module list all", "list modules"},
        {"interactive maybe", ""},
        {"interactive on", "take"},
        {"interactive off", "", -3},
        {"restart", ""},
    });
}

TEST(UnitCommands, Version6)
{
    expectJobs<BreltV6>({
        {"role set r", "take,set role,reload configuration,restart,refresh,release"},
        {"announcements update",
         "take,list languages,pack announcements,send file,~remove directory content,untar,~remove file,release"},
        {"lock", "take,set silent"},
        {"unlock pw", "set verbose"},
        {"get /etc/x", "take,get file,release"},
        {"get configuration", "take,get file,release"},
        {"send configuration a.conf r",
         "take,send file,move,~remove file,reload configuration,set role,reload configuration,restart,refresh,release"},
        {"send dis d.dis", "take,send file,~stop,~remove link destination,move,change mode,link,~restart,release"},
        {"unbrick k", ""},
        {"reboot", "take,reboot,release"},
    });
    CaptureNetwork network;
    Probe<BreltV6> unit;
    EXPECT_TRUE(unit.isSupported("send dis"));
    EXPECT_FALSE(unit.isSupported("send"));
    EXPECT_FALSE(unit.isSupported("restart"));
    EXPECT_FALSE(unit.isSupported("unbrick k"));
    EXPECT_TRUE(unit.isSupported("role list"));
    EXPECT_EQ(unit.getBeardLength(), 0);
}

TEST(UnitCommands, Version7)
{
    expectJobs<BreltV7>({
        {"unbrick k", "take,unbrick,release"},
        {"unbrick", ""},
        {"passwd", "take,send file,move,send file,~stop,~remove link destination,move,change mode,link,~restart,release"},
        {"test now", "take,send file,flash,release"},
        {"get configuration", "take,get file,release"},
        {"lock pw", "take,set silent"},
        {"module list", "list modules"},
    });
    CaptureNetwork network;
    Probe<BreltV7> unit;
    EXPECT_TRUE(unit.isSupported("passwd"));
    EXPECT_FALSE(unit.isSupported("restart"));
}

TEST(UnitCommands, InteractiveMode)
{
    CaptureNetwork network;
    Probe<BreltV4> unit;
    EXPECT_EQ(unit.enterInteractive(), 0);
    EXPECT_EQ(unit.jobText(), "take");
    unit.setRunning(true);
    unit.setFlag("interactive", false);
    EXPECT_EQ(unit.enterInteractive(), -6);
    unit.setFlag("interactive", true);
    EXPECT_EQ(unit.enterInteractive(), -3);
    // Leaving while a program runs that has no release yet: a forced one joins it.
    EXPECT_EQ(unit.queueCommand("interactive off"), 0);
    EXPECT_EQ(unit.jobText(), "release");
    unit.setRunning(false);
    unit.isInteractive();
    EXPECT_FALSE(unit.getFlag("interactive"));
}

TEST(UnitCommands, LockedReportEndsTheLock)
{
    CaptureNetwork network;
    Probe<BreltV6> unit;
    std::vector<std::string> endings;
    unit.programDone.connect([&](const std::string&) { endings.push_back("done"); });
    unit.programFailed.connect([&](const std::string&, const std::string&) { endings.push_back("failed"); });
    unit.setFlag("interactive", true);
    ASSERT_EQ(unit.queueCommand("lock pw"), 0);
    unit.runProgram();
    ASSERT_EQ(network.header(0)->t, MSG_UPD);
    network.receive(UNIT, ackOf(network.header(0)));
    network.receive(UNIT, unitFrame(MSG_ALW, {}, 5, 0));
    const FrameHeader* lock = network.header(network.sent.size() - 1);
    ASSERT_EQ(lock->t, MSG_SON);
    network.receive(UNIT, ackOf(lock));
    // The unit reports itself locked before it answers the request.
    unit.setStatus(Brelt::LOCKED);
    EXPECT_EQ(endings, std::vector<std::string>{"done"});
    EXPECT_FALSE(unit.getFlag("interactive"));
    EXPECT_EQ(unit.getProgramState(), 0);
}

} // namespace
