// The serial connection against a pseudo-terminal: the test holds the master side, the
// connection opens the slave by its path as it would a real port.
#include "handlers/cup/serial/serial_connection.h"

#include <glibmm/init.h>
#include <glibmm/main.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

// Runs the default main context until `done` holds or `ms` pass; returns `done()`.
bool spin(const std::function<bool()>& done, int ms = 2000)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    auto context = Glib::MainContext::get_default();
    while (!done() && std::chrono::steady_clock::now() < deadline) context->iteration(false), usleep(200);
    return done();
}

class SerialConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Glib::init();
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        path = ptsname(master);
        // The slave starts cooked, as a real port may: the connection must make it raw.
        termios line{};
        tcgetattr(master, &line);
        line.c_lflag |= ICANON | ECHO;
        line.c_iflag |= IXON | ICRNL;
        tcsetattr(master, TCSANOW, &line);
        connection = std::make_unique<SerialConnection>(path);
        connection->dataReceived.connect([this](GByteArray* chunk) {
            chunks.emplace_back(reinterpret_cast<char*>(chunk->data), chunk->len);
        });
        connection->gone.connect([this] { ++goneCount; });
    }
    void TearDown() override
    {
        connection.reset();
        if (master >= 0) close(master);
    }
    std::string received() const
    {
        std::string all;
        for (auto& c : chunks) all += c;
        return all;
    }
    std::string readMaster(size_t want)
    {
        std::string got;
        spin([&] {
            char buffer[65536];
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) got.append(buffer, static_cast<size_t>(n));
            return got.size() >= want;
        }, 5000);
        return got;
    }

    int master = -1;
    std::string path;
    std::unique_ptr<SerialConnection> connection;
    std::vector<std::string> chunks;
    int goneCount = 0;
};

TEST_F(SerialConnectionTest, OpensRaw115200EightNOneWithoutFlowControl)
{
    ASSERT_EQ(connection->open(), 0);
    termios line{};
    ASSERT_EQ(tcgetattr(master, &line), 0); // what the other side of the line sees
    EXPECT_EQ(cfgetospeed(&line), B115200);
    EXPECT_EQ(cfgetispeed(&line), B115200);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_FALSE(line.c_iflag & (IXON | IXOFF | IXANY | ICRNL));
    EXPECT_FALSE(line.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(line.c_oflag & OPOST);
}

TEST_F(SerialConnectionTest, ABurstArrivesInChunksOfAtMost2047InOrder)
{
    ASSERT_EQ(connection->open(), 0);
    std::string burst;
    for (int i = 0; i < 5000; ++i) burst.push_back(static_cast<char>(i * 7 + i / 256));
    ASSERT_EQ(write(master, burst.data(), burst.size()), 5000);
    ASSERT_TRUE(spin([&] { return received().size() == burst.size(); }));
    EXPECT_EQ(received(), burst);
    EXPECT_GE(chunks.size(), 3u);
    for (auto& c : chunks) EXPECT_LE(c.size(), 2047u);
}

TEST_F(SerialConnectionTest, TenMillisecondsOfQuietEndAChunk)
{
    ASSERT_EQ(connection->open(), 0);
    ASSERT_EQ(write(master, "boot", 4), 4);
    ASSERT_TRUE(spin([&] { return chunks.size() == 1; }));
    spin([] { return false; }, 50);
    ASSERT_EQ(write(master, "=> ", 3), 3);
    ASSERT_TRUE(spin([&] { return chunks.size() == 2; }));
    EXPECT_EQ(chunks, (std::vector<std::string>{"boot", "=> "}));
}

TEST_F(SerialConnectionTest, WritesNeverBlockAndKeepTheirOrder)
{
    ASSERT_EQ(connection->open(), 0);
    // Far more than the terminal buffers while nobody reads: the rest waits in order.
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        std::string part(8192, static_cast<char>('a' + i % 26));
        EXPECT_EQ(connection->write(part), 8192);
        expected += part;
    }
    EXPECT_EQ(readMaster(expected.size()), expected);
}

TEST_F(SerialConnectionTest, APeerThatGoesAwayClosesThePortOnce)
{
    ASSERT_EQ(connection->open(), 0);
    ASSERT_EQ(write(master, "last words", 10), 10);
    spin([&] { return !chunks.empty(); });
    close(master);
    master = -1;
    ASSERT_TRUE(spin([&] { return goneCount > 0; }));
    spin([] { return false; }, 50);
    EXPECT_EQ(goneCount, 1);
    EXPECT_EQ(received(), "last words");
    EXPECT_FALSE(connection->isOpen());
    EXPECT_EQ(connection->write("x"), -400);
    EXPECT_EQ(connection->close(), -400);
}

TEST_F(SerialConnectionTest, SettingsAndResultCodes)
{
    EXPECT_EQ(connection->write("before open"), -400);
    EXPECT_EQ(connection->setBaud(9600), -400);
    EXPECT_EQ(SerialConnection("").open(), -1);
    EXPECT_EQ(SerialConnection("/dev/no-such-port").open(), -400);

    ASSERT_EQ(connection->open(), 0);
    EXPECT_EQ(connection->setName("/dev/other"), -401);
    EXPECT_EQ(connection->getName(), path);
    termios line{};
    struct Case { int rate; speed_t expected; };
    for (Case c : {Case{57600, B57600}, Case{14400, B57600}, Case{-1, B57600}, Case{110, B110}, Case{115200, B115200}}) {
        EXPECT_EQ(connection->setBaud(c.rate), 0) << c.rate;
        tcgetattr(master, &line);
        EXPECT_EQ(cfgetospeed(&line), c.expected) << c.rate;
    }
    EXPECT_EQ(connection->close(), 0);
    EXPECT_EQ(connection->setName("/dev/other"), 0);
}

} // namespace

// The scan lists what is present and never opens a line.
#include "handlers/cup/serial/serial_manager.h"

namespace {

TEST(SerialPortScan, AddsTheExistingPathsOfTheEnvironmentInOrder)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    grantpt(master);
    unlockpt(master);
    std::string pty = ptsname(master);
    setenv("STAVENOR_SERIAL_PORTS", ("/dev/no-such-port::" + pty + ":/dev/null").c_str(), 1);
    auto ports = SerialManager::listPorts().value();
    unsetenv("STAVENOR_SERIAL_PORTS");
    close(master);
    ASSERT_GE(ports.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(ports.end() - 2, ports.end()), (std::vector<std::string>{pty, "/dev/null"}));
    for (const std::string& port : ports) EXPECT_NE(port, "/dev/no-such-port");
    for (size_t i = 0; i + 2 < ports.size(); ++i)
        EXPECT_TRUE(ports[i].rfind("/dev/ttyS", 0) == 0 || ports[i].rfind("/dev/ttyUSB", 0) == 0 ||
                    ports[i].rfind("/dev/ttyACM", 0) == 0) << ports[i];
}

} // namespace
