// SIP: a central unit's accounts and trunks, and the operators' aliases.
#include "handlers/tuna/export/export.h"

namespace tuna_export {

namespace {

// The name without the prefix that the import puts in front of every key.
std::string keyOf(const std::string& name, const std::string& prefix)
{
    return name.rfind(prefix, 0) == 0 ? name.substr(prefix.size()) : name;
}

} // namespace

void writeSipAliases(ExportContext& ex, ConfigNode& node, const std::string& unitId)
{
    if (unitId.empty()) {
        ex.forEachRowWhere("globalOverviewSipAliases", "type", "operator", [&](RowMap& row) {
            std::string name = ex.nameOf(column(row, "parentId"));
            if (!name.empty()) node.addChild(name, column(row, "alias"));
        });
        return;
    }
    ConfigNode& accounts = *node.makePath("sip", "accounts");
    Sql condition("parentId=");
    condition.bind(unitId);
    condition += " and type='account'";
    ex.forEachRow("globalOverviewSipAliases", condition, [&](RowMap& row) {
        ConfigNode& account = *accounts.makePath(keyOf(column(row, "name"), "sip_account_"));
        account.addValue("password", column(row, "password"));
        account.addValue("number", column(row, "callNumber"));
        account.addValue("callerid", column(row, "callerId"));
    });
}

void writeSipTrunks(ExportContext& ex, const std::string& unitId, ConfigNode& unit)
{
    ConfigNode& trunks = *unit.makePath("sip", "trunks");
    ex.forEachRowWhere("sipTrunks", "breltID", unitId, [&](RowMap& row) {
        ConfigNode& trunk = *trunks.makePath(keyOf(column(row, "name"), "sip_trunk_"));
        trunk.addValue("target", column(row, "target"));
        trunk.addValue("prefix", column(row, "prefix"));
        trunk.addValue("pattern", column(row, "pattern"));
        trunk.addValue("codec", column(row, "codec"));
    });
}

} // namespace tuna_export
