// One open serial port through which the server talks to a unit's console: a raw 8N1 line
// without flow control, read in chunks (one burst of output each), written without blocking.
#pragma once

#include <glib.h>
#include <glibmm/main.h>
#include <sigc++/sigc++.h>

#include <cstdint>
#include <string>

class SerialConnection : public sigc::trackable {
public:
    // The port name is its device path (/dev/ttyUSB0, a pseudo-terminal, ...).
    explicit SerialConnection(const std::string& name);
    ~SerialConnection();
    SerialConnection(const SerialConnection&) = delete;
    SerialConnection& operator=(const SerialConnection&) = delete;

    // 0; -1 empty name; -400 the device did not open or refused the line settings.
    int open();
    // 0, or -400 when not open.
    int close();
    // Bytes written or queued (all of them), 0 on a write error, -400 when not open.
    int write(const std::string& text);
    int write(const char* text) { return write(std::string(text)); }
    // 110 to 115200 (eleven rates); any other value re-applies the stored rate. 0, -400 or -4.
    int setBaud(int rate);
    // 0, or -401 while open.
    int setName(const std::string& name);
    std::string getName() const { return name; }
    bool isOpen() const { return fd >= 0; }
    // The open descriptor for the modem-line ioctls of the monitor channel; -1 when closed.
    int descriptor() const { return fd; }

    // One received chunk; the array lives during the emission only.
    sigc::signal<void(GByteArray*)> dataReceived;
    // Once, when end of file or a read or write error (device gone) closed the port.
    sigc::signal<void()> gone;

    static constexpr size_t kChunk = 2047;
    static constexpr unsigned kQuietMs = 10;

private:
    bool onReadable(Glib::IOCondition condition);
    bool onWritable(Glib::IOCondition condition);
    bool onQuiet();
    void flushChunk();
    void fail();

    sigc::connection readWatch;
    sigc::connection writeWatch;
    sigc::connection quietTimer;
    uint8_t buffer[kChunk + 1];
    size_t fill = 0;
    std::string name;
    uint32_t baudRate = 115200;
    std::string pending; // bytes accepted by write() and not yet taken by the device, in order
    int fd = -1;
};
