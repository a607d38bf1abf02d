// A central unit's own network: its PPP links, its static routes and the routing services it runs.
#include "handlers/tuna/import/import.h"

#include "common/logger.h"

#include <cstdlib>

namespace tuna_import {

namespace {

// The unit's PPP links are "ppp9" and above; lower numbers are the links of its radios.
bool isUnitPppLink(const std::string& key)
{
    return key.size() > 3 && key.compare(0, 3, "ppp") == 0 && std::strtol(key.c_str() + 3, nullptr, 10) > 8;
}

void readPppLinks(ImportContext& im, const std::string& unitId, const ConfigNode& interfaces)
{
    for (const auto& link : interfaces.children) {
        if (!isUnitPppLink(link->key)) continue;
        RowMap row;
        row["id"] = im.freshId();
        row["parentId"] = unitId;
        row["parentType"] = "centralUnit";
        readText(*link, "local ip", row, "localIp");
        readText(*link, "remote ip", row, "remoteIp");
        readText(*link, "options", row, "options");
        // "@ppp_" and the link's name.
        std::string endpoint;
        link->getString("endpoint", endpoint);
        row["name"] = endpoint.size() > 5 ? endpoint.substr(5) : std::string();
        im.interfaceNames[unitId][link->key] = row["name"];
        im.pppLinkIds[unitId][link->key] = row["id"];
        im.insert("pppProperties", row);
    }
}

// A target is a subnet ("address/mask") when its "/" stands before the last "." (or it has no "."
// at all); "10.1.0.0/16" is a host address taken whole.
bool isSubnet(const std::string& target)
{
    size_t slash = target.find('/');
    size_t dot = target.rfind('.');
    return slash != std::string::npos && (dot == std::string::npos || slash < dot);
}

void readStaticRoutes(ImportContext& im, const std::string& unitId, const ConfigNode& routes)
{
    const TextMap& interfaces = im.interfaceNames[unitId];
    for (const ConfigNode* route : numberedEntries(routes)) {
        const ConfigNode* target = route->get("route target");
        if (!target) continue;
        const ConfigNode* gatewayIp = route->get("target ip");
        const ConfigNode* device = route->get("target device");
        if (!gatewayIp && !device) continue;

        RowMap row;
        row["targetSubnet"] = "false";
        row["targetAddress"] = "false";
        if (isSubnet(target->value)) {
            size_t slash = target->value.find('/');
            row["targetSubnet"] = "true";
            row["targetSubnetAddress"] = target->value.substr(0, slash);
            row["targetSubnetMask"] = target->value.substr(slash + 1);
        } else {
            row["targetAddress"] = "true";
            row["targetAddressAddress"] = target->value;
        }
        readText(*route, "metric", row, "metric");
        row["id"] = im.freshId();
        row["breltID"] = unitId;
        row["gatewayIpAddress"] = gatewayIp ? "true" : "false";
        row["gatewayInterface"] = gatewayIp ? "false" : "true";
        if (gatewayIp) {
            row["gatewayIpAddressAddress"] = gatewayIp->value;
        } else {
            // A device that is none of the unit's interfaces leaves the route without a name.
            auto found = interfaces.find(device->value);
            if (found != interfaces.end()) row["gatewayInterfaceName"] = found->second;
        }
        im.insert("staticRouting", row);
    }
}

void readRoutingServices(ImportContext& im, const std::string& unitId, const ConfigNode& routing)
{
    auto runs = [&](const char* key) { return std::string(routing.get(key) ? "true" : "false"); };
    Sql update("UPDATE services SET ospf=");
    update.bind(runs("ospf"));
    update += ", ospf3=";
    update.bind(runs("ospfv3"));
    update += ", rip=";
    update.bind(runs("rip"));
    update += ", ripng=";
    update.bind(runs("ripng"));
    update += ", bgp=";
    update.bind(runs("bgp"));
    update += " WHERE breltID=";
    update.bind(unitId);
    std::string error;
    if (executeSql(im.store.database, update, &error) != SQLITE_OK) LOG(LOG_ERROR, "import: services: %s", error.c_str());
}

} // namespace

void readInterfaces(ImportContext& im, const std::string& unitId, const ConfigNode& network)
{
    if (const ConfigNode* interfaces = network.get("interfaces")) readPppLinks(im, unitId, *interfaces);
    if (const ConfigNode* routes = network.get("static routes")) readStaticRoutes(im, unitId, *routes);
    if (const ConfigNode* routing = network.get("routing")) readRoutingServices(im, unitId, *routing);
}

} // namespace tuna_import
