#include "handlers/cup/curtain/udp_connection.h"

#include "common/logger.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

UdpConnection::UdpConnection()
{
    fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        LOG(LOG_ERROR, "udp socket: %s", strerror(errno));
        return;
    }
    // A source that may recurse is not blocked and unblocked around each dispatch, which would
    // wake the main loop twice for every datagram; nothing here runs the loop recursively.
    auto source = Glib::IOSource::create(fd, Glib::IO_IN);
    source->set_can_recurse(true);
    watch = source->connect(sigc::mem_fun(*this, &UdpConnection::onReadable));
    source->attach(Glib::MainContext::get_default());
}

UdpConnection::~UdpConnection()
{
    watch.disconnect();
    if (fd >= 0) close(fd);
}

int UdpConnection::bind(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (fd < 0) {
        LOG(LOG_CURTAIN, "no socket\n");
        return EBADF;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        LOG(LOG_CURTAIN, "%s\n", strerror(error));
        return error;
    }
    return 0;
}

int UdpConnection::sendTo(const std::string& peer, const void* data, size_t length)
{
    auto colon = peer.find(':');
    if (colon == std::string::npos) return -1231231;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(strtoul(peer.c_str() + colon + 1, nullptr, 10)));
    if (inet_pton(AF_INET, peer.substr(0, colon).c_str(), &address.sin_addr) != 1) return -1;
    ssize_t sent = sendto(fd, data, length, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return sent < 0 ? -1 : 0;
}

bool UdpConnection::onReadable(Glib::IOCondition)
{
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (n < 0) return true; // nothing after all, or an ICMP error of an earlier send: the watch stays
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text);
    received.emit(buffer, static_cast<size_t>(n), std::string(text), ntohs(sender.sin_port));
    return true;
}
