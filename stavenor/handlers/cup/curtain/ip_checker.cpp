#include "handlers/cup/curtain/ip_checker.h"

#include "common/logger.h"

#include <glib.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdlib>

namespace {
IpChecker* theChecker = nullptr;
}

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
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
            value = value * 10 + (text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++octets;
        if (octets < 4 && (at >= text.size() || text[at++] != '.')) return false;
    }
    return at == text.size();
}

int IpChecker::setServerAddress(const std::string& address)
{
    if (!isDottedQuad(address)) {
        LOG(LOG_CURTAIN, "server address `%s` refused - not a dotted quad\n", address.c_str());
        return -2;
    }
    serverAddress = address;
    return 0;
}

int IpChecker::setCentralUnitAddress(const std::string& address)
{
    if (!isDottedQuad(address)) {
        LOG(LOG_CURTAIN, "central unit address `%s` refused - not a dotted quad\n", address.c_str());
        return -2;
    }
    centralUnitAddress = address;
    return 0;
}
