#include "handlers/cup/monitor/comm.h"

#include "handlers/cup/serial/serial_manager.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

Comm::~Comm()
{
    if (isOpen()) printf("%s: %d\n", "~Comm", socketFd >= 0 ? socketFd : serial->descriptor());
    close();
}

int Comm::lineRate(int baudRate)
{
    switch (baudRate) {
    case 300: case 600: case 1200: case 2400: case 4800: case 9600: case 38400: case 57600: case 115200:
        return baudRate;
    default:
        return 19200;
    }
}

int Comm::open(const std::string& portName, int baudRate)
{
    printf("%s: %s\n", "open", portName.c_str());
    close();
    name = portName;

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (portName.empty()) return -1;
    // A device path is never looked up as a host: no name-server query for it.
    if (portName[0] != '/' && getaddrinfo(portName.c_str(), nullptr, &hints, &found) == 0 && found) {
        sockaddr_in address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
        freeaddrinfo(found);
        address.sin_port = htons(kPort);
        printf("Resolved: %08x:%d\n", ntohl(address.sin_addr.s_addr), kPort);
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            printf("connect: %s\n", strerror(errno));
            if (fd >= 0) ::close(fd);
            return -1;
        }
        socketFd = fd;
        socketWatch = Glib::signal_io().connect(sigc::mem_fun(*this, &Comm::onSocketReadable), socketFd,
                                                Glib::IO_IN | Glib::IO_HUP | Glib::IO_ERR);
        return 0;
    }

    serial = std::make_unique<SerialConnection>(portName);
    if (serial->open() != 0) {
        serial.reset();
        return -1;
    }
    serial->setBaud(lineRate(baudRate));
    serial->dataReceived.connect(sigc::mem_fun(*this, &Comm::onSerialData));
    serial->gone.connect(sigc::mem_fun(*this, &Comm::lose));
    return 0;
}

void Comm::close()
{
    socketWatch.disconnect();
    if (socketFd >= 0) ::close(socketFd);
    socketFd = -1;
    serial.reset();
    sending.clear();
}

bool Comm::isOpen() const { return socketFd >= 0 || (serial && serial->isOpen()); }

int Comm::send(const std::string& bytes)
{
    int written = -1;
    if (socketFd >= 0) {
        // Messages are small and answered one by one: a blocking send completes at once.
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::send(socketFd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        written = static_cast<int>(done);
    } else if (serial) {
        written = serial->write(bytes);
    }
    printf("%s: %d %d\n", "send", static_cast<int>(bytes.size()), written);
    return written;
}

int Comm::sendMessage(const MonitorMessage& message)
{
    auto text = buildMonitorMessage(message);
    if (!text) {
        printf("message %s beyond the bounds - not sent\n", message.name.c_str());
        return -1;
    }
    return send(*text);
}

int Comm::sendFile(const uint8_t* data, size_t size, const std::string& fileName)
{
    if (!isOpen() || !sending.empty()) return -1;
    std::string error;
    auto parts = monitorFileParts(data, size, fileName.substr(0, 1023), error);
    if (!parts) {
        printf("file %s not sent: %s\n", fileName.c_str(), error.c_str());
        return -2;
    }
    sending = std::move(*parts);
    sendingIndex = 0;
    sendingName = fileName;
    sendMessage(sending[0]);
    return 0;
}

int Comm::getModemStatus() const
{
    int lines = 0;
    if (!serial || !serial->isOpen() || ioctl(serial->descriptor(), TIOCMGET, &lines) != 0) return 0;
    return (lines & TIOCM_CTS ? 2 : 0) | (lines & TIOCM_DSR ? 8 : 0) | (lines & TIOCM_CD ? 16 : 0);
}

void Comm::setLine(int line, bool on)
{
    int bit = line == 1 ? TIOCM_RTS : line == 4 ? TIOCM_DTR : 0;
    int lines = 0;
    if (!bit || !serial || !serial->isOpen() || ioctl(serial->descriptor(), TIOCMGET, &lines) != 0) return;
    lines = on ? lines | bit : lines & ~bit;
    ioctl(serial->descriptor(), TIOCMSET, &lines);
}

std::vector<std::string> Comm::getPorts() const
{
    std::vector<std::string> ports = SerialManager::listPorts().value_or(std::vector<std::string>{});
    printf("%s: %d\n", "getPorts", static_cast<int>(ports.size()));
    return ports;
}

bool Comm::onSocketReadable(Glib::IOCondition)
{
    uint8_t buffer[2047];
    ssize_t n = recv(socketFd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) {
        lose();
        return false;
    }
    onData(buffer, static_cast<size_t>(n));
    return true;
}

void Comm::lose()
{
    // Closed once: the watch of a peer that went away would otherwise fire for ever. A serial
    // port has closed itself and is only dropped at the next open or close.
    socketWatch.disconnect();
    if (socketFd >= 0) ::close(socketFd);
    socketFd = -1;
    sending.clear();
    linkLost.emit(0);
}

void Comm::onData(const uint8_t* data, size_t length)
{
    rawDataReceived.emit(data, length);
    scanner.feed(data, length, [this](const std::string& text) { onMessageText(text); });
}

void Comm::onMessageText(const std::string& text)
{
    MonitorMessage message;
    switch (parseMonitorMessage(text, message)) {
    case MonitorParse::CrcError:
        printf("CRC error!\n");
        return;
    case MonitorParse::Ignored:
        return;
    case MonitorParse::Ok:
        break;
    }

    if (message.name == "!file") {
        std::string error;
        auto result = receiving.add(message, error);
        if (result == MonitorFileReceiver::Result::Dropped) {
            printf("file part dropped: %s\n", error.c_str());
            return;
        }
        printf("file: %d %d\n", receiving.index, receiving.count);
        sendMessage({"*file", {}});
        if (result == MonitorFileReceiver::Result::Failed)
            printf("file %s dropped: %s\n", receiving.fileName().c_str(), error.c_str());
        else if (result == MonitorFileReceiver::Result::Complete)
            fileReceived.emit(receiving.fileName(), receiving.data());
    } else if (message.name == "*file") {
        if (sending.empty()) return;
        ++sendingIndex;
        fileProgress.emit(static_cast<int>(sendingIndex), static_cast<int>(sending.size()));
        if (sendingIndex < sending.size()) {
            sendMessage(sending[sendingIndex]);
        } else {
            sending.clear();
            fileSent.emit(sendingName);
        }
    } else {
        messageReceived.emit(message.name, message.arguments);
    }
}
