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

// The automatic radio, only when it names a radio: a reference to nothing would turn the automatic
// off on the next load of the file that the export writes.
void readAutomaticRadio(ImportContext& im, const ConfigNode& user, RowMap& row)
{
    row["automaticRadio"] = "false";
    std::string radio;
    user.getString("automatic radio", radio);
    std::string radioId = referencedId(im, radio, {IdKind::Radio});
    if (radioId.empty()) return;
    row["automaticRadio"] = "true";
    row["automaticRadioId"] = radioId;
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
// before it, and each only when it names something (the export writes no empty one).
void readAutomaticConferences(ImportContext& im, const ConfigNode& user, RowMap& row)
{
    row["conferenceEnabled"] = "false";
    row["secondConferenceEnabled"] = "false";
    row["followOperatorEnabled"] = "false";
    std::string conference, second, follow;
    if (!user.getString("automatic conference", conference)) return;
    row["conference"] = conference;
    row["conferenceEnabled"] = "true";
    if (!user.getString("secondary conference", second)) return;
    row["secondConference"] = second;
    row["secondConferenceEnabled"] = "true";
    user.getString("follow user", follow);
    std::string followId = referencedId(im, follow, {IdKind::Operator});
    if (followId.empty()) return;
    row["followOperator"] = followId;
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
