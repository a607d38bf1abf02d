#include "handlers/cup/network/connection.h"

#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/network/network.h"

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
