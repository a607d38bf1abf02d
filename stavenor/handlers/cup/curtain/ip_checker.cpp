#include "handlers/cup/curtain/ip_checker.h"

#include "common/logger.h"

#include <glib.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstdlib>

namespace {

IpChecker* theChecker = nullptr;

// A dotted quad as a number in host order.
uint32_t numberOf(const std::string& quad)
{
    uint32_t number = 0;
    size_t at = 0;
    for (int octet = 0; octet < 4; ++octet) {
        number = number << 8 | static_cast<uint32_t>(atoi(quad.c_str() + at));
        at = quad.find('.', at) + 1;
    }
    return number;
}

std::string quadOf(uint32_t number)
{
    return std::to_string(number >> 24) + "." + std::to_string(number >> 16 & 0xff) + "." +
           std::to_string(number >> 8 & 0xff) + "." + std::to_string(number & 0xff);
}

uint32_t maskOf(int prefixLength) { return prefixLength <= 0 ? 0 : ~uint32_t(0) << (32 - prefixLength); }

// Why an address is nobody's, for either side; "" when it can be someone's.
std::string addressProblem(const std::string& address)
{
    if (!IpChecker::isDottedQuad(address))
        return "“" + address + "” is not an IPv4 address: write four numbers from 0 to 255 with dots between them "
               "and no leading zeros.";
    if (address == "0.0.0.0") return "0.0.0.0 means “no address”: nothing can be reached at it.";
    if (address == "255.255.255.255")
        return "255.255.255.255 is the broadcast address: it reaches every device on the network, not one.";
    return "";
}

} // namespace

IpChecker::IpChecker()
{
    theChecker = this;
    refresh();
}

IpChecker::~IpChecker()
{
    if (theChecker == this) theChecker = nullptr;
    LOG(LOG_CURTAIN, "IpChecker deleted");
}

IpChecker* IpChecker::instance() { return theChecker; }

void IpChecker::refresh()
{
    readHostAddress();
    centralUnitAddress = proposeUnitAddress(serverAddress);
    LOG(LOG_CURTAIN, "   random Ip address is probably %s\n", centralUnitAddress.c_str());
}

// The first IPv4 address of an interface that is up and not loopback: the host name would resolve
// to a loopback address on many systems. With only loopback, the loopback address.
void IpChecker::readHostAddress()
{
    serverAddress = "127.0.0.1";
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        LOG(LOG_CURTAIN, "the PC's addresses cannot be read - using %s\n", serverAddress.c_str());
        return;
    }
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) continue;
        char text[INET_ADDRSTRLEN];
        auto address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) {
            serverAddress = text;
            break;
        }
    }
    freeifaddrs(list);
}

std::string IpChecker::proposeUnitAddress(const std::string& server)
{
    const size_t dot = server.rfind('.');
    const std::string prefix = dot == std::string::npos ? server : server.substr(0, dot);
    const int own = atoi(dot == std::string::npos ? server.c_str() : server.c_str() + dot + 1);
    int r;
    do {
        r = g_random_int_range(0, 250);
    } while (r == own || r <= 9);
    return prefix + "." + std::to_string(r);
}

bool IpChecker::isDottedQuad(const std::string& text)
{
    int octets = 0;
    size_t at = 0;
    while (octets < 4) {
        size_t digits = 0;
        int value = 0;
        const size_t first = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
            value = value * 10 + (text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        // The boot loader reads "010" as octal: a leading zero would not be the address meant.
        if (digits > 1 && text[first] == '0') return false;
        ++octets;
        if (octets < 4 && (at >= text.size() || text[at++] != '.')) return false;
    }
    return at == text.size();
}

int IpChecker::prefixLengthOf(const std::string& address)
{
    int length = 24;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return length;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || !entry->ifa_netmask || entry->ifa_addr->sa_family != AF_INET) continue;
        const auto own = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (isDottedQuad(address) && ntohl(own->sin_addr.s_addr) == numberOf(address)) {
            const auto mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
            length = __builtin_popcount(ntohl(mask->sin_addr.s_addr));
            break;
        }
    }
    freeifaddrs(list);
    return length;
}

std::string IpChecker::unitAddressProblem(const std::string& unit, const std::string& server, int prefixLength)
{
    if (std::string problem = addressProblem(unit); !problem.empty()) return problem;
    if (unit == server) return unit + " is the PC's own address: the unit needs an address of its own.";
    if (!isDottedQuad(server)) return "";
    const uint32_t mask = maskOf(prefixLength);
    const uint32_t network = numberOf(server) & mask;
    const std::string named = quadOf(network) + "/" + std::to_string(prefixLength);
    const uint32_t number = numberOf(unit);
    if ((number & mask) != network)
        return unit + " is outside the PC's network " + named + ": the unit could not reach the PC at " + server + ".";
    if (prefixLength <= 30 && number == network)
        return unit + " is the address of the PC's network " + named + " itself, not of a device in it.";
    if (prefixLength <= 30 && number == (network | ~mask))
        return unit + " is the broadcast address of the PC's network " + named + ": it reaches every device in it, not one.";
    return "";
}

std::string IpChecker::setServerAddress(const std::string& address)
{
    std::string problem = addressProblem(address);
    if (problem.empty() && address == centralUnitAddress)
        problem = address + " is the unit's address: the PC needs an address of its own.";
    if (!problem.empty()) {
        LOG(LOG_CURTAIN, "server address `%s` refused - %s\n", address.c_str(), problem.c_str());
        return problem;
    }
    serverAddress = address;
    return "";
}

std::string IpChecker::pairProblem() const
{
    return unitAddressProblem(centralUnitAddress, serverAddress, prefixLengthOf(serverAddress));
}

std::string IpChecker::setCentralUnitAddress(const std::string& address)
{
    const std::string problem = unitAddressProblem(address, serverAddress, prefixLengthOf(serverAddress));
    if (!problem.empty()) {
        LOG(LOG_CURTAIN, "central unit address `%s` refused - %s\n", address.c_str(), problem.c_str());
        return problem;
    }
    centralUnitAddress = address;
    return "";
}
