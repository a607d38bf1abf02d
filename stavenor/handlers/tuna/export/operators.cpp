// An operator's node under "users": its general settings, then its branches (keypad, settings menu,
// monitors, rotary dial, headsets and private phone book).
#include "handlers/tuna/export/export.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace tuna_export {

void writeOperators(ExportContext& ex, const RowMap& row, ConfigNode& user)
{
    user.addChild("ffs automatic conference", "1");
    user.addValue("broadcast", flag(column(row, "broadcast")));
    user.addValue("on demand initiator", flag(column(row, "onDemandInitiator")));
    user.addValue("auto disconnect", flag(column(row, "autoDisconnect")));
    user.addValue("default volume", column(row, "defaultVolume"));
    user.addValue("maximum connected radios", column(row, "maxConnectedRadios"));
    user.addValue("default language", column(row, "language"));
    user.addValue("settings menu timeout", column(row, "settingMenuTimeout"));
    // "volume limit" has no column in operatorGeneral, so there is nothing to write for it.
    user.addValue("radio vox", flag(column(row, "radioVox")));
    user.addValue("live mode", flag(column(row, "liveMode")));
    user.addValue("call timeout", column(row, "callTimeout"));
    user.addValue("local vox", column(row, "localVoxTimeout"));
    user.addValue("default microphone", column(row, "headset"));
    user.addValue("phone book mode", column(row, "phonebook"));
    user.addValue("side tone", flag(column(row, "sideTone")));

    // The import switches the automatics on by their keys' presence, so a switch that is on keeps
    // its key also when it names nothing.
    if (column(row, "automaticRadio") == "true") {
        user.addChild("automatic radio", ex.nameOf(column(row, "automaticRadioId")));
        user.addValue("radio priority", column(row, "radioPriority"));
        user.addValue("radio crosstalk", flag(column(row, "radioCrosstalk")));
        user.addChild("radio mode", column(row, "radioExclusive") == "true" ? "exclusive" : "shared");
    }

    // Each automatic counts only with the one before it.
    if (column(row, "conferenceEnabled") == "true") {
        user.addChild("automatic conference", column(row, "conference"));
        if (column(row, "secondConferenceEnabled") == "true") {
            user.addChild("secondary conference", column(row, "secondConference"));
            if (column(row, "followOperatorEnabled") == "true")
                user.addValue("follow user", ex.nameOf(column(row, "followOperator")));
        }
    }

    const std::string& id = column(row, "id");
    writeKeypadButtons(ex, id, *user.makePath("fk menu"));
    writeSettingsMenu(ex, id, *user.makePath("settings menu"));
    writeSelectedMonitors(ex, id, *user.makePath("monitors"));
    writeRotaryDialButtons(ex, id, *user.makePath("ffs menu"));
    writeOperatorHeadsets(ex, id, *user.makePath("microphones"));
    writePrivatePhoneBook(ex, id, *user.makePath("private phone book"));
}

void writeSettingsMenu(ExportContext& ex, const std::string& operatorId, ConfigNode& menu)
{
    menu.keepOrder = true;
    std::vector<std::pair<long long, std::string>> entries; // position, entry
    ex.forEachRowWhere("operatorSettingsMenu", "operatorId", operatorId, [&](RowMap& row) {
        entries.emplace_back(std::strtoll(column(row, "position").c_str(), nullptr, 10), column(row, "name"));
    });
    // Positions are numbers kept as text: 10 comes after 9. Equal positions keep the database's order.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [position, entry] : entries) menu.makePath(entry == "set headset" ? "set microphone" : entry);
}

void writeOperatorHeadsets(ExportContext& ex, const std::string& operatorId, ConfigNode& headsets)
{
    ex.forEachRowWhere("operatorHeadsets", "operatorId", operatorId,
                       [&](RowMap& row) { headsets.makePath(column(row, "name")); });
}

void writePrivatePhoneBook(ExportContext& ex, const std::string& operatorId, ConfigNode& book)
{
    ex.forEachRowWhere("privatePhoneBook", "operatorId", operatorId, [&](RowMap& row) {
        // One node per contact: two contacts of one name stay two on the next load.
        ConfigNode& contact = *book.addChild(column(row, "name"));
        contact.addValue("sip address", column(row, "sipAddress"));
        contact.addValue("telephone number", column(row, "contactNumber"));
        contact.addValue("type", column(row, "contactType"));
    });
}

} // namespace tuna_export
