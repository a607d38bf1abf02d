// An operator's keypad ("fk menu"): one keypadDisplayButton row per configured key, at every level
// of submenus.
#include "handlers/tuna/import/import.h"

#include <cstdio>

namespace tuna_import {

namespace {

// The keys of a keypad, in the order they are read.
const char* const kKeyLabels[] = {"1", "2", "3", "4", "5", "6", "7", "8", "C", "9", "0", "OK"};

// A badge character as the picture that shows it: its code in two hexadecimal digits and ".bmp".
std::string badgePicture(const ConfigNode& key, const char* name)
{
    std::string badge;
    if (!key.getString(name, badge)) return "empty.bmp";
    char picture[16];
    snprintf(picture, sizeof picture, "%02x.bmp", static_cast<unsigned char>(badge[0]));
    return picture;
}

} // namespace

void readKeypadButtons(ImportContext& im, const std::string& operatorId, const std::string& parentButtonId,
                       const ConfigNode& menu)
{
    for (const char* label : kKeyLabels) {
        const std::string prefix = std::string("key ") + label;
        const ConfigNode* key = menu.get(prefix);
        if (!key) continue;
        const ConfigNode* type = key->get("type");
        if (!type) continue;

        RowMap row;
        row["id"] = im.freshId();
        row["operatorId"] = operatorId;
        row["buttonLabelPrefix"] = prefix;
        row["parentButtonId"] = parentButtonId;
        readText(*key, "function", row, "type");
        readText(*key, "hold function", row, "holdFunction");
        readText(*key, "shift function", row, "shiftFunction");
        if (type->value == "submenu") {
            row["type"] = "submenu";
            readKeypadButtons(im, operatorId, row["id"], *key);
        }

        const std::string function = row["type"];
        bool conferenceRadio = false;
        if (function == "connect to conference") {
            readText(*key, "conference radio", row, "radio");
            conferenceRadio = !row["radio"].empty();
            readText(*key, "radio crosstalk", row, "crosstalk");
        } else if (function == "connect to radio remotely") {
            readText(*key, "remote radio", row, "radio");
            readText(*key, "radio crosstalk", row, "crosstalk");
        } else if (function == "monitor") {
            readText(*key, "show activity", row, "monitorShowActivity");
        } else if (function == "connect to radio") {
            readText(*key, "show activity", row, "showActivity");
            readText(*key, "radio crosstalk", row, "crosstalk");
        } else if (function == "retranslation") {
            readText(*key, "show activity", row, "showActivity");
        } else {
            readText(*key, "crosstalk", row, "crosstalk");
        }

        readText(*key, "user", row, "connectToOperator");
        readText(*key, "field phone", row, "fieldPhone");
        readText(*key, "receive call", row, "receiveCalls");
        readText(*key, "radio", row, "radio");
        readText(*key, "radio priority", row, "radioPriority");
        readText(*key, "conference", row, "conference");
        readText(*key, "auto call", row, "conferenceAutocall");
        readText(*key, "modify", row, "morvexAllowModify");
        row["radioShared"] = "false";
        row["radioExclusive"] = "false";
        std::string mode;
        key->getString("radio mode", mode);
        row[mode == "shared" ? "radioShared" : "radioExclusive"] = "true";
        readText(*key, "gain", row, "monitorGain");
        readText(*key, "monitor source", row, "monitorSource");
        readText(*key, "monitor destination", row, "monitorDestination");
        readText(*key, "monitor mode", row, "monitorMode");
        readText(*key, "pabx phone", row, "pabxPhone");
        readText(*key, "retranslation radio 1", row, "retransmissionRadio1");
        readText(*key, "retranslation radio 2", row, "retransmissionRadio2");
        readText(*key, "shift time", row, "shiftTimeout");
        readText(*key, "gps default mode", row, "gpsMode");
        readText(*key, "info mode", row, "infoShowConnections");
        readText(*key, "remote user", row, "remoteUser");
        readText(*key, "source endpoint", row, "sourceEndpoint");
        readText(*key, "destination endpoint", row, "destinationEndpoint");
        readText(*key, "name", row, "name");

        for (const char* column : {"showActivity", "monitorShowActivity", "conferenceAutocall", "crosstalk",
                                   "morvexAllowModify", "receiveCalls", "infoShowConnections"})
            row[column] = boolText(row[column]);

        row["icon"] = "empty.bmp";
        readText(*key, "icon", row, "icon");
        row["subIcon"] = "empty.bmp";
        readText(*key, "subicon", row, "subIcon");
        row["iconUpperBadge"] = badgePicture(*key, "icon index 1");
        row["iconLowerBadge"] = badgePicture(*key, "icon index 2");
        row["subIconUpperBadge"] = badgePicture(*key, "subicon index 1");
        row["subIconLowerBadge"] = badgePicture(*key, "subicon index 2");

        // Names become ids; an empty name refers to nothing.
        row["sourceEndpoint"] = referencedEndpoint(im, row["sourceEndpoint"]);
        row["destinationEndpoint"] = referencedEndpoint(im, row["destinationEndpoint"]);
        row["connectToOperator"] = referencedId(im, row["connectToOperator"], {IdKind::Operator});
        row["fieldPhone"] = referencedId(im, row["fieldPhone"], {IdKind::PhoneLine, IdKind::Telephone});
        row["pabxPhone"] = referencedId(im, row["pabxPhone"], {IdKind::PhoneLine, IdKind::Telephone});
        row["radio"] = referencedId(im, row["radio"], {IdKind::Radio});
        row["conference"] = referencedId(im, row["conference"], {IdKind::Conference});
        row["retransmissionRadio1"] = referencedId(im, row["retransmissionRadio1"], {IdKind::Radio});
        row["retransmissionRadio2"] = referencedId(im, row["retransmissionRadio2"], {IdKind::Radio});
        for (const char* column : {"monitorSource", "monitorDestination"})
            row[column] = referencedId(im, row[column],
                                       {IdKind::Radio, IdKind::Conference, IdKind::Operator, IdKind::Speaker,
                                        IdKind::PhoneLine, IdKind::Telephone, IdKind::Unit, IdKind::Event});
        row["remoteUser"] = referencedId(im, row["remoteUser"], {IdKind::Operator});
        if (function == "connect to conference") row["conferenceRadioActive"] = conferenceRadio ? "true" : "false";

        im.insert("keypadDisplayButton", row);
    }
}

} // namespace tuna_import
