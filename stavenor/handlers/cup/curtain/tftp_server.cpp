#include "handlers/cup/curtain/tftp_server.h"

#include "common/delete_later.h"
#include "common/logger.h"
#include "common/main_loop.h"
#include "common/privileges.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// ---- TftpThread ----

TftpThread::TftpThread(const std::string& key, TftpImage bytes) : clientKey(key), image(std::move(bytes))
{
    // A port taken by another transfer or program is replaced by the next one of the range.
    int first = rand() % kPortCount;
    for (int i = 0; i < kPortCount && boundPort == 0; ++i) {
        uint16_t candidate = static_cast<uint16_t>(kFirstPort + (first + i) % kPortCount);
        if (connection.bind(candidate) == 0) boundPort = candidate;
    }
    LOG(LOG_CURTAIN, "tftp thread %s starting up at port %d\n", clientKey.c_str(), boundPort);
    connection.received.connect(sigc::mem_fun(*this, &TftpThread::onPacket));
}

TftpThread::~TftpThread()
{
    LOG(LOG_CURTAIN, "tftp thread %s going down\n", clientKey.c_str());
    timer.disconnect();
}

void TftpThread::negotiateOptions(const std::vector<std::string>& fields)
{
    LOG(LOG_CURTAIN, "tftp thread %s options negotiation\n", clientKey.c_str());
    TftpNegotiation negotiation = negotiateTftpOptions(fields);
    for (const TftpOption& option : negotiation.options) {
        if (!option.known)
            LOG(LOG_CURTAIN, "- %s : omitting\n", option.name.c_str());
        else if (!option.taken)
            LOG(LOG_CURTAIN, "- %s : requested %s, refused\n", option.name.c_str(), option.requested.c_str());
        else if (option.name == "blksize")
            LOG(LOG_CURTAIN, "- %s : requested %s, negotiated %d\n", option.name.c_str(), option.requested.c_str(),
                option.value);
        else
            LOG(LOG_CURTAIN, "- %s : requested %d and accepted\n", option.name.c_str(), option.value);
    }
    blockSize = negotiation.blockSize;
    timeoutSeconds = negotiation.timeoutSeconds;
    fileName = fields.at(0);
    optionAck = tftpOptionAck(negotiation);
    awaitingOptionAck = true;
    sendOptionAck();
}

void TftpThread::sendOptionAck()
{
    connection.sendTo(clientKey, optionAck.data(), optionAck.size());
    armTimer();
}

void TftpThread::startTransfer()
{
    LOG(LOG_CURTAIN, "tftp thread %s starting file transfer\n", clientKey.c_str());
    blockCount = static_cast<int64_t>(image->size()) / blockSize + 1;
    sendBlock(1);
}

void TftpThread::sendBlock(int64_t n)
{
    size_t offset = static_cast<size_t>(n - 1) * static_cast<size_t>(blockSize);
    size_t size = std::min(static_cast<size_t>(blockSize), image->size() - std::min(offset, image->size()));
    LOG(LOG_CURTAIN, "tftp thread %s file part %lld/%lld\n", clientKey.c_str(), static_cast<long long>(n),
        static_cast<long long>(blockCount));
    progress.emit(static_cast<int>(n), static_cast<int>(blockCount));

    // Block numbers roll over from 65535 to 0.
    packet[0] = 0;
    packet[1] = TFTP_DATA;
    packet[2] = static_cast<uint8_t>((n >> 8) & 0xFF);
    packet[3] = static_cast<uint8_t>(n & 0xFF);
    if (size) memcpy(packet + 4, image->data() + offset, size);
    connection.sendTo(clientKey, packet, 4 + size);
    currentBlock = n;
    armTimer();
}

void TftpThread::armTimer()
{
    // Every block moves the deadline; the timer source itself is made again only when it fires
    // early, not once per block.
    deadline = g_get_monotonic_time() + static_cast<gint64>(timeoutSeconds) * G_USEC_PER_SEC;
    if (!timer.connected())
        timer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &TftpThread::onTimeout), timeoutSeconds * 1000);
}

bool TftpThread::onTimeout()
{
    gint64 left = deadline - g_get_monotonic_time();
    if (left > 0) {
        timer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &TftpThread::onTimeout),
                                               static_cast<unsigned>((left + 999) / 1000));
        return false;
    }
    if (attempts >= 3) {
        finished.emit(false, clientKey);
        return false;
    }
    ++attempts;
    LOG(LOG_CURTAIN, "tftp thread %s file part %lld/%lld (%d attempt)\n", clientKey.c_str(),
        static_cast<long long>(currentBlock), static_cast<long long>(blockCount), attempts);
    timer.disconnect(); // this one-shot ends here; resending arms the next
    if (awaitingOptionAck)
        sendOptionAck();
    else
        sendBlock(currentBlock);
    return false;
}

void TftpThread::onPacket(const uint8_t* data, size_t length, const std::string& address, int port)
{
    std::string sender = address + ":" + std::to_string(port);
    if (sender != clientKey) {
        LOG(LOG_CURTAIN, "tftp thread %s packet from %s refused\n", clientKey.c_str(), sender.c_str());
        std::string error = tftpError(5, "Unknown transfer ID");
        connection.sendTo(sender, error.data(), error.size());
        return;
    }
    auto block = tftpBlockNumber(data, length);
    int opcode = length >= 2 ? data[0] << 8 | data[1] : -1;
    LOG(LOG_CURTAIN, "tftp thread %s received packet %d\n", clientKey.c_str(), opcode);
    // Only the ACK of the block in flight moves the transfer: a late or repeated one sends nothing.
    if (opcode != TFTP_ACK || !block || *block != (currentBlock & 0xFFFF)) return;
    attempts = 0;
    if (awaitingOptionAck) {
        LOG(LOG_CURTAIN, "options negotiation success!\n");
        awaitingOptionAck = false;
        startTransfer();
        return;
    }
    ackedBytes = std::min(currentBlock * blockSize, total());
    acknowledged.emit(ackedBytes, total());
    if (currentBlock == blockCount) {
        timer.disconnect();
        finished.emit(true, clientKey);
    } else {
        sendBlock(currentBlock + 1);
    }
}

// ---- TftpServer ----

namespace {
TftpServer* theServer = nullptr;
}

TftpServer* TftpServer::instance() { return theServer; }

TftpServer::TftpServer()
{
    theServer = this;
    // Port 69 is bound once, for the server's whole life: the right to it goes with the bind.
    bindError = with_privilege(Privilege::TftpPort, [this] { return connection.bind(69); });
    privilege_done(Privilege::TftpPort);
    if (bindError != 0) LOG(LOG_ERROR, "TFTP Server cannot bind port 69: %s\n", strerror(bindError));
    LOG(LOG_CURTAIN, "TFTP Server is up!\n");
    connection.received.connect(sigc::mem_fun(*this, &TftpServer::onPacket));
}

TftpServer::~TftpServer()
{
    LOG(LOG_CURTAIN, "TFTP Server is down!\n");
    if (theServer == this) theServer = nullptr;
    // Running transfers end with the server: their sockets and timers go too.
    for (auto& [key, transfer] : clients) delete transfer;
}

int TftpServer::setImage(TftpImage bytes)
{
    if (!bytes) return -1;
    return run_on_main([this, bytes] { image = bytes; }) ? 0 : -3;
}

void TftpServer::onPacket(const uint8_t* data, size_t length, const std::string& address, int port)
{
    auto packet = parseTftpPacket(data, length);
    if (!packet) return;
    std::string key = address + ":" + std::to_string(port);
    LOG(LOG_CURTAIN, "received packet %d from %s\n", packet->opcode, key.c_str());
    LOG(LOG_CURTAIN, "parsing tftp fields:\n");
    for (const std::string& field : packet->fields) LOG(LOG_CURTAIN, "- %s\n", field.c_str());

    if (packet->opcode == TFTP_WRQ) {
        LOG(LOG_CURTAIN, "dropping WRQ packet!\n");
        return;
    }
    if (packet->opcode != TFTP_RRQ || clients.count(key)) return;
    if (packet->fields.size() < 2) {
        LOG(LOG_CURTAIN, "read request from %s without file name and mode dropped\n", key.c_str());
        return;
    }
    if (!image) {
        LOG(LOG_CURTAIN, "no image to send to %s\n", key.c_str());
        std::string error = tftpError(1, "no image loaded");
        connection.sendTo(key, error.data(), error.size());
        return;
    }

    auto* transfer = new TftpThread(key, image);
    if (transfer->port() == 0) {
        LOG(LOG_ERROR, "tftp: no free transfer port for %s\n", key.c_str());
        delete transfer;
        std::string error = tftpError(0, "no free transfer port");
        connection.sendTo(key, error.data(), error.size());
        return;
    }
    transfer->finished.connect(sigc::mem_fun(*this, &TftpServer::onTransferDone));
    transfer->progress.connect(sigc::mem_fun(*this, &TftpServer::relayProgress));
    transfer->acknowledged.connect([this](int64_t done, int64_t size) { bytesFetched.emit(done, size); });
    clients[key] = transfer;
    if (packet->fields.size() == 2)
        transfer->startTransfer();
    else
        transfer->negotiateOptions(packet->fields);
}

void TftpServer::onTransferDone(bool success, std::string key)
{
    LOG(LOG_CURTAIN, success ? "file successfuly sent to %s\n" : "failed to send file to %s\n", key.c_str());
    auto found = clients.find(key);
    if (found == clients.end()) {
        LOG(LOG_ERROR, "no thread for client %s in thread list!\n", key.c_str());
        return;
    }
    TftpThread* transfer = found->second;
    clients.erase(found);
    transferEnded.emit(success, transfer->fetched(), transfer->total());
    deleteLater(transfer);
}
