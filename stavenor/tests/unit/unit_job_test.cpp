#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/operations/lock.h"
#include "handlers/cup/brelt/operations/modules.h"
#include "handlers/cup/brelt/protocol.h"
#include "unit_links_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const std::string UNIT = "02:00:00:00:00:01";

// An operation that ends when the test says so.
class Step : public Operation {
public:
    Step(Brelt* unit, const std::string& name_, int weight_, std::vector<std::string>* ran_)
        : Operation(unit), ran(ran_)
    {
        name = name_;
        weight = weight_;
        progressTotal = 4;
    }
    int run() override
    {
        ran->push_back(name);
        return 0;
    }
    void report(int step) { setProgress(step, ""); }
    void end(bool success, int code = -1)
    {
        resultCode = code;
        done.emit(success);
    }

private:
    std::vector<std::string>* ran;
};

class Runner : public ::testing::Test {
protected:
    CaptureNetwork network;
    std::unique_ptr<Brelt> unit = std::make_unique<Brelt>(UNIT, Brelt::UP);
    std::vector<std::string> ran;
    std::vector<std::pair<int, int>> reports;
    std::vector<std::string> endings;

    void SetUp() override
    {
        unit->progress.connect([this](const std::string&, int current, int total, const std::string&) {
            reports.emplace_back(current, total);
        });
        unit->programDone.connect([this](const std::string&) { endings.push_back("done"); });
        unit->programFailed.connect(
            [this](const std::string&, const std::string& reason) { endings.push_back("failed " + reason); });
    }

    Step* add(const std::string& name, int weight)
    {
        auto step = new Step(unit.get(), name, weight, &ran);
        unit->appendOperation(step);
        return step;
    }
};

TEST_F(Runner, JobRunsInOrderWithWeightedProgress)
{
    Step* take = add("take", 10);
    Step* work = add("work", 100);
    Step* release = add("release", 10);
    EXPECT_EQ(unit->runProgram(), 0);
    EXPECT_EQ(unit->runProgram(), -600);
    EXPECT_EQ(unit->getProgramState(), 2);
    take->end(true);
    work->report(2);
    work->report(1); // backwards: refused
    work->end(true);
    release->end(true);
    EXPECT_EQ(ran, (std::vector<std::string>{"take", "work", "release"}));
    EXPECT_EQ(reports, (std::vector<std::pair<int, int>>{{10, 120}, {60, 120}, {110, 120}, {120, 120}}));
    EXPECT_EQ(endings, std::vector<std::string>{"done"});
    EXPECT_EQ(unit->getProgramState(), 0);
    EXPECT_EQ(unit->getResultCode(), 0);
}

TEST_F(Runner, FailureJumpsToTheRelease)
{
    Step* take = add("take", 10);
    Step* work = add("work", 100);
    add("more", 100);
    Step* release = add("release", 10);
    unit->runProgram();
    take->end(true);
    work->end(false, -68);
    const size_t reportsAtFailure = reports.size();
    release->end(true);
    EXPECT_EQ(ran, (std::vector<std::string>{"take", "work", "release"}));
    EXPECT_EQ(reports.size(), reportsAtFailure);
    EXPECT_EQ(endings, std::vector<std::string>{"failed just like that"});
    EXPECT_EQ(unit->getProgramState(), 1);
    EXPECT_EQ(unit->getResultCode(), -68);
}

TEST_F(Runner, EveryJobEnds)
{
    // An empty job fails at once: nothing was done.
    EXPECT_EQ(unit->runProgram(), 0);
    EXPECT_EQ(endings, std::vector<std::string>{"failed nothing to do"});
    // A running job whose unit goes down is abandoned, and says so.
    Step* take = add("take", 10);
    add("release", 10);
    unit->runProgram();
    unit->setStatus(Brelt::DOWN);
    EXPECT_EQ(endings.back(), "failed unit down");
    EXPECT_EQ(unit->getResultCode(), -2);
    EXPECT_EQ(unit->getControlStatus(), Brelt::NOT_RESPONDING);
    take->end(true); // a late verdict of the dropped job reaches nobody
    EXPECT_EQ(ran, std::vector<std::string>{"take"});
    EXPECT_EQ(endings.size(), 2u);
    // A job whose waiter gives up on it ends there, failed; with none running nothing happens.
    unit->setStatus(Brelt::UP);
    add("take", 10);
    unit->runProgram();
    unit->abortProgram(-2, "stalled");
    unit->abortProgram(-2, "stalled");
    EXPECT_EQ(endings.size(), 3u);
    EXPECT_EQ(endings.back(), "failed stalled");
    EXPECT_EQ(unit->getProgramState(), 1);
    // A job dropped with its unit object tells its listeners too.
    add("take", 10);
    unit->runProgram();
    unit.reset();
    EXPECT_EQ(endings.back(), "failed unit dropped");
    spinPast(20); // the dropped operations are deleted on the idle pass
}

TEST_F(Runner, OperationsOfAnotherThreadAreSkipped)
{
    Step* first = add("take", 10);
    Step* foreign = add("work", 100);
    foreign->setThreadId(first->getThreadId() + 1);
    add("release", 10)->setThreadId(first->getThreadId() + 1);
    unit->runProgram();
    first->end(true);
    EXPECT_EQ(ran, std::vector<std::string>{"take"});
    EXPECT_EQ(endings, std::vector<std::string>{"done"});
    EXPECT_EQ(reports.back(), std::make_pair(120, 120));
}

TEST_F(Runner, ModuleInfosJoinTheRunningJobAndItsTotal)
{
    unit->setProtocolVersion(5);
    auto list = new ModListOperation(unit.get());
    unit->appendOperation(list);
    Step* release = add("release", 10);
    unit->runProgram();
    ASSERT_EQ(network.sent.size(), 1u);
    const FrameHeader* request = network.header(0);
    EXPECT_EQ(request->pl, 35);
    network.receive(UNIT, ackOf(request));
    const std::string text = "rundis/Rundis|solo|asterisk/Asterisk|";
    std::vector<uint8_t> answer = {2, 0};
    answer.insert(answer.end(), text.begin(), text.end()); // no zero: the text ends with the frame
    network.receive(UNIT, unitFrame(MSG_MOD, answer));
    release->end(true);
    ASSERT_EQ(unit->getModules().size(), 3u);
    auto modules = unit->getModules();
    auto it = modules.begin();
    EXPECT_FALSE(it->removable);
    ++it;
    EXPECT_EQ(it->name, "solo");
    EXPECT_EQ(it->displayName, "");
    ++it;
    EXPECT_FALSE(it->configurable);
    // Three module infos now follow, each answered.
    for (int i = 0; i < 3; ++i) {
        const FrameHeader* info = network.header(network.sent.size() - 1);
        ASSERT_EQ(info->t, MSG_MOD);
        network.receive(UNIT, ackOf(info));
        network.receive(UNIT, unitFrame(MSG_MOD, {4, 0, 'x', 0}));
    }
    EXPECT_EQ(endings, std::vector<std::string>{"done"});
    EXPECT_EQ(reports.back(), std::make_pair(50, 50));
    for (auto& [current, total] : reports) EXPECT_LE(current, total);
}

TEST_F(Runner, ADroppedJobLeavesNothingBehind)
{
    // The unit changes its protocol while the module list is asked: its answer, already on the way,
    // comes after the drop and before the idle pass that deletes the dropped operations.
    unit->setProtocolVersion(6);
    unit->appendOperation(new ModListOperation(unit.get()));
    add("release", 10);
    unit->runProgram();
    network.receive(UNIT, ackOf(network.header(0)));
    unit->abortProgram(-2, "unit dropped");
    const std::string text = "solo|duo|";
    std::vector<uint8_t> answer = {2, 0};
    answer.insert(answer.end(), text.begin(), text.end());
    network.receive(UNIT, unitFrame(MSG_MOD, answer));
    // The next job runs what it was given, and no module info of the dropped one.
    const size_t sentBefore = network.sent.size();
    Step* take = add("take", 10);
    unit->runProgram();
    EXPECT_EQ(ran, std::vector<std::string>{"take"});
    EXPECT_EQ(network.sent.size(), sentBefore);
    take->end(true);
    EXPECT_EQ(endings, (std::vector<std::string>{"failed unit dropped", "done"}));
    spinPast(20); // the dropped operations are deleted on the idle pass
}

TEST_F(Runner, TheUnitObjectTakesItsOperationsWithIt)
{
    // Operations queued on a unit object that goes before they run are deleted with it.
    struct Counted : Operation {
        Counted(Brelt* unit, int* alive_) : Operation(unit), alive(alive_) { ++*alive; }
        ~Counted() override { --*alive; }
        int* alive;
    };
    int alive = 0;
    unit->appendOperation(new Counted(unit.get(), &alive));
    unit->appendOperation(new Counted(unit.get(), &alive));
    ASSERT_EQ(alive, 2);
    unit.reset();
    spinPast(20);
    EXPECT_EQ(alive, 0);
}

TEST_F(Runner, SecretsLongerThanThePayloadAreNeverSent)
{
    for (size_t length : {1023u, 1024u}) {
        SCOPED_TRACE(length);
        network.sent.clear();
        endings.clear();
        unit->appendOperation(new SetSilentOperation(unit.get(), std::string(length, 'p')));
        unit->runProgram();
        if (length == 1023) {
            ASSERT_EQ(network.sent.size(), 1u);
            EXPECT_EQ(network.header(0)->pl, 1056);
            EXPECT_EQ(network.sent[0].back(), 0);
            unit->getProtocol()->reset();
            ASSERT_TRUE(spinUntil([&] { return !endings.empty(); })); // unanswered: the lock ends by its time-out
        } else {
            EXPECT_TRUE(network.sent.empty());
        }
        EXPECT_EQ(endings, std::vector<std::string>{"failed just like that"});
    }
}

} // namespace
