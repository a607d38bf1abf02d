// SIP: a central unit's accounts and trunks, and the operators' aliases.
#include "handlers/tuna/import/import.h"

namespace tuna_import {

void readSipAliases(ImportContext& im, const ConfigNode& aliases, const std::string& unitId)
{
    for (const auto& child : aliases.children) {
        RowMap row;
        if (unitId.empty()) {
            // An alias of a name that no operator bears is kept without its operator.
            row["id"] = im.freshId();
            row["parentId"] = im.idOf(IdKind::Operator, child->key);
            row["type"] = "operator";
            row["alias"] = child->value;
            row["name"] = "sip_" + child->key;
        } else {
            row["id"] = im.freshId();
            row["parentId"] = unitId;
            row["type"] = "account";
            row["name"] = "sip_account_" + child->key;
            readText(*child, "password", row, "password");
            readText(*child, "number", row, "callNumber");
            readText(*child, "callerid", row, "callerId");
        }
        im.insert("globalOverviewSipAliases", row);
    }
}

void readSipTrunks(ImportContext& im, const std::string& unitId, const ConfigNode& trunks)
{
    for (const auto& trunk : trunks.children) {
        RowMap row;
        row["id"] = im.freshId();
        row["breltID"] = unitId;
        row["name"] = "sip_trunk_" + trunk->key;
        readText(*trunk, "target", row, "target");
        readText(*trunk, "prefix", row, "prefix");
        readText(*trunk, "pattern", row, "pattern");
        readText(*trunk, "codec", row, "codec");
        im.insert("sipTrunks", row);
    }
}

} // namespace tuna_import
