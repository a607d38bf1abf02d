#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"
#include "unit_links_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const std::string UNIT = "02:00:00:00:00:01";

class Channel : public ::testing::Test {
protected:
    CaptureNetwork network;
    std::unique_ptr<Brelt> unit = std::make_unique<Brelt>(UNIT, Brelt::UP);
    RundisProtocol& channel = *unit->getProtocol();

    std::vector<uint8_t> request(uint8_t type, std::vector<uint8_t> payload = {})
    {
        return unitFrame(type, payload, 0);
    }
    int send(uint8_t type, std::vector<uint8_t> payload = {})
    {
        auto body = request(type, payload);
        return channel.send(reinterpret_cast<const FrameHeader*>(body.data()));
    }
    void unitSends(const std::vector<uint8_t>& body) { network.receive(UNIT, body); }
};

TEST_F(Channel, OneFrameInFlightWithConsecutiveFids)
{
    EXPECT_EQ(send(MSG_RBT), 0);
    EXPECT_EQ(send(MSG_TTM), -1);
    EXPECT_EQ(send(MSG_RLD, {7}), -1);
    ASSERT_EQ(network.sent.size(), 1u);
    for (uint32_t fid = 0; fid < 3; ++fid) {
        ASSERT_EQ(network.sent.size(), fid + 1);
        const FrameHeader* h = network.header(fid);
        EXPECT_EQ(h->fid, fid);
        EXPECT_EQ(h->v, 5);
        EXPECT_TRUE(frameCrcGood(h));
        EXPECT_EQ(network.sent[fid].size(), 14u + h->pl);
        unitSends(ackOf(h));
    }
    EXPECT_EQ(network.sent.size(), 3u);
    EXPECT_EQ(channel.queued(), 0u);

    FrameHeader none{};
    EXPECT_EQ(channel.send(nullptr), -200);
    EXPECT_EQ(channel.send(&none), -2);
}

TEST_F(Channel, LostCopiesAreResentUntilTheLimit)
{
    send(MSG_RBT);
    send(MSG_TTM);
    // The first two copies are lost: two resends, one second apart.
    ASSERT_TRUE(spinUntil([&] { return network.sent.size() >= 3; }));
    ASSERT_EQ(network.sent.size(), 3u);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(network.sent[i], network.sent[0]);
        EXPECT_GE(network.sentAt[i] - network.sentAt[i - 1], std::chrono::milliseconds(990));
    }
    unitSends(ackOf(network.header(2))); // the third arrives
    ASSERT_EQ(network.sent.size(), 4u);
    EXPECT_EQ(network.header(3)->t, MSG_TTM);

    // Four copies of the next frame lost: the queue is dropped.
    ASSERT_TRUE(spinUntil([&] { return channel.queued() == 0; }));
    EXPECT_EQ(network.sent.size(), 7u);
}

TEST_F(Channel, AcknowledgementOfAnotherFrameLeavesTheTimerRunning)
{
    send(MSG_RBT);
    auto ack = ackOf(network.header(0));
    reinterpret_cast<FrameHeader*>(ack.data())->crc ^= 1;
    unitSends(ack);
    auto otherFid = ackOf(network.header(0));
    reinterpret_cast<FrameHeader*>(otherFid.data())->fid += 1;
    unitSends(otherFid);
    EXPECT_EQ(network.sent.size(), 1u);
    ASSERT_TRUE(spinUntil([&] { return network.sent.size() >= 2; }));
    ASSERT_EQ(network.sent.size(), 2u);
    EXPECT_EQ(network.sent[1], network.sent[0]);
    EXPECT_GE(network.sentAt[1] - network.sentAt[0], std::chrono::milliseconds(990));
}

TEST_F(Channel, DamagedReportsAreResentButNotForever)
{
    send(MSG_RBT);
    for (int i = 0; i < 3; ++i) unitSends(ackOf(network.header(network.sent.size() - 1), MSG_A_B));
    EXPECT_EQ(network.sent.size(), 4u);
    EXPECT_EQ(channel.queued(), 1u);
    unitSends(ackOf(network.header(3), MSG_A_B));
    EXPECT_EQ(channel.queued(), 0u);
    EXPECT_EQ(network.sent.size(), 4u);
}

TEST_F(Channel, UnitFramesAreAcknowledged)
{
    struct Case {
        const char* what;
        int control;
        std::vector<uint8_t> frame;
        int answer; // -1: none
    } cases[] = {
        {"ping while free", Brelt::FREE, unitFrame(MSG_PNG, {}, 5, 7), -1},
        {"ping while taken", Brelt::TAKEN, unitFrame(MSG_PNG, {}, 5, 8), MSG_A_O},
        {"ping while taking", Brelt::TAKING, unitFrame(MSG_PNG, {}, 5, 8), MSG_A_O},
        {"answer", Brelt::FREE, unitFrame(MSG_SUC, {1, 2}, 5, 9), MSG_A_O},
        {"damaged answer", Brelt::FREE, unitFrame(MSG_SUC, {1, 2}, 5, 10, true), MSG_A_B},
        {"announcement", Brelt::FREE, unitFrame(MSG_INF, std::vector<uint8_t>(903, 0), 0), -1},
        {"state", Brelt::FREE, unitFrame(MSG_STA, {2}), -1},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        network.sent.clear();
        unit->setControlStatus(c.control);
        unitSends(c.frame);
        if (c.answer < 0) {
            EXPECT_TRUE(network.sent.empty());
            continue;
        }
        ASSERT_EQ(network.sent.size(), 1u);
        EXPECT_EQ(network.sent[0].size(), 46u);
        std::vector<uint8_t> expected = c.frame;
        expected.resize(32);
        expected[1] = static_cast<uint8_t>(c.answer);
        EXPECT_EQ(std::vector<uint8_t>(network.sent[0].begin() + 14, network.sent[0].end()), expected);
    }
}

TEST_F(Channel, ListenersByTypeAndOwner)
{
    int first = 0, second = 0;
    int ownerA = 0, ownerB = 0;
    channel.hook(&ownerA, MSG_SUC, [&](const FrameHeader*) { ++first; });
    channel.hook(&ownerB, MSG_SUC, [&](const FrameHeader*) { ++second; });
    unitSends(unitFrame(MSG_SUC, {}, 5, 1));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    channel.unhookAll(&ownerA); // A's slot is gone already: B's stays
    unitSends(unitFrame(MSG_SUC, {}, 5, 2));
    EXPECT_EQ(second, 2);
    unitSends(unitFrame(MSG_SUC, {}, 5, 3, true)); // a damaged frame reaches nobody
    EXPECT_EQ(second, 2);
    channel.unhookAll(&ownerB);
    unitSends(unitFrame(MSG_SUC, {}, 5, 4));
    EXPECT_EQ(second, 2);
    // A frame of another unit, or one without a listener, reaches nobody either.
    channel.hook(&ownerA, MSG_ERR, [&](const FrameHeader*) { ++first; });
    network.receive("02:00:00:00:00:02", unitFrame(MSG_ERR, {}, 5, 5));
    EXPECT_EQ(first, 0);
    network.receive(UNIT, unitFrame(MSG_ERR, {}, 5, 6), true);
    EXPECT_EQ(first, 1);
}

// The unit's answer to one step arrives, our acknowledgement of it is lost, and the unit sends the
// same frame again while the next step waits for its own answer.
TEST_F(Channel, RepeatedAnswerIsAcknowledgedButNotTakenForTheNextStep)
{
    std::vector<std::string> taken;
    int step = 0;
    auto answer = [&](const char* word) {
        return [&, word](const FrameHeader* h) { taken.push_back("step " + std::to_string(step) + " " + word + " fid " + std::to_string(h->fid)); };
    };
    step = 1;
    channel.hook(&step, MSG_SUC, answer("SUC"));
    channel.hook(&step, MSG_ERR, answer("ERR"));
    const auto firstAnswer = unitFrame(MSG_ERR, {0xFE, 0xFF, 'n', 'o', 0}, 5, 40);
    unitSends(firstAnswer);
    step = 2; // the next step asks and waits
    send(MSG_RLD);
    unitSends(ackOf(network.header(network.sent.size() - 1)));
    network.sent.clear();
    unitSends(firstAnswer); // the repeat
    ASSERT_EQ(network.sent.size(), 1u);
    EXPECT_EQ(network.header(0)->t, MSG_A_O);
    EXPECT_EQ(network.header(0)->fid, 40u);
    EXPECT_EQ(network.header(0)->crc, reinterpret_cast<const FrameHeader*>(firstAnswer.data())->crc);
    unitSends(firstAnswer); // and once more: acknowledged again, still not taken
    EXPECT_EQ(network.sent.size(), 2u);
    unitSends(unitFrame(MSG_SUC, {}, 5, 41)); // the answer to step 2
    // The same fid with another content is another frame, not a repeat.
    unitSends(unitFrame(MSG_ERR, {0xFD, 0xFF, 0}, 5, 40));
    EXPECT_EQ(taken, (std::vector<std::string>{"step 1 ERR fid 40", "step 2 SUC fid 41", "step 2 ERR fid 40"}));
}

} // namespace
