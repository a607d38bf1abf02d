// A central unit's programs and its own network: the run list, its PPP links, static routes, the
// routing services it runs and the routing protocols of each routed interface.
#include "handlers/tuna/export/export.h"

#include "common/logger.h"

#include <cstdlib>
#include <functional>
#include <map>

namespace tuna_export {

namespace {

// The unit's own PPP links in the order the export numbers them: ppp12, ppp13, ... The numbers
// restart for every unit.
void forEachPppLink(ExportContext& ex, const std::string& unitId,
                    const std::function<void(RowMap& link, const std::string& interfaceName)>& visit)
{
    int number = 12;
    Sql condition("parentType='centralUnit' AND parentId=");
    condition.bind(unitId);
    ex.forEachRow("pppProperties", condition, [&](RowMap& row) { visit(row, "ppp" + std::to_string(number++)); });
}

void writeRunList(ExportContext& ex, const std::string& unitId, ConfigNode& unit)
{
    ConfigNode& run = *unit.makePath("rundis", "run");
    run.keepOrder = true;
    // The run list's order is the order of the positions; a later row of the same position wins.
    std::map<long long, RowMap> byPosition;
    ex.forEachRowWhere("daemons", "breltID", unitId, [&](RowMap& row) {
        if (column(row, "enabled") != "true") return;
        byPosition[std::strtoll(column(row, "position").c_str(), nullptr, 10)] = row;
    });
    for (const auto& [position, row] : byPosition) {
        ConfigNode& daemon = *run.makePath(column(row, "name"));
        daemon.addValue("name", column(row, "application"));
        daemon.addValue("path", column(row, "path"));
        daemon.addValue("parameters", column(row, "parameters"));
        daemon.addValue("mode", column(row, "mode"));
        daemon.addValue("delay", column(row, "delay"));
        if (column(row, "noAuto") == "true") daemon.addChild("noauto", "1");
    }
}

void writePppLinks(ExportContext& ex, const std::string& unitId, ConfigNode& network)
{
    ConfigNode& interfaces = *network.makePath("interfaces");
    // The radios' links and the unit's bridge are already there and stay ahead of the PPP links.
    interfaces.keepOrder = true;
    TextMap& names = ex.store.pppInterfaceNames[unitId];
    forEachPppLink(ex, unitId, [&](RowMap& link, const std::string& interfaceName) {
        names[column(link, "name")] = interfaceName;
        ConfigNode& node = *interfaces.makePath(interfaceName);
        node.addChild("endpoint", "@ppp_" + column(link, "name"));
        node.addChild("local ip", column(link, "localIp"));
        node.addChild("remote ip", column(link, "remoteIp"));
        node.addChild("options", column(link, "options"));
    });
}

void writeStaticRoutes(ExportContext& ex, const std::string& unitId, ConfigNode& network)
{
    ConfigNode& routes = *network.makePath("static routes");
    const TextMap& interfaces = ex.store.pppInterfaceNames[unitId];
    int number = 0;
    ex.forEachRowWhere("staticRouting", "breltID", unitId, [&](RowMap& row) {
        std::string device;
        bool viaDevice = column(row, "gatewayInterface") == "true";
        if (viaDevice) {
            auto found = interfaces.find(column(row, "gatewayInterfaceName"));
            if (found != interfaces.end()) device = found->second;
            if (device.empty()) return; // no interface of this unit bears that name
        }
        ConfigNode& route = *routes.makePath(std::to_string(number++));
        if (column(row, "targetAddress") == "true") {
            LOG(LOG_INFO, "   target: %s", column(row, "targetAddressAddress").c_str());
            route.addValue("route target", column(row, "targetAddressAddress"));
        } else {
            LOG(LOG_INFO, "   target a/m: %s/%s", column(row, "targetSubnetAddress").c_str(),
                column(row, "targetSubnetMask").c_str());
            route.addValue("route target", column(row, "targetSubnetAddress") + "/" + column(row, "targetSubnetMask"));
        }
        if (viaDevice)
            route.addValue("target device", device);
        else
            route.addValue("target ip", column(row, "gatewayIpAddressAddress"));
        route.addValue("metric", column(row, "metric"));
    });
}

void writeRoutingServices(ExportContext& ex, const std::string& unitId, ConfigNode& network)
{
    ConfigNode& routing = *network.makePath("routing");
    static const std::pair<const char*, const char*> services[] = {
        {"ospf", "ospf"}, {"ospf3", "ospfv3"}, {"rip", "rip"}, {"ripng", "ripng"}, {"bgp", "bgp"}};
    ex.forEachRowWhere("services", "breltID", unitId, [&](RowMap& row) {
        for (const auto& [columnName, key] : services)
            if (column(row, columnName) == "true") routing.makePath(key);
    });
}

// One interface's block under "routing"; nothing when no protocol is on.
void writeRoutingProtocol(const std::string& interfaceName, const char* type, const RowMap& row, ConfigNode& routing)
{
    auto on = [&](const char* name) { return column(row, name) == "true"; };
    if (!on("rip") && !on("ripng") && !on("ospf2") && !on("ospf3")) return;
    ConfigNode& iface = *routing.makePath(interfaceName);
    auto version = [&](const char* name) { return column(row, name) == "1" ? "1" : "2"; };
    if (on("rip")) {
        ConfigNode& rip = *iface.makePath("rip");
        rip.addChild("enabled", "1");
        rip.addChild("send version", version("ripSendVersion"));
        rip.addChild("receive version", version("ripReceiveVersion"));
    }
    if (on("ripng")) iface.makePath("ripng")->addChild("enabled", "1");
    if (on("ospf2")) {
        ConfigNode& ospf = *iface.makePath("ospf");
        ospf.addChild("enabled", "1");
        ospf.addChild("area", column(row, "ospf2Area"));
        ospf.addChild("priority", column(row, "ospf2Priority"));
    }
    if (on("ospf3")) {
        ConfigNode& ospf3 = *iface.makePath("ospf3");
        ospf3.addChild("enabled", "1");
        ospf3.addChild("area", column(row, "ospf3Area"));
        ospf3.addChild("priority", column(row, "ospf3Priority"));
    }
    iface.addChild("type", type);
}

Sql routingRowsOf(const std::string& parentType, const std::string& parentId)
{
    Sql condition("parentType=");
    condition.bind(parentType);
    condition += " AND parentId=";
    condition.bind(parentId);
    return condition;
}

} // namespace

void writeDaemons(ExportContext& ex, const std::string& unitId, ConfigNode& unit)
{
    writeRunList(ex, unitId, unit);
    ConfigNode& network = *unit.makePath("network");
    writePppLinks(ex, unitId, network);
    writeStaticRoutes(ex, unitId, network);
    writeRoutingServices(ex, unitId, network);
}

void writeDynamicRouting(ExportContext& ex, const std::string& unitId, ConfigNode& unit)
{
    ConfigNode& routing = *unit.makePath("network", "routing");

    bool unitFound = false;
    ex.forEachRowWhere("centralUnits", "id", unitId, [&](RowMap& row) {
        if (unitFound) return;
        unitFound = true;
        routing.addChild("ospf-router-id", column(row, "ospf2RouterId"));
        routing.addChild("ospf3-router-id", column(row, "ospf3RouterId"));
    });

    ex.forEachRow("routingProtocols", routingRowsOf("centralUnit", unitId),
                  [&](RowMap& row) { writeRoutingProtocol("br0", "1", row, routing); });

    // A radio's links are named by the first line it is wired to.
    ex.forEachRowWhere("radio", "breltID", unitId, [&](RowMap& radio) {
        int line = 0;
        for (int n = 1; n <= 4 && !line; ++n)
            if (column(radio, "line" + std::to_string(n)) == "true") line = n;
        if (!line) return;
        static const struct {
            const char* parentType;
            const char* prefix;
            int offset;
            const char* type;
        } links[] = {{"radioData", "ppp", -1, "2"}, {"radioControl", "ppp", 3, "3"}, {"radioUsb", "radio", 0, "5"}};
        for (const auto& link : links) {
            std::string interfaceName = link.prefix + std::to_string(line + link.offset);
            ex.forEachRow("routingProtocols", routingRowsOf(link.parentType, column(radio, "id")),
                          [&](RowMap& row) { writeRoutingProtocol(interfaceName, link.type, row, routing); });
        }
    });

    // Each PPP link of the unit by its own row, so that two links of one name keep their own
    // settings. A row of a link that the unit does not have is written under the empty name.
    TextMap linkInterfaces; // pppProperties id -> interface name
    forEachPppLink(ex, unitId, [&](RowMap& link, const std::string& interfaceName) {
        linkInterfaces[column(link, "id")] = interfaceName;
    });
    ex.forEachRow("routingProtocols", routingRowsOf("ppp", unitId), [&](RowMap& row) {
        auto own = linkInterfaces.find(column(row, "pppId"));
        if (own != linkInterfaces.end()) {
            writeRoutingProtocol(own->second, "4", row, routing);
            return;
        }
        ex.forEachRowWhere("pppProperties", "id", column(row, "pppId"),
                           [&](RowMap&) { writeRoutingProtocol(std::string(), "4", row, routing); });
    });
}

} // namespace tuna_export
