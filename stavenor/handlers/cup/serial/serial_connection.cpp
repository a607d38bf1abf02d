#include "handlers/cup/serial/serial_connection.h"

#include "common/logger.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr uint32_t kLogSerial = LOG_BRELT | LOG_BRELT_DETAIL;

speed_t speedOf(uint32_t rate)
{
    switch (rate) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

} // namespace

SerialConnection::SerialConnection(const std::string& portName) : name(portName)
{
    LOG(kLogSerial, "SerialConnection %p %s\n", static_cast<void*>(this), name.c_str());
}

SerialConnection::~SerialConnection()
{
    LOG(kLogSerial, "~SerialConnection %p\n", static_cast<void*>(this));
    close();
}

int SerialConnection::open()
{
    if (name.empty()) return -1;
    if (fd >= 0) return -401;
    fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        LOG(kLogSerial, "device `%s` did not open: %s\n", name.c_str(), strerror(errno));
        return -400;
    }
    ioctl(fd, TIOCEXCL); // not shared with another program

    // Raw 8N1, no flow control. HUPCL off: closing the port leaves the modem lines as they are.
    termios line{};
    if (tcgetattr(fd, &line) == 0) {
        cfmakeraw(&line);
        line.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS | HUPCL);
        line.c_cflag |= CS8 | CREAD | CLOCAL;
        line.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
        line.c_cc[VMIN] = 1;
        line.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &line);
    }
    setBaud(-1);

    readWatch = Glib::signal_io().connect(sigc::mem_fun(*this, &SerialConnection::onReadable), fd,
                                          Glib::IO_IN | Glib::IO_HUP | Glib::IO_ERR);
    return 0;
}

int SerialConnection::close()
{
    if (fd < 0) return -400;
    readWatch.disconnect();
    writeWatch.disconnect();
    quietTimer.disconnect();
    ::close(fd);
    fd = -1;
    fill = 0;
    pending.clear();
    LOG(kLogSerial, "device `%s` is closed\n", name.c_str());
    return 0;
}

int SerialConnection::setName(const std::string& portName)
{
    if (fd >= 0) return -401;
    name = portName;
    return 0;
}

int SerialConnection::setBaud(int rate)
{
    if (fd < 0) return -400;
    uint32_t wanted = speedOf(static_cast<uint32_t>(rate)) != B0 ? static_cast<uint32_t>(rate) : baudRate;
    termios line{};
    if (tcgetattr(fd, &line) != 0 || cfsetispeed(&line, speedOf(wanted)) != 0 ||
        cfsetospeed(&line, speedOf(wanted)) != 0 || tcsetattr(fd, TCSANOW, &line) != 0)
        return -4;
    baudRate = wanted;
    return 0;
}

int SerialConnection::write(const std::string& text)
{
    LOG(kLogSerial, "serial `%s` << %s\n", name.c_str(), text.c_str());
    if (fd < 0) return -400;
    int result = static_cast<int>(text.size());
    if (pending.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            result = 0;
        } else {
            pending.assign(text, n < 0 ? 0 : static_cast<size_t>(n));
        }
    } else {
        pending += text; // behind what still waits: order is kept
    }
    if (!pending.empty() && !writeWatch.connected())
        writeWatch = Glib::signal_io().connect(sigc::mem_fun(*this, &SerialConnection::onWritable), fd,
                                               Glib::IO_OUT | Glib::IO_HUP | Glib::IO_ERR);
    LOG(kLogSerial, "%d bytes\n", result);
    return result;
}

bool SerialConnection::onWritable(Glib::IOCondition)
{
    ssize_t n = ::write(fd, pending.data(), pending.size());
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
        fail();
        return false;
    }
    if (n > 0) pending.erase(0, static_cast<size_t>(n));
    return !pending.empty();
}

bool SerialConnection::onReadable(Glib::IOCondition)
{
    for (;;) {
        ssize_t n = ::read(fd, buffer + fill, kChunk - fill);
        if (n > 0) {
            fill += static_cast<size_t>(n);
            if (fill == kChunk) flushChunk();
            if (fd < 0) return false; // a listener closed the port
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) break;
        fail(); // end of file, or the device is gone
        return false;
    }
    // A chunk ends after 10 ms without a further byte.
    quietTimer.disconnect();
    if (fill) quietTimer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &SerialConnection::onQuiet), kQuietMs);
    return true;
}

bool SerialConnection::onQuiet()
{
    flushChunk();
    return false;
}

void SerialConnection::flushChunk()
{
    if (!fill) return;
    GByteArray* chunk = g_byte_array_sized_new(static_cast<guint>(fill));
    g_byte_array_append(chunk, buffer, static_cast<guint>(fill));
    fill = 0;
    dataReceived.emit(chunk);
    g_byte_array_unref(chunk);
}

void SerialConnection::fail()
{
    if (fd < 0) return;
    flushChunk(); // what arrived before the end still reaches the listener
    if (fd < 0) return;
    LOG(kLogSerial, "device `%s` is gone\n", name.c_str());
    close();
    gone.emit();
}
