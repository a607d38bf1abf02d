#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/operations/directory.h"
#include "handlers/cup/brelt/operations/file_requests.h"
#include "handlers/cup/brelt/operations/get_file.h"
#include "handlers/cup/brelt/protocol.h"
#include "unit_links_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

class FileRequests : public ::testing::Test {
protected:
    CaptureNetwork network;
    std::unique_ptr<Brelt> unit = std::make_unique<Brelt>("02:00:00:00:00:01", Brelt::UP);

    // Runs one operation; whether it failed at once, and the request it sent (if any).
    bool runs(Operation* operation)
    {
        bool failedAtOnce = false;
        operation->done.connect([&](bool success) { failedAtOnce = !success; });
        operation->run();
        return !failedAtOnce;
    }
};

TEST_F(FileRequests, TextsLongerThanTheirFieldsAreRefusedBeforeSending)
{
    struct Case {
        const char* what;
        std::function<Operation*(Brelt*)> make;
        bool sent;
        size_t offset, width; // the field that must be full, without a zero, when sent
    } cases[] = {
        {"name of 128", [](Brelt* u) { return new RmFile(u, std::string(128, 'n'), "/tmp"); }, true, 2, 128},
        {"name of 129", [](Brelt* u) { return new RmFile(u, std::string(129, 'n'), "/tmp"); }, false, 0, 0},
        {"path of 256", [](Brelt* u) { return new Chmod(u, "a", std::string(256, 'p'), 0644); }, true, 130, 256},
        {"path of 300", [](Brelt* u) { return new Chmod(u, "a", std::string(300, 'p'), 0644); }, false, 0, 0},
        {"link of 129", [](Brelt* u) { return new Link(u, "a", "/", std::string(129, 'l'), "/"); }, false, 0, 0},
        {"directory of 512", [](Brelt* u) { return new RmDir(u, std::string(512, 'd')); }, true, 1, 512},
        {"directory of 513", [](Brelt* u) { return new RmDir(u, std::string(513, 'd')); }, false, 0, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        network.sent.clear();
        unit->getProtocol()->reset();
        std::unique_ptr<Operation> operation(c.make(unit.get()));
        EXPECT_EQ(runs(operation.get()), c.sent);
        ASSERT_EQ(network.sent.size(), c.sent ? 1u : 0u);
        if (!c.sent) continue;
        const uint8_t* payload = network.header(0)->payload();
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(payload + c.offset), c.width).find('\0'),
                  std::string::npos);
    }
}

TEST_F(FileRequests, LocalNamesFromRemotePaths)
{
    for (const char* remote : {"/cfg/", "/cfg/.", "/cfg/..", "..", ""}) {
        SCOPED_TRACE(remote);
        network.sent.clear();
        GetFileOperation get(unit.get(), remote);
        EXPECT_FALSE(runs(&get));
        EXPECT_TRUE(network.sent.empty());
    }
}

TEST(DirectoryListing, StatusFlagFollowsTheLastListing)
{
    CaptureNetwork network;
    struct Probe : Brelt {
        using Brelt::Brelt;
        bool hasFlag(const std::string& key) const { return flags.count(key) != 0; }
    } unit("02:00:00:00:00:01", Brelt::UP);
    auto list = [&](const std::vector<uint8_t>& answer, int wait) {
        network.sent.clear();
        unit.getProtocol()->reset();
        LsDir ls(&unit, "/tmp");
        ls.setListOption(8);
        ls.run();
        EXPECT_EQ(network.header(0)->pl, 582);
        EXPECT_EQ(network.header(0)->payload()[546], 8);
        if (!answer.empty()) network.receive("02:00:00:00:00:01", answer);
        spinPast(wait);
    };
    std::vector<uint8_t> text = {'a', '/', 'f', '\n', 'b', '/', 'd'}; // no zero: ends with the frame
    list(unitFrame(MSG_LST, text), 0);
    EXPECT_TRUE(unit.getFlag("ls dir status"));
    EXPECT_EQ(unit.getSetting("dir content"), "a/f\nb/d");
    list(unitFrame(MSG_ERR, {0xFF, 0xFF}), 0);
    EXPECT_TRUE(unit.hasFlag("ls dir status"));
    EXPECT_FALSE(unit.getFlag("ls dir status"));
    EXPECT_EQ(unit.getSetting("dir content"), "a/f\nb/d");
    list({}, 2100); // unanswered: the flag stays erased
    EXPECT_FALSE(unit.hasFlag("ls dir status"));
}

} // namespace
