// A central unit's data endpoints: its UDP and TCP ports and the local sockets of its programs.
#include "handlers/tuna/export/export.h"

namespace tuna_export {

void writeEndpoints(ExportContext& ex, const std::string& unitId, ConfigNode& unit)
{
    ConfigNode& endpoints = *unit.makePath("network", "endpoints");
    ex.forEachRowWhere("endpoint", "parentId", unitId, [&](RowMap& row) {
        const std::string& parentType = column(row, "parentType");
        // The GPS receiver's endpoint is written with the unit's services.
        if (parentType == "nmeaEndpoint") return;
        const std::string& name = column(row, "name");
        const std::string& type = column(row, "type");
        ConfigNode& endpoint = *endpoints.makePath(name);
        if (type == "UDP") {
            endpoint.addValue("type", "udp");
            endpoint.addValue("source port", column(row, "listeningPort"));
            endpoint.addValue("destination port", column(row, "destinationPort"));
            endpoint.addValue("destination address", column(row, "destinationAddress"));
        } else if (type == "TCP") {
            endpoint.addValue("type", "tcp");
            endpoint.addValue("source port", column(row, "listeningPort"));
        } else if (parentType == "centralUnit") {
            endpoint.addValue("type", "unix");
            endpoint.addValue("source path", "/tmp/dis_socket.r." + name);
            endpoint.addValue("destination path", "/tmp/dis_socket.w." + name);
        }
    });
}

} // namespace tuna_export
