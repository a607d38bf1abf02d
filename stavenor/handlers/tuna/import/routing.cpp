// A central unit's dynamic routing: one routingProtocols row for each interface of the unit that a
// routing protocol can run on, with the settings of the unit's "network"/"routing" node.
//
// The rows come only when the node switches a protocol on for one of the unit's interfaces. The export
// writes the node with the unit's router ids for every unit, and leaves out every interface whose
// protocols are all off: rows made from such a node would appear on the next load of a saved file
// although the file before it had none, and no save keeps them.
#include "handlers/tuna/import/import.h"

#include <cstdlib>
#include <map>
#include <string_view>
#include <vector>

namespace tuna_import {

namespace {

// The protocols of one interface as its node under "routing" gives them.
struct Protocols {
    bool rip = false, ripng = false, ospf2 = false, ospf3 = false;
    bool any() const { return rip || ripng || ospf2 || ospf3; }
    std::string ripSendVersion, ripReceiveVersion, ospf2Area, ospf2Priority, ospf3Area, ospf3Priority;
};

std::string valueAt(const ConfigNode& node, const char* block, const char* key)
{
    std::string value;
    if (const ConfigNode* found = node.get(block)) found->getString(key, value);
    return value;
}

Protocols readProtocols(const ConfigNode& iface)
{
    Protocols p;
    // A protocol's node switches it on; its "enabled" child is not needed.
    p.rip = iface.get("rip") != nullptr;
    p.ripng = iface.get("ripng") != nullptr;
    p.ospf2 = iface.get("ospf") != nullptr;
    p.ospf3 = iface.get("ospf3") != nullptr;
    p.ripSendVersion = valueAt(iface, "rip", "send version");
    p.ripReceiveVersion = valueAt(iface, "rip", "receive version");
    p.ospf2Area = valueAt(iface, "ospf", "area");
    p.ospf2Priority = valueAt(iface, "ospf", "priority");
    p.ospf3Area = valueAt(iface, "ospf3", "area");
    p.ospf3Priority = valueAt(iface, "ospf3", "priority");
    return p;
}

// The number after `prefix` in a key such as "ppp3" or "radio2"; -1 when the key has none.
int numberAfter(const std::string& key, const char* prefix)
{
    std::string_view p(prefix);
    if (key.compare(0, p.size(), p) != 0) return -1;
    const char* start = key.c_str() + p.size();
    char* end = nullptr;
    long number = std::strtol(start, &end, 10);
    return end == start || number < -1000 || number > 1000 ? -1 : static_cast<int>(number);
}

struct Radio {
    std::string id;
    RowMap row;
    bool on(int line) const
    {
        auto found = row.find("line" + std::to_string(line));
        return line >= 1 && line <= 4 && found != row.end() && found->second == "true";
    }
};

// An interface row to be written, and the key under which the routing node's settings find it:
// "br0", "ppp:" and the link's id, or the radio link's parent type, ":" and the radio's id.
struct Interface {
    std::string slot;
    RowMap row;
};

std::string modelName(const std::string& type)
{
    auto found = modelNames.find(type);
    return found == modelNames.end() ? std::string() : found->second;
}

std::vector<RowMap> rowsOf(ImportContext& im, const std::string& table, const std::string& column,
                           const std::string& value, const char* more = nullptr)
{
    Sql condition(column + "=");
    condition.bind(value);
    if (more) condition += more;
    std::vector<RowMap> rows;
    Statement select(im.store.database, buildSelect(table, condition));
    while (select.next()) {
        RowMap row;
        fetchRow(table, select, row);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace

void readDynamicRouting(ImportContext& im, const std::string& unitId, const ConfigNode& routing)
{
    std::vector<Interface> interfaces;
    std::vector<Radio> radios;

    std::vector<RowMap> units = rowsOf(im, "centralUnits", "id", unitId);
    const RowMap* unit = units.empty() ? nullptr : &units.front();
    if (unit) {
        interfaces.push_back({"br0",
                              {{"name", unit->at("name")},
                               {"parentId", unitId},
                               {"parentType", "centralUnit"},
                               {"parentTypeName", modelName(unit->at("type"))},
                               {"interfaceName", "Ethernet"}}});
    }

    for (RowMap& radio : rowsOf(im, "radio", "breltID", unitId)) {
        const std::string& id = radio["id"];
        const std::string& name = radio["name"];
        auto link = [&](const char* parentType, const std::string& suffix, const char* label) {
            interfaces.push_back({std::string(parentType) + ":" + id,
                                  {{"name", name + suffix},
                                   {"parentId", id},
                                   {"parentType", parentType},
                                   {"parentTypeName", radio["type"]},
                                   {"interfaceName", label}}});
        };
        if (radio["dataPortPppConnection"] == "true") link("radioData", " data port", "Data Port PPP");
        if (radio["controlPortPppConnection"] == "true") link("radioControl", " control port", "Control Port PPP");
        // Each radio's own model decides; a model that the configuration lacks counts as analog.
        std::string kind = "analog";
        for (RowMap& model : rowsOf(im, "globalOverviewRadioModels", "name", radio["type"])) kind = model["type"];
        if (kind == "usb" && !radio["ipAddress"].empty()) link("radioUsb", " IP", "USB Radio IP");
        radios.push_back({id, std::move(radio)});
    }

    if (unit) {
        for (RowMap& ppp : rowsOf(im, "pppProperties", "parentId", unitId, " AND parentType='centralUnit'")) {
            interfaces.push_back({"ppp:" + ppp["id"],
                                  {{"name", unit->at("name") + " @ppp_" + ppp["name"]},
                                   {"parentId", unitId},
                                   {"pppId", ppp["id"]},
                                   {"parentType", "ppp"},
                                   {"parentTypeName", modelName(unit->at("type"))},
                                   {"interfaceName", "Central Unit PPP"}}});
        }
    }

    std::map<std::string, Protocols> settings; // by slot; a later node of the same interface wins
    auto radioOnLine = [&](int line) -> const Radio* {
        for (const Radio& radio : radios)
            if (radio.on(line)) return &radio;
        return nullptr;
    };
    for (const auto& child : routing.children) {
        const std::string& key = child->key;
        // Beside the interfaces stand the unit's router ids and the services it runs.
        if (key == "ospf-router-id" || key == "ospf3-router-id" || key == "ospf" || key == "ospfv3" || key == "rip" ||
            key == "ripng" || key == "bgp")
            continue;
        std::string type;
        if (!child->getString("type", type)) continue; // not an interface
        std::string slot;
        if (type == "1") {
            slot = "br0";
        } else if (type == "2" || type == "3" || type == "5") {
            int number = numberAfter(key, type == "5" ? "radio" : "ppp");
            int line = type == "2" ? number + 1 : type == "3" ? number - 3 : number;
            if (number < 0) continue;
            const Radio* radio = radioOnLine(line);
            if (!radio) continue;
            slot = std::string(type == "2" ? "radioData" : type == "3" ? "radioControl" : "radioUsb") + ":" + radio->id;
        } else if (type == "4") {
            // The unit's own link of that interface key, never a link of the same name elsewhere.
            auto links = im.pppLinkIds.find(unitId);
            if (links == im.pppLinkIds.end()) continue;
            auto link = links->second.find(key);
            if (link == links->second.end()) continue;
            slot = "ppp:" + link->second;
        } else {
            continue;
        }
        settings[slot] = readProtocols(*child);
    }

    bool routed = false;
    for (const Interface& iface : interfaces) {
        auto found = settings.find(iface.slot);
        routed = routed || (found != settings.end() && found->second.any());
    }
    if (!routed) return;

    for (Interface& iface : interfaces) {
        RowMap& row = iface.row;
        Protocols p;
        auto found = settings.find(iface.slot);
        if (found != settings.end()) p = found->second;
        row["id"] = im.freshId();
        row["rip"] = p.rip ? "true" : "false";
        row["ripng"] = p.ripng ? "true" : "false";
        row["ospf2"] = p.ospf2 ? "true" : "false";
        row["ospf3"] = p.ospf3 ? "true" : "false";
        row["ripSendVersion"] = p.ripSendVersion;
        row["ripReceiveVersion"] = p.ripReceiveVersion;
        row["ospf2Area"] = p.ospf2Area;
        row["ospf2Priority"] = p.ospf2Priority;
        row["ospf3Area"] = p.ospf3Area;
        row["ospf3Priority"] = p.ospf3Priority;
        im.insert("routingProtocols", row);
    }
}

} // namespace tuna_import
