#include "handlers/network_status.h"

#include "common/main_loop.h"
#include "common/permission_words.h"
#include "handlers/cup/curtain/tftp_server.h"
#include "handlers/cup/network/network.h"

#include <cerrno>
#include <cstring>

namespace {

// A refusal for want of a right, and what mends it when a group grants it.
std::string withAdvice(const std::string& refusal)
{
    const std::string advice = rights_advice();
    return advice.empty() ? refusal : refusal + "; " + advice;
}

std::string interfaceReason(const NetworkInterface& interface)
{
    if (interface.state == NetworkInterface::OPEN) return {};
    if (interface.permissionDenied) return withAdvice("the server has no right to raw Ethernet (" + interface.failure + ")");
    return interface.failure.empty() ? "not opened yet" : interface.failure;
}

std::string tftpReason(int error)
{
    switch (error) {
    case 0: return {};
    case EACCES:
    case EPERM: return withAdvice("the server has no right to UDP port 69, from which the unit fetches its image");
    case EADDRINUSE:
        return "another program (a TFTP server) holds UDP port 69: stop it, then start the control centre again";
    default: return std::string("UDP port 69 could not be opened: ") + strerror(error);
    }
}

void describe(json_t* reply)
{
    Network* network = Network::instance();
    if (!network || !network->listed()) {
        json_object_set_new(reply, "interfaces", json_null());
    } else {
        json_t* interfaces = json_array();
        for (const auto& [name, interface] : network->allInterfaces()) {
            json_t* entry = json_object();
            json_object_set_new(entry, "name", unitText(name));
            json_object_set_new(entry, "open", json_boolean(interface->state == NetworkInterface::OPEN));
            json_object_set_new(entry, "reason", unitText(interfaceReason(*interface)));
            json_array_append_new(interfaces, entry);
        }
        json_object_set_new(reply, "interfaces", interfaces);
    }
    TftpServer* server = TftpServer::instance();
    const std::string reason = server ? tftpReason(server->portError()) : "the TFTP server is not running";
    json_object_set_new(reply, "tftp", json_pack("{s:b, s:o}", "listening", reason.empty(), "reason", unitText(reason)));
}

} // namespace

void updater_network_status(UpdaterRequest& r)
{
    json_t* reply = r.reply;
    if (!run_on_main([reply] { describe(reply); })) setError(reply, "the server is busy, try again");
}
