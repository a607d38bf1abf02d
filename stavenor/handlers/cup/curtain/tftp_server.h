// The TFTP server that hands one firmware image to a unit's boot loader: every read request on
// UDP port 69 gets a transfer of its own on a port of 64667-64866; write requests are dropped.
#pragma once

#include "handlers/cup/curtain/tftp_packet.h"
#include "handlers/cup/curtain/udp_connection.h"

#include <glib.h>
#include <sigc++/sigc++.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The image is shared read-only: a transfer keeps the bytes it started with alive while the
// server's image is replaced.
using TftpImage = std::shared_ptr<const std::vector<uint8_t>>;

// One read transfer to one client key ("address:port"); runs on the main loop.
class TftpThread : public sigc::trackable {
public:
    static constexpr uint16_t kFirstPort = 64667;
    static constexpr int kPortCount = 200;

    TftpThread(const std::string& clientKey, TftpImage image);
    ~TftpThread();
    TftpThread(const TftpThread&) = delete;
    TftpThread& operator=(const TftpThread&) = delete;

    // The port this transfer sends from; 0 when no port of the range was free.
    uint16_t port() const { return boundPort; }

    void negotiateOptions(const std::vector<std::string>& fields);
    void startTransfer();
    // The bytes the client has acknowledged, and the image's.
    int64_t fetched() const { return ackedBytes; }
    int64_t total() const { return static_cast<int64_t>(image->size()); }

    sigc::signal<void(bool, std::string)> finished;
    sigc::signal<void(int, int)> progress;
    sigc::signal<void(int64_t, int64_t)> acknowledged;

private:
    void sendBlock(int64_t n);
    void sendOptionAck();
    void armTimer();
    bool onTimeout();
    void onPacket(const uint8_t* data, size_t length, const std::string& address, int port);

    sigc::connection timer;
    gint64 deadline = 0; // when the block in flight is sent again
    UdpConnection connection;
    uint16_t boundPort = 0;
    std::string clientKey;
    std::string fileName = "test";
    TftpImage image;
    int64_t currentBlock = 0; // 0 while the option acknowledgement waits for its ACK
    bool awaitingOptionAck = false;
    std::string optionAck;
    int timeoutSeconds = kTftpDefaultTimeout;
    int blockSize = kTftpDefaultBlockSize;
    int64_t blockCount = 0;
    int64_t ackedBytes = 0;
    int attempts = 0;
    uint8_t packet[4 + kTftpMaxBlockSize];
};

class TftpServer : public sigc::trackable {
public:
    TftpServer();
    ~TftpServer();
    TftpServer(const TftpServer&) = delete;
    TftpServer& operator=(const TftpServer&) = delete;

    // The process's TFTP server (none before start-up and after stop).
    static TftpServer* instance();

    // From any thread: the image reaches the server through the main loop and serves the
    // requests that arrive afterwards. 0; -1 no image; -3 the server is stopping.
    int setImage(TftpImage bytes);

    // Why port 69 could not be bound (an errno value), 0 when the server listens on it.
    int portError() const { return bindError; }

    // Block just sent, block count.
    sigc::signal<void(int, int)> progress;
    // Bytes the unit acknowledged, image bytes.
    sigc::signal<void(int64_t, int64_t)> bytesFetched;
    // A transfer's end: whether all of it went (else the client stopped answering), bytes, image bytes.
    sigc::signal<void(bool, int64_t, int64_t)> transferEnded;

private:
    void onPacket(const uint8_t* data, size_t length, const std::string& address, int port);
    void onTransferDone(bool success, std::string key);
    void relayProgress(int block, int count) { progress.emit(block, count); }

    std::map<std::string, TftpThread*> clients;
    UdpConnection connection;
    TftpImage image;
    int bindError = 0;
};
