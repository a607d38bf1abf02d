// A central unit's node: its header keys, its interface list and its services.
#include "handlers/tuna/export/export.h"

namespace tuna_export {

void writeUnitNode(ExportContext& ex, const RowMap& unitRow, ConfigNode& unit)
{
    const std::string& name = column(unitRow, "name");
    unit.addValue("type", column(unitRow, "type"));
    unit.addValue("hostname", column(unitRow, "hostname"));
    ex.store.pppInterfaceNames[column(unitRow, "id")][name + " Ethernet"] = "br0";

    ConfigNode& br0 = *unit.makePath("network", "interfaces", "br0");
    br0.addValue("ip address", column(unitRow, "ipAddress") + "/" + column(unitRow, "netMask"));
    br0.addValue("use dhcp", column(unitRow, "useDhcp"));
    unit.addValue("sip domain", column(unitRow, "sipDomain"));
    unit.addValue("sip registrar", column(unitRow, "sipRegistrar"));
    unit.addValue("sip exchange number", column(unitRow, "sipExchangeNumber"));
    unit.addChild("disable local echo with pabx", flag(column(unitRow, "disableLocalEcho")));
    unit.addChild("line 0 master", flag(column(unitRow, "line1Master")));
}

void writeInterfaces(ExportContext& ex, const std::string& unitId, ConfigNode& unit)
{
    ConfigNode& interfaces = *unit.makePath("interfaces");
    for (const auto& [key, device] : ex.store.unitInterfaces)
        if (key.first == unitId) interfaces.makePath(key.second, device);
}

void writeServices(ExportContext& ex, const std::string& unitId, ConfigNode& unit)
{
    ConfigNode& services = *unit.addChild("services");
    ex.forEachRowWhere("services", "breltID", unitId, [&](RowMap& row) {
        if (column(row, "ktx") == "true") services.addChild("morvex_radio_server")->addChild("daemon", "ktx");
        if (column(row, "nmeaGps") == "true") {
            ConfigNode& gps = *services.addChild("gps");
            gps.addChild("daemon", "gps");
            gps.addValue("endpoint", column(row, "nmeaEndpoint"));
        }
        if (column(row, "distributedDis") == "true")
            services.addChild("distributed_dis")->addChild("daemon", "ddis");
        if (column(row, "overlord") == "true") {
            ConfigNode& overlord = *services.addChild("overlord");
            overlord.addChild("daemon", "overlord");
            overlord.addValue("password", column(row, "overlordPassword"));
        }
    });
}

} // namespace tuna_export
