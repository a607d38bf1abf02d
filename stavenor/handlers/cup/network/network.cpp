#include "handlers/cup/network/network.h"

#include "common/logger.h"
#include "common/privileges.h"
#include "handlers/cup/network/frame.h"

#include <ifaddrs.h>
#include <net/if_arp.h>
#include <netpacket/packet.h>
#include <pcap/pcap.h>

#include <cstring>
#include <vector>

namespace {

Network* theNetwork = nullptr;

const uint8_t BROADCAST[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The longest Ethernet frame with a VLAN tag; no unit frame is longer.
constexpr int kCaptureLength = 1518;
constexpr int kCaptureBuffer = 8 * 1024 * 1024;

void fillEthernet(uint8_t* frame, const uint8_t* destination, const uint8_t* source)
{
    memcpy(frame, destination, 6);
    memcpy(frame + 6, source, 6);
    frame[12] = ETHERTYPE_UNIT >> 8;
    frame[13] = ETHERTYPE_UNIT & 0xFF;
}

} // namespace

NetworkInterface::NetworkInterface(std::string name_, std::string description)
    : name(std::move(name_)), label(description.empty() ? name : std::move(description))
{
}

NetworkInterface::~NetworkInterface() { close(); }

int NetworkInterface::setMac(const uint8_t* value)
{
    if (!value) return -1;
    memcpy(mac, value, 6);
    return 0;
}

int NetworkInterface::open()
{
    // A device that failed (one that was not up yet, say) is tried again at the next refresh.
    if (state == OPEN) return -101;
    if (handle) return -1;
    char error[PCAP_ERRBUF_SIZE] = "";
    handle = pcap_create(name.c_str(), error);
    // Immediate and non-blocking: frames are read as soon as the main loop sees them, never waited for.
    // The capture ring gives every frame a slot of the snapshot length: at 64 KiB a slot it held about
    // 30 frames, and a fleet's announcements after one query overflowed it, taking units' answers
    // with them. Slots of a whole Ethernet frame, and room for thousands of them.
    bool ok = handle && pcap_set_snaplen(handle, kCaptureLength) == 0 &&
              pcap_set_buffer_size(handle, kCaptureBuffer) == 0 && pcap_set_promisc(handle, 0) == 0 &&
              pcap_set_timeout(handle, 1) == 0 && pcap_set_immediate_mode(handle, 1) == 0;
    // The capture socket is the one thing that needs raw Ethernet.
    const int activated = ok ? with_privilege(Privilege::RawEthernet, [this] { return pcap_activate(handle); }) : 0;
    ok = ok && activated >= 0 && pcap_setnonblock(handle, 1, error) == 0;
    // Inbound only: the server never reads the frames it sends itself.
    ok = ok && pcap_setdirection(handle, PCAP_D_IN) == 0;
    if (!ok) {
        fail(handle ? pcap_geterr(handle) : error, activated == PCAP_ERROR_PERM_DENIED);
        if (handle) pcap_close(handle);
        handle = nullptr;
        state = FAILED;
        return -102;
    }
    bpf_program filter;
    if (pcap_compile(handle, &filter, "ether proto 0x08F0", 1, 0xFFFFFF) == 0) {
        pcap_setfilter(handle, &filter);
        pcap_freecode(&filter);
    }
    state = OPEN;
    // Said once it opens after a failure: the failure's line is not repeated while it lasts.
    if (!failure.empty()) LOG(LOG_ERROR, "live stream on \"%s\" is open now\n", label.c_str());
    failure.clear();
    permissionDenied = false;
    return 0;
}

void NetworkInterface::fail(const std::string& reason, bool denied)
{
    // Tried again at every refresh (an adapter plugged in or brought up later is found), but
    // logged only when the reason changes: not one line per interface per second.
    const std::string text = reason.empty() ? "unknown error" : reason;
    if (text != failure) LOG(LOG_ERROR, "cannot open live stream on \"%s\": %s\n", label.c_str(), text.c_str());
    failure = text;
    permissionDenied = denied;
}

int NetworkInterface::close()
{
    watch.disconnect();
    if (state != OPEN) return -101;
    if (!handle) return -100;
    pcap_close(handle);
    handle = nullptr;
    state = CLOSED;
    return 0;
}

int NetworkInterface::read(const uint8_t** frame, size_t* captured)
{
    if (!handle) return -100;
    pcap_pkthdr* info = nullptr;
    const u_char* data = nullptr;
    const int result = pcap_next_ex(handle, &info, &data);
    if (result == 0) return 0;
    if (result < 0) {
        LOG(LOG_ERROR, "capture on \"%s\" failed: %s\n", label.c_str(), pcap_geterr(handle));
        return -103;
    }
    *frame = data;
    *captured = info->caplen;
    return info->caplen > 0 ? static_cast<int>(info->caplen) : 0;
}

int NetworkInterface::sendRaw(const uint8_t* frame, int length)
{
    if (!handle) return -100;
    if (!frame) return -1;
    if (length <= 0) return -2;
    if (pcap_sendpacket(handle, frame, length) == 0) return 0;
    LOG(LOG_ERROR, "sending on \"%s\" failed: %s\n", label.c_str(), pcap_geterr(handle));
    return -104;
}

int NetworkInterface::sendQuery()
{
    uint8_t frame[ETHERNET_HEADER_SIZE + FRAME_HEADER_SIZE] = {};
    fillEthernet(frame, BROADCAST, mac);
    auto header = reinterpret_cast<FrameHeader*>(frame + ETHERNET_HEADER_SIZE);
    header->t = MSG_QRY;
    header->pl = FRAME_HEADER_SIZE;
    frameCrc(header, true);
    return sendRaw(frame, sizeof frame);
}

int NetworkInterface::sendText(const std::string& unit, const std::string& text)
{
    uint8_t destination[6];
    if (text.size() >= FRAME_PAYLOAD_SIZE || !isMacText(unit)) return -1;
    textToMac(unit, destination);
    std::vector<uint8_t> frame(ETHERNET_HEADER_SIZE + FRAME_HEADER_SIZE + text.size() + 1, 0);
    fillEthernet(frame.data(), destination, mac);
    auto header = reinterpret_cast<FrameHeader*>(frame.data() + ETHERNET_HEADER_SIZE);
    header->t = MSG_SOF;
    header->pl = static_cast<uint16_t>(text.size() + 33);
    memcpy(header->payload(), text.data(), text.size());
    frameCrc(header, true);
    return sendRaw(frame.data(), static_cast<int>(frame.size()));
}

int NetworkInterface::selectableFd() const { return handle ? pcap_get_selectable_fd(handle) : -1; }

void NetworkInterface::reportDrops()
{
    pcap_stat stats{};
    if (!handle || pcap_stats(handle, &stats) != 0) return;
    const unsigned total = stats.ps_drop + stats.ps_ifdrop;
    if (total != dropped)
        LOG(LOG_ERROR, "capture on \"%s\" dropped %u frames\n", label.c_str(), total - dropped);
    dropped = total;
}

Network::Network() : Network(NoDiscovery{})
{
    refreshTimer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &Network::refreshInterfaces), 1000);
}

Network::Network(NoDiscovery) { theNetwork = this; }

Network::~Network()
{
    refreshTimer.disconnect();
    pollTimer.disconnect();
    interfaces.clear();
    bindings.clear();
    if (theNetwork == this) theNetwork = nullptr;
    LOG(LOG_BRELT, "Network deleted");
}

Network* Network::instance() { return theNetwork; }

bool Network::refreshInterfaces()
{
    pcap_if_t* devices = nullptr;
    char error[PCAP_ERRBUF_SIZE] = "";
    if (pcap_findalldevs(&devices, error) != 0) {
        LOG(LOG_ERROR, "pcap_findalldevs: %s\n", error);
        return true;
    }
    everListed = true;
    for (auto& [name, interface] : interfaces) {
        interface->seen = false;
        interface->reportDrops();
    }

    for (pcap_if_t* device = devices; device; device = device->next) {
        auto found = interfaces.find(device->name);
        if (found != interfaces.end()) {
            NetworkInterface* interface = found->second.get();
            interface->seen = true;
            if (interface->state != NetworkInterface::OPEN) interface->open();
            continue;
        }
        uint8_t mac[6];
        if (findAdapterMac(device->name, mac) != 0) continue;
        auto interface = std::make_unique<NetworkInterface>(device->name, device->description ? device->description : "");
        interface->setMac(mac);
        interface->open();
        interfaces.emplace(device->name, std::move(interface));
    }
    for (auto it = interfaces.begin(); it != interfaces.end();) {
        if (it->second->seen) {
            ++it;
            continue;
        }
        dropBindings(it->second.get());
        it = interfaces.erase(it);
    }
    pcap_freealldevs(devices);

    // A handle that can signal its frames is read from a main-loop watch; the others are polled.
    for (auto& [name, interface] : interfaces) {
        if (interface->state != NetworkInterface::OPEN || interface->watch.connected()) continue;
        const int fd = interface->selectableFd();
        if (fd < 0) continue;
        NetworkInterface* raw = interface.get();
        interface->watch = Glib::signal_io().connect(
            [this, raw](Glib::IOCondition condition) {
                // A device that went away reports an error: stop watching it at once instead of spinning.
                if (condition & (Glib::IO_ERR | Glib::IO_HUP)) {
                    LOG(LOG_ERROR, "capture on \"%s\" lost its device\n", raw->label.c_str());
                    closeInterface(raw);
                    return false;
                }
                readAll(raw);
                return true;
            },
            fd, Glib::IO_IN | Glib::IO_ERR | Glib::IO_HUP);
    }
    updatePollTimer();
    broadcastQuery();
    return true;
}

void Network::updatePollTimer()
{
    bool needed = false;
    for (auto& [name, interface] : interfaces)
        needed |= interface->state == NetworkInterface::OPEN && !interface->watch.connected();
    if (needed && !pollTimer.connected())
        pollTimer = Glib::signal_timeout().connect(sigc::mem_fun(*this, &Network::poll), 20);
    else if (!needed)
        pollTimer.disconnect();
}

bool Network::poll()
{
    for (auto& [name, interface] : interfaces) {
        if (interface->state == NetworkInterface::OPEN && !interface->watch.connected()) readAll(interface.get());
    }
    return true;
}

void Network::readAll(NetworkInterface* interface)
{
    for (;;) {
        const uint8_t* frame = nullptr;
        size_t captured = 0;
        const int result = interface->read(&frame, &captured);
        if (result == 0) return;
        if (result < 0) {
            // The device went away or broke: stop reading it at once; a refresh reopens it if it is listed.
            closeInterface(interface);
            return;
        }
        deliver(frame, captured, interface);
        if (interface->state != NetworkInterface::OPEN) return;
    }
}

void Network::deliver(const uint8_t* frame, size_t captured, NetworkInterface* interface)
{
    const int body = frameBodyLength(frame, captured);
    const std::string label = interface ? interface->label : std::string();
    if (body < 0) {
        LOG(LOG_BRELT_DETAIL, "dropped a malformed unit frame of %zu bytes from %s on \"%s\"\n", captured,
            captured >= 12 ? macToText(frame + 6).c_str() : "?", label.c_str());
        return;
    }
    const size_t length = ETHERNET_HEADER_SIZE + body;
    const std::string unit = macToText(frame + 6);
    if (memcmp(frame, BROADCAST, 6) == 0) {
        broadcastReceived.emit(frame, length, label);
    } else {
        bind(unit, interface);
        dumpFrame(frame, length, label, true);
        frameReceived.emit(frame, length, label);
    }
    auto listeners = unitFrames.find(unit);
    if (listeners != unitFrames.end()) listeners->second.emit(frame, length, label);
}

void Network::closeInterface(NetworkInterface* interface)
{
    dropBindings(interface);
    interface->close();
    updatePollTimer();
}

void Network::dropBindings(NetworkInterface* interface)
{
    std::erase_if(bindings, [interface](const auto& entry) { return entry.second == interface; });
}

int Network::bind(const std::string& unit, NetworkInterface* interface)
{
    if (!interface) {
        LOG(LOG_ERROR, "tried to bind with NULL interface!\n");
        return -1;
    }
    auto [it, added] = bindings.emplace(unit, interface);
    if (added) return 0;
    return it->second == interface ? -3 : -4;
}

int Network::send(const std::string& unit, uint8_t* frame, int length)
{
    auto bound = bindings.find(unit);
    if (bound == bindings.end()) return -1;
    NetworkInterface* interface = bound->second;
    memcpy(frame + 6, interface->mac, 6);
    auto header = reinterpret_cast<const FrameHeader*>(frame + ETHERNET_HEADER_SIZE);
    const int size = static_cast<int>(ETHERNET_HEADER_SIZE) + (length > 0 ? length : header->pl);
    dumpFrame(frame, size, interface->label, false);
    return interface->sendRaw(frame, size);
}

int Network::broadcastQuery()
{
    int sent = 0;
    for (auto& [name, interface] : interfaces) {
        if (interface->state == NetworkInterface::OPEN && interface->sendQuery() == 0) ++sent;
    }
    return sent;
}

int Network::sendText(const std::string& unit, const std::string& text)
{
    int sent = 0;
    for (auto& [name, interface] : interfaces) {
        if (interface->state == NetworkInterface::OPEN && interface->sendText(unit, text) == 0) ++sent;
    }
    return sent;
}

int Network::findAdapterMac(const std::string& device, uint8_t* mac)
{
    if (device.empty()) return -1;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return -105;
    int result = -105;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET || device != entry->ifa_name) continue;
        auto link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        static const uint8_t zero[6] = {};
        // Only Ethernet adapters with a real address can carry unit frames.
        if (link->sll_hatype != ARPHRD_ETHER || link->sll_halen != 6 || memcmp(link->sll_addr, zero, 6) == 0) break;
        memcpy(mac, link->sll_addr, 6);
        result = 0;
        break;
    }
    freeifaddrs(list);
    return result;
}
