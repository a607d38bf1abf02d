// An operator's rotary dial ("ffs menu"): one rotaryDialButton row per programmed position.
#include "handlers/tuna/import/import.h"

namespace tuna_import {

namespace {

constexpr int kPositions = 16;

// One of the position's radios ("radio" or "radio 2" and their keys), on when the key names one,
// also a radio that the configuration does not know.
void readRadio(ImportContext& im, const ConfigNode& position, const std::string& key, const std::string& column,
               RowMap& row)
{
    row[column] = "false";
    std::string name;
    if (!position.getString(key, name)) return;
    row[column] = "true";
    row[column + "Chosen"] = referencedId(im, name, {IdKind::Radio});
    std::string crosstalk;
    position.getString(key + " crosstalk", crosstalk);
    row[column + "Crosstalk"] = boolText(crosstalk);
    readText(position, (key + " priority").c_str(), row, (column + "Priority").c_str());
    row[column + "Exclusive"] = "false";
    row[column + "Shared"] = "false";
    if (const ConfigNode* mode = position.get(key + " mode"))
        row[column + (mode->value == "exclusive" ? "Exclusive" : "Shared")] = "true";
}

// The partner of a position: the first of user, conference and phone line that is given. Only
// that one becomes an id.
void readPartner(ImportContext& im, RowMap& row)
{
    auto partner = [&](const char* column, const char* type, std::initializer_list<IdKind> kinds) {
        std::string& value = row[column];
        if (value.empty()) return false;
        value = referencedId(im, value, kinds);
        row["type"] = type;
        return true;
    };
    row["type"] = "Only radio";
    partner("user", "Talk to", {IdKind::Operator}) || partner("conference", "Conference", {IdKind::Conference}) ||
        partner("phoneLine", "Phone", {IdKind::PhoneLine, IdKind::Telephone});
}

} // namespace

void readRotaryDialButtons(ImportContext& im, const std::string& operatorId, const ConfigNode& menu)
{
    for (int number = 1; number <= kPositions; ++number) {
        const ConfigNode* position = menu.get("position " + std::to_string(number));
        if (!position) continue;

        RowMap row;
        row["id"] = im.freshId();
        row["operatorId"] = operatorId;
        row["buttonNumber"] = std::to_string(number);
        readText(*position, "user", row, "user");
        readText(*position, "conference", row, "conference");
        readText(*position, "auto call", row, "autoCall");
        readText(*position, "phone line", row, "phoneLine");
        readText(*position, "phone number", row, "phoneNumber");
        readText(*position, "set retranslation", row, "retransmission");

        // A data route is given by both of its endpoints' names.
        row["route"] = "false";
        std::string source, destination;
        if (position->getString("source endpoint", source) && position->getString("destination endpoint", destination)) {
            row["route"] = "true";
            row["routeSource"] = referencedEndpoint(im, source);
            row["routeDestination"] = referencedEndpoint(im, destination);
        }

        readRadio(im, *position, "radio", "radio", row);
        readRadio(im, *position, "radio 2", "radio2", row);
        readPartner(im, row);
        if (const ConfigNode* monitors = position->get("monitors"))
            readSelectedMonitors(im, row["id"], operatorId, *monitors);
        row["retransmission"] = boolText(row["retransmission"]);
        row["autoCall"] = boolText(row["autoCall"]);
        im.insert("rotaryDialButton", row);
    }
}

} // namespace tuna_import
