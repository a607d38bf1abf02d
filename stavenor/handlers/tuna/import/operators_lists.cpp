// An operator's short lists: monitors (also those of rotary dial positions and speakers), the
// settings menu, the headsets and the private phone book.
#include "handlers/tuna/import/import.h"

#include <set>

namespace tuna_import {

namespace {

// A monitored source is looked up first among the kind that its type names.
IdKind monitoredKind(const std::string& type)
{
    if (type == "monitor radio") return IdKind::Radio;
    if (type == "monitor conference") return IdKind::Conference;
    return IdKind::Operator;
}

} // namespace

void readSelectedMonitors(ImportContext& im, const std::string& parentId, const std::string& destinationId,
                          const ConfigNode& monitors)
{
    // A source listed twice is monitored once: the export would merge the two into one node.
    std::set<std::string> listed;
    for (const auto& monitor : monitors.children) {
        std::string type;
        monitor->getString("type", type);
        std::string sourceId = referencedId(im, monitor->key, {monitoredKind(type)});
        if (sourceId.empty())
            sourceId = referencedId(im, monitor->key,
                                    {IdKind::Operator, IdKind::Radio, IdKind::Conference, IdKind::Speaker,
                                     IdKind::Telephone, IdKind::PhoneLine, IdKind::Unit, IdKind::Event});
        if (sourceId.empty() || !listed.insert(monitor->key).second) continue;

        RowMap row;
        row["id"] = im.freshId();
        row["parentId"] = parentId;
        row["destinationId"] = destinationId;
        row["sourceId"] = sourceId;
        row["name"] = "monitor_" + monitor->key;
        readText(*monitor, "monitor mode", row, "mode");
        readText(*monitor, "gain", row, "gain");
        row["type"] = type == "monitor conference" ? "conference"
                      : type == "monitor radio"    ? "transceiver"
                                                   : "operator";
        im.insert("selectedMonitors", row);
    }
}

void readSettingsMenu(ImportContext& im, const std::string& operatorId, const ConfigNode& menu)
{
    int position = 0;
    for (const auto& entry : menu.children) {
        RowMap row;
        row["id"] = im.freshId();
        row["operatorId"] = operatorId;
        row["position"] = std::to_string(++position);
        row["name"] = entry->key == "set microphone" ? std::string("set headset") : entry->key;
        im.insert("operatorSettingsMenu", row);
    }
}

void readOperatorHeadsets(ImportContext& im, const std::string& operatorId, const ConfigNode& headsets)
{
    for (const auto& headset : headsets.children) {
        auto model = im.headsetIdsByName.find(headset->key);
        if (model == im.headsetIdsByName.end()) continue; // not a headset of "microphones"
        RowMap row;
        row["id"] = im.freshId();
        row["operatorId"] = operatorId;
        row["headsetId"] = model->second;
        row["name"] = headset->key;
        im.insert("operatorHeadsets", row);
    }
}

void readPrivatePhoneBook(ImportContext& im, const std::string& operatorId, const ConfigNode& book)
{
    for (const auto& contact : book.children) {
        RowMap row;
        row["id"] = im.freshId();
        row["operatorId"] = operatorId;
        row["name"] = contact->key;
        readText(*contact, "sip address", row, "sipAddress");
        readText(*contact, "telephone number", row, "contactNumber");
        readText(*contact, "type", row, "contactType");
        im.insert("privatePhoneBook", row);
    }
}

} // namespace tuna_import
