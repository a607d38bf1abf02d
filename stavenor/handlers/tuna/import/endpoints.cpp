// A central unit's data endpoints.
#include "handlers/tuna/import/import.h"

namespace tuna_import {

void readEndpoints(ImportContext& im, const std::string& unitId, const ConfigNode& endpoints)
{
    for (const auto& endpoint : endpoints.children) {
        RowMap row;
        row["id"] = im.freshId();
        row["parentId"] = unitId;
        row["name"] = endpoint->key;
        row["parentType"] = "centralUnit";
        std::string type;
        endpoint->getString("type", type);
        if (type == "tcp") {
            row["type"] = "TCP";
            readText(*endpoint, "source port", row, "listeningPort");
        } else if (type == "udp") {
            row["type"] = "UDP";
            readText(*endpoint, "source port", row, "listeningPort");
            readText(*endpoint, "destination port", row, "destinationPort");
            readText(*endpoint, "destination address", row, "destinationAddress");
        } else {
            // The unit's program sockets: their paths follow from the name.
            row["type"] = "System";
        }
        im.endpointIdsByName[endpoint->key] = row["id"];
        im.insert("endpoint", row);
    }
}

} // namespace tuna_import
