// An operator's keypad: one node per key, keyed by its label, with its settings and, for a
// submenu key, the keys of its submenu beside them.
#include "handlers/tuna/export/export.h"

#include "common/logger.h"

#include <cstdlib>
#include <set>

namespace tuna_export {

namespace {

// The badge character that a badge picture stands for: its file name begins with the character's
// code in hexadecimal ("41.bmp": "A"). None for "empty.bmp", for a name without such a number,
// and for a character that a configuration file cannot hold.
std::string badgeCharacter(const std::string& picture)
{
    if (picture == "empty.bmp") return {};
    const std::string head = picture.substr(0, 7);
    char* end = nullptr;
    unsigned long code = std::strtoul(head.c_str(), &end, 16);
    if (end == head.c_str()) return {};
    std::string badge(1, static_cast<char>(code & 0xff));
    if (!ConfigNode::isWritableText(badge)) {
        if (badge[0] != '\0') LOG(LOG_ERROR, "export: the badge %s cannot be written", picture.c_str());
        return {};
    }
    return badge;
}

class KeypadWriter {
public:
    KeypadWriter(ExportContext& ex, const std::string& operatorId) : ex_(ex), operatorId_(operatorId) {}

    // Writes the keys under the key `parentId` ("-1": the top menu) into `parent`.
    void writeMenu(const std::string& parentId, ConfigNode& parent)
    {
        opened_.insert(parentId);
        Sql condition("operatorId=");
        condition.bind(operatorId_);
        condition += " AND parentButtonId=";
        condition.bind(parentId);
        ex_.forEachRow("keypadDisplayButton", condition, [&](RowMap& row) {
            ++written_;
            ConfigNode& key = *parent.makePath(column(row, "buttonLabelPrefix"));
            writeKey(row, key);
            if (column(row, "type") != "submenu") return;
            // A key that is its own ancestor would open its submenu for ever.
            const std::string& id = column(row, "id");
            if (opened_.count(id)) {
                LOG(LOG_ERROR, "export: the keypad key %s of operator %s is its own ancestor; its submenu is left out",
                    id.c_str(), ex_.nameOf(operatorId_).c_str());
                return;
            }
            writeMenu(id, key);
        });
    }

    int written() const { return written_; }

private:
    std::string name(const RowMap& row, const char* id) const { return ex_.nameOf(column(row, id)); }

    std::string endpoint(const RowMap& row, const char* id) const
    {
        auto found = ex_.store.endpointNames.find(column(row, id));
        return found == ex_.store.endpointNames.end() ? std::string() : found->second;
    }

    void writeKey(const RowMap& row, ConfigNode& key) const
    {
        const std::string& type = column(row, "type");
        key.addChild("type", type == "submenu" ? "submenu" : "function");
        if (type != "submenu") key.addValue("function", type);
        key.addValue("hold function", column(row, "holdFunction"));
        key.addValue("shift function", column(row, "shiftFunction"));

        if (type == "connect to operator") {
            key.addValue("user", name(row, "connectToOperator"));
        } else if (type == "monitor") {
            key.addValue("gain", column(row, "monitorGain"));
            key.addValue("monitor source", name(row, "monitorSource"));
            key.addValue("monitor destination", name(row, "monitorDestination"));
            key.addValue("monitor mode", column(row, "monitorMode"));
            key.addValue("show activity", flag(column(row, "monitorShowActivity")));
        } else if (type == "connect to radio") {
            key.addValue("radio", name(row, "radio"));
            key.addValue("modify", flag(column(row, "morvexAllowModify")));
            key.addValue("radio crosstalk", flag(column(row, "crosstalk")));
            key.addValue("show activity", flag(column(row, "showActivity")));
        } else if (type == "retranslation") {
            key.addValue("retranslation radio 1", name(row, "retransmissionRadio1"));
            key.addValue("retranslation radio 2", name(row, "retransmissionRadio2"));
            key.addValue("show activity", flag(column(row, "showActivity")));
        } else if (type == "data route") {
            key.addValue("source endpoint", endpoint(row, "sourceEndpoint"));
            key.addValue("destination endpoint", endpoint(row, "destinationEndpoint"));
        } else if (type == "call conference") {
            key.addValue("conference", name(row, "conference"));
        } else if (type == "connect to conference") {
            key.addValue("conference", name(row, "conference"));
            key.addValue("radio crosstalk", flag(column(row, "crosstalk")));
            if (column(row, "conferenceRadioActive") == "true") key.addValue("conference radio", name(row, "radio"));
        } else if (type == "connect to radio remotely") {
            key.addValue("remote radio", name(row, "radio"));
            key.addValue("remote user", name(row, "remoteUser"));
            key.addValue("radio crosstalk", flag(column(row, "crosstalk")));
        }

        key.addValue("radio priority", column(row, "radioPriority"));
        key.addValue("radio mode", column(row, "radioExclusive") == "true" ? "exclusive" : "shared");
        key.addValue("field phone", name(row, "fieldPhone"));
        key.addValue("receive call", flag(column(row, "receiveCalls")));
        key.addValue("auto call", flag(column(row, "conferenceAutocall")));
        key.addValue("pabx phone", name(row, "pabxPhone"));
        key.addValue("shift time", column(row, "shiftTimeout"));
        key.addValue("gps default mode", column(row, "gpsMode"));
        key.addValue("info mode", flag(column(row, "infoShowConnections")));
        key.addValue("name", column(row, "name"));
        if (column(row, "icon") != "empty.bmp") key.addValue("icon", column(row, "icon"));
        if (column(row, "subIcon") != "empty.bmp") key.addValue("subicon", column(row, "subIcon"));
        key.addValue("icon index 1", badgeCharacter(column(row, "iconUpperBadge")));
        key.addValue("icon index 2", badgeCharacter(column(row, "iconLowerBadge")));
        key.addValue("subicon index 1", badgeCharacter(column(row, "subIconUpperBadge")));
        key.addValue("subicon index 2", badgeCharacter(column(row, "subIconLowerBadge")));
    }

    ExportContext& ex_;
    const std::string& operatorId_;
    std::set<std::string> opened_; // the menus written so far, by the id of their key
    int written_ = 0;
};

int countRows(ExportContext& ex, const std::string& table, const std::string& column, const std::string& value)
{
    Sql count("SELECT count(*) FROM " + table + " WHERE " + column + "=");
    count.bind(value);
    Statement statement(ex.store.database, count);
    return statement.next() ? std::atoi(statement.text(0).c_str()) : 0;
}

} // namespace

void writeKeypadButtons(ExportContext& ex, const std::string& operatorId, ConfigNode& menu)
{
    KeypadWriter writer(ex, operatorId);
    writer.writeMenu("-1", menu);
    // Keys whose chain of parents does not lead to the top menu (a loop, or a parent that is gone)
    // have no place in the file.
    int all = countRows(ex, "keypadDisplayButton", "operatorId", operatorId);
    if (all > writer.written())
        LOG(LOG_ERROR, "export: %d keypad keys of operator %s are not under its menu and are left out",
            all - writer.written(), ex.nameOf(operatorId).c_str());
}

} // namespace tuna_export
