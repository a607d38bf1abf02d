// The monitor channel: named messages with binary arguments and zlib-compressed files in parts,
// over a serial port or a TCP connection to port 22340. Not created by the server itself.
#pragma once

#include "handlers/cup/monitor/monitor_message.h"
#include "handlers/cup/serial/serial_connection.h"

#include <glib.h>
#include <glibmm/main.h>
#include <sigc++/sigc++.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Comm : public sigc::trackable {
public:
    static constexpr uint16_t kPort = 22340;

    Comm() = default;
    ~Comm();
    Comm(const Comm&) = delete;
    Comm& operator=(const Comm&) = delete;

    // A name that resolves as a host connects to its TCP port 22340; any other (a path starting
    // with "/" always) is a serial device path. 0, or -1 when nothing opened.
    int open(const std::string& name, int baudRate);
    void close();
    bool isOpen() const;

    // The count written or queued, -1 when closed.
    int send(const std::string& bytes);
    int sendMessage(const MonitorMessage& message);
    // 0; -1 not open or a file is being sent; -2 zlib failed (said on the standard output).
    int sendFile(const uint8_t* data, size_t size, const std::string& fileName);

    // CTS 2, DSR 8, carrier detect 16; 0 on a TCP connection or when closed.
    int getModemStatus() const;
    // Line 1 is RTS, line 4 DTR; other lines and TCP connections are left alone.
    void setLine(int line, bool on);

    std::vector<std::string> getPorts() const;

    // 300 to 115200 as the monitor uses them; anything else is 19200.
    static int lineRate(int baudRate);

    sigc::signal<void(const uint8_t*, size_t)> rawDataReceived;
    sigc::signal<void(int)> linkLost;
    sigc::signal<void(const std::string&, const std::vector<std::string>&)> messageReceived;
    sigc::signal<void(int, int)> fileProgress; // parts answered, part count
    sigc::signal<void(const std::string&)> fileSent;
    sigc::signal<void(const std::string&, const std::vector<uint8_t>&)> fileReceived;

private:
    void onData(const uint8_t* data, size_t length);
    void onSerialData(GByteArray* chunk) { onData(chunk->data, chunk->len); }
    bool onSocketReadable(Glib::IOCondition condition);
    void onMessageText(const std::string& text);
    void lose();

    std::string name;
    std::unique_ptr<SerialConnection> serial;
    int socketFd = -1;
    sigc::connection socketWatch;
    MonitorScanner scanner;
    // File being sent: its parts and the next one the peer has not answered yet.
    std::vector<MonitorMessage> sending;
    size_t sendingIndex = 0;
    std::string sendingName;
    MonitorFileReceiver receiving;
};
