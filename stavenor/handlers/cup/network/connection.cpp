#include "handlers/cup/network/connection.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/network/network.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

int Connection::send(const void*, int) { return 0; }

MacConnection::MacConnection(Brelt* unit_) : unit(unit_)
{
    if (Network* network = Network::instance())
        network->framesFrom(unit->getMac()).connect(sigc::mem_fun(*this, &MacConnection::onFrame));
}

int MacConnection::send(const void* data, int length)
{
    auto header = static_cast<const FrameHeader*>(data);
    const size_t n = length > 0 ? static_cast<size_t>(length) : header->pl;
    Network* network = Network::instance();
    const std::string& mac = unit->getMac();
    if (!network || !isMacText(mac)) return -1;
    std::vector<uint8_t> frame(ETHERNET_HEADER_SIZE + n);
    textToMac(mac, frame.data());
    frame[12] = ETHERTYPE_UNIT >> 8;
    frame[13] = ETHERTYPE_UNIT & 0xFF;
    memcpy(frame.data() + ETHERNET_HEADER_SIZE, header, n);
    return network->send(mac, frame.data(), static_cast<int>(n));
}

void MacConnection::onFrame(const uint8_t* frame, size_t length, const std::string&)
{
    received.emit(reinterpret_cast<const FrameHeader*>(frame + ETHERNET_HEADER_SIZE), length - ETHERNET_HEADER_SIZE);
}

UdpConnection::UdpConnection()
{
    socketFd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (socketFd >= 0)
        watch = Glib::signal_io().connect(sigc::mem_fun(*this, &UdpConnection::onReadable), socketFd, Glib::IO_IN);
}

UdpConnection::~UdpConnection()
{
    watch.disconnect();
    if (socketFd >= 0) ::close(socketFd);
}

int UdpConnection::bind(uint16_t port)
{
    int yes = 1;
    setsockopt(socketFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        LOG(LOG_CURTAIN, "%s\n", strerror(errno));
    return 0;
}

int UdpConnection::sendTo(const std::string& peer, const void* data, int length)
{
    const size_t colon = peer.find(':');
    if (colon == std::string::npos) return -1231231;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(atoi(peer.c_str() + colon + 1)));
    inet_pton(AF_INET, peer.substr(0, colon).c_str(), &address.sin_addr);
    sendto(socketFd, data, length > 0 ? length : 0, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return 0;
}

bool UdpConnection::onReadable(Glib::IOCondition)
{
    std::vector<uint8_t> buffer(131072, 0);
    sockaddr_in sender{};
    socklen_t size = sizeof sender;
    const ssize_t count =
        recvfrom(socketFd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&sender), &size);
    if (count < 0) return true;
    char address[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &sender.sin_addr, address, sizeof address);
    datagramReceived.emit(buffer.data(), static_cast<int>(count), address, ntohs(sender.sin_port));
    return true;
}
