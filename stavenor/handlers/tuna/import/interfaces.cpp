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

void readStaticRoutes(ImportContext& im, const std::string& unitId, const ConfigNode& routes)
{
    const TextMap& interfaces = im.interfaceNames[unitId];
    for (const ConfigNode* route : numberedEntries(routes)) {
        // Only a route that the export can write back: a target, and a gateway address or an
        // interface of this unit.
        std::string target, gatewayIp, device, interfaceName;
        if (!route->getString("route target", target)) continue;
        bool viaAddress = route->getString("target ip", gatewayIp);
        if (!viaAddress) {
            if (!route->getString("target device", device)) continue;
            auto found = interfaces.find(device);
            if (found == interfaces.end() || found->second.empty()) continue;
            interfaceName = found->second;
        }

        RowMap row;
        row["id"] = im.freshId();
        row["breltID"] = unitId;
        // Any "/" makes a subnet, with a mask in either form: 10.1.0.0/255.255.0.0 or 10.1.0.0/16.
        size_t slash = target.find('/');
        bool subnet = slash != std::string::npos;
        row["targetSubnet"] = subnet ? "true" : "false";
        row["targetAddress"] = subnet ? "false" : "true";
        if (subnet) {
            row["targetSubnetAddress"] = target.substr(0, slash);
            row["targetSubnetMask"] = target.substr(slash + 1);
        } else {
            row["targetAddressAddress"] = target;
        }
        readText(*route, "metric", row, "metric");
        row["gatewayIpAddress"] = viaAddress ? "true" : "false";
        row["gatewayInterface"] = viaAddress ? "false" : "true";
        if (viaAddress)
            row["gatewayIpAddressAddress"] = gatewayIp;
        else
            row["gatewayInterfaceName"] = interfaceName;
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
