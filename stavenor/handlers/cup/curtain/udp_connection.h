// A UDP socket on the main loop: the TFTP server's well-known port and each transfer's own port.
#pragma once

#include <glibmm/main.h>
#include <sigc++/sigc++.h>

#include <cstddef>
#include <cstdint>
#include <string>

class UdpConnection : public sigc::trackable {
public:
    UdpConnection();
    ~UdpConnection();
    UdpConnection(const UdpConnection&) = delete;
    UdpConnection& operator=(const UdpConnection&) = delete;

    // 0, or the errno value of the failure (the port is taken or not ours, no socket; logged).
    // No address reuse: two transfers must never share a port, and a second server must not
    // steal port 69.
    int bind(uint16_t port);
    // `peer` is "a.b.c.d:port". 0 sent, -1 not sent, -1231231 a peer without ":".
    int sendTo(const std::string& peer, const void* data, size_t length);

    // The datagram's bytes (valid during the emission only), its length, the sender's address and port.
    sigc::signal<void(const uint8_t*, size_t, const std::string&, int)> received;

private:
    bool onReadable(Glib::IOCondition condition);

    int fd = -1;
    sigc::connection watch;
    uint8_t buffer[65536]; // the largest UDP payload fits
};
