// A central unit's own rows: its centralUnits row, its services row and the endpoint of its GPS
// receiver; and the name of its Ethernet interface.
#include "handlers/tuna/import/import.h"

namespace tuna_import {

std::string readUnitNode(ImportContext& im, const std::string& unitName, const ConfigNode& unit)
{
    RowMap row;
    std::string address, mask, dhcp;
    if (const ConfigNode* br0 = unit.get("network", "interfaces", "br0")) {
        br0->getString("ip address", address);
        br0->getString("use dhcp", dhcp);
        size_t slash = address.find('/');
        if (slash != std::string::npos) {
            mask = address.substr(slash + 1);
            address.resize(slash);
        }
    }

    row["name"] = unitName;
    std::string unitId = im.objectId(IdKind::Unit, unitName);
    row["id"] = unitId;
    im.interfaceNames[unitId]["br0"] = unitName + " Ethernet";

    readText(unit, "type", row, "type");
    std::string line0, echo;
    unit.getString("line 0 master", line0);
    readText(unit, "sip domain", row, "sipDomain");
    readText(unit, "sip registrar", row, "sipRegistrar");
    readText(unit, "sip exchange number", row, "sipExchangeNumber");
    unit.getString("disable local echo with pabx", echo);
    row["ipAddress"] = address;
    row["netMask"] = mask;
    row["useDhcp"] = dhcp;
    row["disableLocalEcho"] = boolText(echo);
    row["line1Master"] = boolText(line0);

    if (const ConfigNode* routing = unit.get("network", "routing")) {
        readText(*routing, "ospf-router-id", row, "ospf2RouterId");
        readText(*routing, "ospf3-router-id", row, "ospf3RouterId");
    }
    im.insert("centralUnits", row);
    return unitId;
}

void readServices(ImportContext& im, const std::string& unitId, const ConfigNode& services)
{
    RowMap row;
    row["id"] = im.freshId();
    row["breltID"] = unitId;
    for (const char* column : {"nmeaGps", "distributedDis", "ktx", "ospf", "ospf3", "rip", "ripng", "bgp", "overlord"})
        row[column] = "false";

    for (const auto& service : services.children) {
        const std::string& key = service->key;
        if (key == "distributed_dis") {
            row["distributedDis"] = "true";
        } else if (key == "morvex_radio_server") {
            row["ktx"] = "true";
        } else if (key == "gps") {
            row["nmeaGps"] = "true";
            readText(*service, "endpoint", row, "nmeaEndpoint");
            RowMap endpoint;
            endpoint["id"] = im.freshId();
            endpoint["name"] = row["nmeaEndpoint"];
            endpoint["parentId"] = unitId;
            endpoint["type"] = "System";
            endpoint["parentType"] = "nmeaEndpoint";
            im.endpointIdsByName[endpoint["name"]] = endpoint["id"];
            im.insert("endpoint", endpoint);
        } else if (key == "overlord") {
            row["overlord"] = "true";
            readText(*service, "password", row, "overlordPassword");
        }
    }
    im.insert("services", row);
}

} // namespace tuna_import
