// An operator under "users": its operatorGeneral row, then its lists.
#include "handlers/tuna/import/import.h"

#include "common/logger.h"

namespace tuna_import {

namespace {

bool operatorRowExists(ImportContext& im, const std::string& id)
{
    Sql select("SELECT 1 FROM operatorGeneral WHERE id=");
    select.bind(id);
    Statement statement(im.store.database, select);
    return statement.next();
}

// The automatics are switched on by their keys' presence; a name that resolves to nothing leaves
// the switch on with an empty reference.
void readAutomaticRadio(ImportContext& im, const ConfigNode& user, RowMap& row)
{
    row["automaticRadio"] = "false";
    const ConfigNode* radio = user.get("automatic radio");
    if (!radio) return;
    row["automaticRadio"] = "true";
    row["automaticRadioId"] = referencedId(im, radio->value, {IdKind::Radio});
    std::string crosstalk;
    user.getString("radio crosstalk", crosstalk);
    row["radioCrosstalk"] = boolText(crosstalk);
    readText(user, "radio priority", row, "radioPriority");
    row["radioShared"] = "false";
    row["radioExclusive"] = "false";
    if (const ConfigNode* mode = user.get("radio mode"))
        row[mode->value == "exclusive" ? "radioExclusive" : "radioShared"] = "true";
}

// The automatic conference, the secondary one and the operator to follow, each only with the one
// before it.
void readAutomaticConferences(ImportContext& im, const ConfigNode& user, RowMap& row)
{
    row["conferenceEnabled"] = "false";
    row["secondConferenceEnabled"] = "false";
    row["followOperatorEnabled"] = "false";
    const ConfigNode* conference = user.get("automatic conference");
    if (!conference) return;
    row["conference"] = conference->value;
    row["conferenceEnabled"] = "true";
    const ConfigNode* second = user.get("secondary conference");
    if (!second) return;
    row["secondConference"] = second->value;
    row["secondConferenceEnabled"] = "true";
    const ConfigNode* follow = user.get("follow user");
    if (!follow) return;
    row["followOperator"] = referencedId(im, follow->value, {IdKind::Operator});
    row["followOperatorEnabled"] = "true";
}

} // namespace

void readOperators(ImportContext& im, const std::string& name, const ConfigNode& user)
{
    std::string id = im.objectId(IdKind::Operator, name);
    if (id.empty()) return;
    // The operator's lists belong to its id: a second operator of the same name would double them.
    if (operatorRowExists(im, id)) {
        LOG(LOG_ERROR, "import: a second operator named %s is left out", name.c_str());
        return;
    }

    RowMap row;
    row["id"] = id;
    row["name"] = name;
    readText(user, "broadcast", row, "broadcast");
    readText(user, "on demand initiator", row, "onDemandInitiator");
    readText(user, "auto disconnect", row, "autoDisconnect");
    readText(user, "default volume", row, "defaultVolume");
    readText(user, "maximum connected radios", row, "maxConnectedRadios");
    readText(user, "default language", row, "language");
    readText(user, "settings menu timeout", row, "settingMenuTimeout");
    readText(user, "radio vox", row, "radioVox");
    readText(user, "live mode", row, "liveMode");
    readText(user, "call timeout", row, "callTimeout");
    readText(user, "local vox", row, "localVoxTimeout");
    readText(user, "default microphone", row, "headset");
    readText(user, "phone book mode", row, "phonebook");
    row["sideTone"] = "false";
    readText(user, "side tone", row, "sideTone");
    row["sideTone"] = boolText(row["sideTone"]);

    readAutomaticRadio(im, user, row);
    readAutomaticConferences(im, user, row);
    for (const char* column : {"onDemandInitiator", "broadcast", "autoDisconnect", "radioVox", "liveMode"})
        row[column] = boolText(row[column]);
    im.insert("operatorGeneral", row);

    if (const ConfigNode* node = user.get("monitors")) readSelectedMonitors(im, id, id, *node);
    if (const ConfigNode* node = user.get("settings menu")) readSettingsMenu(im, id, *node);
    if (const ConfigNode* node = user.get("fk menu")) readKeypadButtons(im, id, "-1", *node);
    if (const ConfigNode* node = user.get("ffs menu")) readRotaryDialButtons(im, id, *node);
    if (const ConfigNode* node = user.get("microphones")) readOperatorHeadsets(im, id, *node);
    if (const ConfigNode* node = user.get("private phone book")) readPrivatePhoneBook(im, id, *node);
}

std::string referencedId(const ImportContext& im, const std::string& name, std::initializer_list<IdKind> kinds)
{
    return name.empty() ? std::string() : im.idOfAny(name, kinds);
}

std::string referencedEndpoint(const ImportContext& im, const std::string& name)
{
    if (name.empty()) return {};
    auto found = im.endpointIdsByName.find(name);
    return found == im.endpointIdsByName.end() ? std::string() : found->second;
}

} // namespace tuna_import
