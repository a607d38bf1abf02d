// Configuration files: the devices of the central units under "system"/"devices", the units' port
// lists and the links that radios give their units, written and read back.
#include "handlers/tuna/export/export.h"
#include "handlers/tuna/import/import.h"

#include "round_trip_support.h"
#include "tuna_test_support.h"

#include <filesystem>
#include <sstream>

using namespace round_trip;
using namespace tuna_import;
using tuna_test::call;
using tuna_test::member;
using tuna_test::Params;

namespace {

// The text of a node's descendants, indented from 0, in the tree's order.
std::string subtree(const ConfigNode& node, int depth = 0)
{
    std::string out;
    for (const auto& child : node.children) {
        out += std::string(depth, '\t') + "|" + child->key + "|";
        if (!child->value.empty()) out += " = |" + child->value + "|";
        out += "\n" + subtree(*child, depth + 1);
    }
    return out;
}

// The subtree at a '/'-separated path of a ".conf" text; "<missing>" when there is no such node.
std::string subtreeAt(const std::string& text, const std::string& path)
{
    ConfigNode root;
    if (root.loadFromText(text) != ConfigNode::kRead) return "<unreadable>";
    std::vector<std::string_view> keys;
    for (size_t start = 0; start <= path.size();) {
        size_t slash = std::min(path.find('/', start), path.size());
        keys.emplace_back(path.data() + start, slash - start);
        start = slash + 1;
    }
    const ConfigNode* node = root.getPath(keys.data(), keys.size());
    return node ? subtree(*node) : "<missing>";
}

// A row of a table as the browser would insert it; a value "$X" stands for the id of the row named X
// inserted before it.
struct Insert {
    std::string table;
    Params row;
};

class ConfigDevices : public WorkingDirectory {
protected:
    std::string exported()
    {
        saveFile("out.conf");
        return readFile("out.conf");
    }

    // A fresh, empty configuration (no settings row either).
    void reset()
    {
        auto lock = lock_store();
        store().resetConfiguration();
    }

    // Inserts the rows through the "tuna" command; returns the ids by row name.
    std::map<std::string, std::string> insert(const std::vector<Insert>& inserts)
    {
        std::map<std::string, std::string> ids;
        for (const Insert& insert : inserts) {
            Params params = insert.row;
            std::string name;
            for (auto& [column, value] : params) {
                if (column == "name") name = value;
                if (!value.empty() && value[0] == '$') {
                    auto id = ids.find(value.substr(1));
                    value = id == ids.end() ? "<no id for " + value + ">" : id->second;
                }
            }
            std::string reply = call("/tuna/insert/" + insert.table + ".json", params).body;
            EXPECT_EQ(member(reply, "status"), "success") << insert.table << " " << name << ": " << reply;
            ids[name] = member(reply, "id");
        }
        return ids;
    }

    // Imports the text into a fresh database, as a load does.
    void import(const std::string& text)
    {
        ConfigNode root;
        ASSERT_EQ(root.loadFromText(text), ConfigNode::kRead);
        auto lock = lock_store();
        store().resetConfiguration();
        importTree(store(), root);
    }

    std::vector<RowMap> rows(const std::string& table) { return tableRows(store(), table); }

    // The one row of the table named so; an empty row (and a failure) when there is not exactly one.
    RowMap row(const std::string& table, const std::string& name)
    {
        std::vector<RowMap> found;
        for (RowMap& r : rows(table))
            if (r["name"] == name) found.push_back(r);
        EXPECT_EQ(found.size(), 1u) << table << " " << name;
        return found.size() == 1 ? found[0] : RowMap();
    }

    int count(const std::string& table) { return static_cast<int>(rows(table).size()); }

    std::string idOf(const std::string& name)
    {
        auto lock = lock_store();
        auto found = store().idsByName.find(name);
        return found == store().idsByName.end() ? "<none>" : found->second;
    }
};

// The objects that the devices of the written-keys cases refer to, and the settings row beside
// which the devices are written.
const std::vector<Insert> kObjects = {
    {"cubSettings", {{"name", "Installation"}}},
    {"centralUnits", {{"name", "U"}}},
    {"operatorGeneral", {{"name", "Op"}}},
    {"globalEvents", {{"name", "Ev"}}},
    {"telephoneLine", {{"name", "L1"}}},
    {"globalOverviewRadioModels", {{"name", "Analog"}, {"type", "analog"}}},
    {"globalOverviewRadioModels", {{"name", "Usb"}, {"type", "usb"}}},
    {"globalOverviewRadioModels", {{"name", "Ip"}, {"type", "ip"}}},
    {"globalOverviewRadioModels", {{"name", "Odd"}, {"type", "serial"}}},
    {"globalOverviewRadioModels", {{"name", "O'Neil 'usb'"}, {"type", "usb"}}},
};

} // namespace

TEST_F(ConfigDevices, RoundTripOfEveryDeviceKindOnTwoUnits)
{
    const std::string fixtureText = readFile(fixture("devices.conf"));
    Result r = runRoundTrip(fixture("devices.conf"));
    EXPECT_EQ(withoutDate(r.s1), withoutDate(r.s2));
    for (const auto& [table, rows] : r.afterF) EXPECT_EQ(rows, r.afterS1[table]) << "table " << table;

    // The fixture's devices, port lists and radio links are already in the form the export writes.
    for (const char* path : {"system/devices", "nodes/CU-A/interfaces", "nodes/CU-B/interfaces",
                             "nodes/CU-A/network/interfaces", "nodes/CU-B/network/interfaces"})
        EXPECT_EQ(subtreeAt(r.s1, path), subtreeAt(fixtureText, path)) << path;

    // Every kind, with its lines, links, endpoints and monitors.
    const std::pair<const char*, int> counts[] = {
        {"crewStation", 2},   {"telephone", 2}, {"telephoneLine", 3}, {"usbAudio", 2},         {"radio", 5},
        {"serialPort", 2},    {"speaker", 2},   {"monitors", 2},      {"selectedMonitors", 2}, {"pppProperties", 4},
        {"endpoint", 9},
    };
    for (const auto& [table, n] : counts) EXPECT_EQ(count(table), n) << table;
    // A device that no port names keeps no unit, and nothing else of it is lost.
    EXPECT_EQ(row("radio", "Spare radio")["breltID"], "");
    EXPECT_EQ(row("usbAudio", "Spare headset")["inputGain"], "1");
    EXPECT_EQ(row("radio", "VHF 1")["breltID"], idOf("CU-A"));
    EXPECT_EQ(row("radio", "Handheld")["breltID"], idOf("CU-B"));
}

// What the export writes for each device kind: the device's node, the unit's port list and the
// radios' links, key by key.
TEST_F(ConfigDevices, WrittenKeys)
{
    struct Case {
        const char* what;
        std::vector<Insert> rows;
        std::vector<std::pair<std::string, std::string>> written; // path -> its subtree
    };
    const Case cases[] = {
        {"empty device tables: an empty devices node", {}, {{"system/devices", ""}}},
        {"crew station: every key, operators by name, every set line",
         {{"crewStation",
           {{"name", "S"}, {"breltID", "$U"}, {"type", "MVQ-2CS"}, {"rate", "9600"}, {"dataBits", "8"},
            {"stopBits", "1"}, {"parity", "none"}, {"endpoint", "S data"}, {"showSplash", "true"},
            {"brightness", "5"}, {"contrast", "6"}, {"masterOperator", "$Op"}, {"slaveOperator", "id999"},
            {"line1", "false"}, {"line2", "true"}, {"line11", "true"}, {"addOnH", "true"}}}},
         {{"system/devices/S", "|baud rate| = |9600|\n|data bits| = |8|\n|data port endpoint| = |S data|\n"
                               "|default brightness| = |5|\n|default contrast| = |6|\n|master login| = |Op|\n"
                               "|parity| = |none|\n|show splash| = |true|\n|stop bits| = |1|\n"
                               "|type| = |MVQ-2CS|\n"},
          {"nodes/U/interfaces", "|line 11|\n\t|S|\n|line 2|\n\t|S|\n"}}},
        {"crew station on no line: its node, no port",
         {{"crewStation", {{"name", "S"}, {"breltID", "$U"}}}},
         {{"system/devices/S", ""}, {"nodes/U/interfaces", ""}}},
        {"telephone: only line 2, alarm modes per input, every set line",
         {{"telephone",
           {{"name", "T"}, {"breltID", "$U"}, {"type", "MVQ-2TS"}, {"line1Enabled", "false"}, {"line1Id", "$L1"},
            {"line1InputLevel", "9"}, {"line2Enabled", "true"}, {"line2Id", "$L1"}, {"line2InputLevel", "1"},
            {"line2OutputLevel", "2"}, {"line2DTMF", "3"}, {"line2LoginCode", "4"}, {"line2LogoutCode", "5"},
            {"line2PbxAnswering", "true"}, {"line2FieldPhone", "false"}, {"line2CallingTimeout", "6"},
            {"line2SilenceTimeout", "7"}, {"alarmTrigger1", "Enabled"}, {"alarmEventId1", "$Ev"},
            {"alarmTrigger2", "Disabled"}, {"alarmEventId2", "$Ev"}, {"alarmTrigger3", "Enabled"},
            {"alarmTrigger4", "Bogus"}, {"alarmEventId4", "id999"}, {"alarmTrigger5", "Rising"},
            {"alarmTrigger6", "Rising"}, {"alarmTrigger7", "Inverted"}, {"alarmTrigger8", "Falling"},
            {"line3", "true"}, {"line12", "true"}}}},
         {{"system/devices/T", "|alarms|\n"
                               "\t|1|\n\t\t|event| = |Ev|\n\t\t|mode| = |1|\n"
                               "\t|3|\n\t\t|mode| = |2|\n"
                               "\t|4|\n"
                               "\t|5|\n\t\t|mode| = |3|\n"
                               "\t|6|\n\t\t|mode| = |4|\n"
                               "\t|7|\n\t\t|mode| = |2|\n"
                               "\t|8|\n\t\t|mode| = |4|\n"
                               "|line 2|\n"
                               "\t|calling timeout| = |6|\n\t|detect| = |0|\n\t|dtmf level| = |3|\n"
                               "\t|field phone| = |0|\n\t|input level| = |1|\n\t|login code| = |4|\n"
                               "\t|logout code| = |5|\n\t|name| = |L1|\n\t|output level| = |2|\n"
                               "\t|pbx answering| = |1|\n\t|silence timeout| = |7|\n"
                               "|type| = |MVQ-2TS|\n"},
          {"nodes/U/interfaces", "|line 12|\n\t|T|\n|line 3|\n\t|T|\n"}}},
        {"telephone with every input disabled: an empty alarms node",
         {{"telephone",
           {{"name", "T"}, {"type", "MVQ-2TS-A"}, {"line1Enabled", "true"}, {"line1PbxAnswering", "false"},
            {"alarmTrigger1", "Disabled"}, {"alarmTrigger2", "Disabled"}, {"alarmTrigger3", "Disabled"},
            {"alarmTrigger4", "Disabled"}, {"alarmTrigger5", "Disabled"}, {"alarmTrigger6", "Disabled"},
            {"alarmTrigger7", "Disabled"}, {"alarmTrigger8", "Disabled"}}}},
         {{"system/devices/T",
           "|alarms|\n|line 1|\n\t|detect| = |0|\n\t|pbx answering| = |0|\n|type| = |MVQ-2TS-A|\n"}}},
        {"USB headset on both ports: the first one only",
         {{"usbAudio",
           {{"name", "H"}, {"breltID", "$U"}, {"line1", "true"}, {"line2", "true"}, {"inputGain", "3"},
            {"outputGain", "-1"}, {"masterOperator", "$Op"}}}},
         {{"system/devices/H",
           "|input gain| = |3|\n|master login| = |Op|\n|output gain| = |-1|\n|type| = |USB headset|\n"},
          {"nodes/U/interfaces", "|usb 1|\n\t|H|\n"}}},
        {"USB headset on no port",
         {{"usbAudio", {{"name", "H"}, {"breltID", "$U"}}}},
         {{"system/devices/H", "|type| = |USB headset|\n"}, {"nodes/U/interfaces", ""}}},
        {"analog radio: remote control over a serial line, timeouts, forced port, two PPP links",
         {{"radio",
           {{"name", "R"}, {"breltID", "$U"}, {"type", "Analog"}, {"line1", "true"}, {"line2", "true"},
            {"force", "true"}, {"differential", "true"}, {"transmitTimeout", "true"}, {"timeout", "60"},
            {"firstWarning", "50"}, {"secondWarning", "55"}, {"retransmissionDelay", "false"},
            {"audioDelay", "100"}, {"operatorAudioDelay", "true"}, {"operatorDelay", "200"},
            {"synchronous", "yes"}, {"rtsCtsFlowControl", "true"}, {"dataPortEndpoint", "D"},
            {"dataPortRate", "9600"}, {"controlPortEndpoint", "C"}, {"controlPortRate", "4800"},
            {"remoteControl", "true"}, {"remoteControlConnection", "Serial"}, {"remoteControlIpAddress", "REM"},
            {"dataPortPppConnection", "true"}, {"dataPortPppConnectionLocalIp", "1.1.1.1"},
            {"dataPortPppConnectionRemoteIp", "1.1.1.2"}, {"dataPortPppConnectionOptions", "opt"},
            {"controlPortPppConnection", "true"}, {"controlPortPppConnectionLocalIp", "2.2.2.1"},
            {"ipAddress", "9.9.9.9"}, {"remoteControlPort", "77"}}}},
         {{"system/devices/R", "|control port baud rate| = |4800|\n|control port endpoint| = |C|\n"
                               "|control type| = |1|\n|data port baud rate| = |9600|\n"
                               "|data port endpoint| = |D|\n|data port rts-cts control| = |1|\n"
                               "|data port synchronous| = |0|\n|differential| = |1|\n|first warning| = |50|\n"
                               "|model| = |Analog|\n|operator delay| = |200|\n|ptt timeout| = |60|\n"
                               "|remote control| = |1|\n|remote control endpoint| = |REM|\n"
                               "|remote control type| = |serial|\n|second warning| = |55|\n"
                               "|type| = |transceiver|\n"},
          {"nodes/U/interfaces", "|transceiver 1|\n\t|R|\n\t|force|\n"},
          {"nodes/U/network/interfaces/ppp0", "|device| = |/dev/fuart0|\n|local ip| = |1.1.1.1|\n"
                                              "|options| = |opt|\n|remote ip| = |1.1.1.2|\n|speed| = |9600|\n"},
          {"nodes/U/network/interfaces/ppp4",
           "|device| = |/dev/fuart4|\n|local ip| = |2.2.2.1|\n|speed| = |4800|\n"}}},
        {"analog radio: remote control over IP, no timeout keys without the timeout",
         {{"radio",
           {{"name", "R"}, {"breltID", "$U"}, {"type", "Analog"}, {"remoteControl", "true"},
            {"remoteControlConnection", "IP"}, {"remoteControlIpAddress", "10.1.1.1"},
            {"transmitTimeout", "false"}, {"timeout", "60"}, {"firstWarning", "50"}, {"secondWarning", "55"}}}},
         {{"system/devices/R", "|control type| = |1|\n|data port rts-cts control| = |0|\n"
                               "|data port synchronous| = |0|\n|differential| = |0|\n|model| = |Analog|\n"
                               "|remote control| = |1|\n|remote control ip address| = |10.1.1.1|\n"
                               "|remote control type| = |ip|\n|type| = |transceiver|\n"},
          {"nodes/U/interfaces", ""}}},
        {"analog radio: remote control stored false, or empty, is off",
         {{"radio", {{"name", "R"}, {"type", "Analog"}, {"remoteControl", "false"},
                     {"remoteControlConnection", "Serial"}, {"remoteControlIpAddress", "x"}}},
          {"radio", {{"name", "R2"}, {"type", "Analog"}, {"remoteControlIpAddress", "x"}}}},
         {{"system/devices/R", "|control type| = |1|\n|data port rts-cts control| = |0|\n"
                               "|data port synchronous| = |0|\n|differential| = |0|\n|model| = |Analog|\n"
                               "|remote control| = |0|\n|type| = |transceiver|\n"},
          {"system/devices/R2", "|control type| = |1|\n|data port rts-cts control| = |0|\n"
                                "|data port synchronous| = |0|\n|differential| = |0|\n|model| = |Analog|\n"
                                "|remote control| = |0|\n|type| = |transceiver|\n"}}},
        {"USB radio on USB ports 3 and 4: port 3 and its Ethernet radio3, '/' without an address",
         {{"radio",
           {{"name", "R"}, {"breltID", "$U"}, {"type", "Usb"}, {"line3", "true"}, {"line4", "true"},
            {"tracePortEndpoint", "T"}, {"debugPortEndpoint", "Dg"}, {"statusPortEndpoint", "S"},
            {"applicationPortEndpoint", "A"}, {"remoteControlEndpoint", "RC"}, {"controlPortEndpoint", "C"},
            {"dataPortPppConnection", "true"}}}},
         {{"system/devices/R", "|application port endpoint| = |A|\n|control port endpoint| = |RC|\n"
                               "|control type| = |2|\n|debug port endpoint| = |Dg|\n|differential| = |0|\n"
                               "|model| = |Usb|\n|remote control| = |0|\n|remote control type| = |serial|\n"
                               "|status port endpoint| = |S|\n|trace port endpoint| = |T|\n"
                               "|type| = |transceiver|\n"},
          {"nodes/U/interfaces", "|usb 3|\n\t|R|\n"},
          {"nodes/U/network/interfaces/radio3", "|ip address| = |/|\n"},
          {"nodes/U/network/interfaces/ppp2", "<missing>"}}},
        {"IP radio: its first RTP line, its line columns unread, no links",
         {{"radio",
           {{"name", "R"}, {"breltID", "$U"}, {"type", "Ip"}, {"line1", "true"}, {"rtpLine2", "true"},
            {"rtpLine3", "true"}, {"ipAddress", "10.0.1.20"}, {"receiveRtpPort", "5002"},
            {"transmitRtpPort", "5004"}, {"remoteControl", "true"}, {"remoteControlPort", "4001"},
            {"remoteControlIpAddress", "10.0.1.21"}, {"remoteControlConnection", "Serial"},
            {"dataPortPppConnection", "true"}}}},
         {{"system/devices/R", "|control type| = |3|\n|destination port| = |5004|\n|differential| = |0|\n"
                               "|ip address| = |10.0.1.20|\n|model| = |Ip|\n|remote control| = |1|\n"
                               "|remote control ip address| = |10.0.1.21|\n|remote control port| = |4001|\n"
                               "|remote control type| = |ip|\n|source port| = |5002|\n"
                               "|type| = |transceiver|\n"},
          {"nodes/U/interfaces", "|rtp transceiver 2|\n\t|R|\n"},
          {"nodes/U/network/interfaces/ppp1", "<missing>"}}},
        {"a model of another kind: transceiver ports, no control keys, no links",
         {{"radio", {{"name", "R"}, {"breltID", "$U"}, {"type", "Odd"}, {"line2", "true"},
                     {"dataPortPppConnection", "true"}, {"dataPortEndpoint", "D"}}}},
         {{"system/devices/R", "|differential| = |0|\n|model| = |Odd|\n|remote control| = |0|\n"
                               "|type| = |transceiver|\n"},
          {"nodes/U/interfaces", "|transceiver 2|\n\t|R|\n"},
          {"nodes/U/network/interfaces/ppp1", "<missing>"}}},
        {"a model named with quotes is looked up like any other",
         {{"radio", {{"name", "R"}, {"breltID", "$U"}, {"type", "O'Neil 'usb'"}, {"line1", "true"}}}},
         {{"nodes/U/interfaces", "|usb 1|\n\t|R|\n"}, {"nodes/U/network/interfaces/radio1", "|ip address| = |/|\n"}}},
        {"a radio on no line: no links whatever its PPP columns",
         {{"radio", {{"name", "R"}, {"breltID", "$U"}, {"type", "Analog"}, {"dataPortPppConnection", "true"},
                     {"controlPortPppConnection", "true"}}}},
         {{"nodes/U/interfaces", ""}, {"nodes/U/network/interfaces", "|br0|\n\t|ip address| = |/|\n"}}},
        {"two analog radios on lines 1 and 2: their links in row order, ahead of the unit's own",
         {{"radio", {{"name", "R1"}, {"breltID", "$U"}, {"type", "Analog"}, {"line1", "true"},
                     {"dataPortPppConnection", "true"}, {"controlPortPppConnection", "true"}}},
          {"radio", {{"name", "R2"}, {"breltID", "$U"}, {"type", "Analog"}, {"line2", "true"},
                     {"dataPortPppConnection", "true"}, {"controlPortPppConnection", "true"}}}},
         {{"nodes/U/network/interfaces", "|ppp0|\n\t|device| = |/dev/fuart0|\n|ppp4|\n\t|device| = |/dev/fuart4|\n"
                                         "|ppp1|\n\t|device| = |/dev/fuart1|\n|ppp5|\n\t|device| = |/dev/fuart5|\n"
                                         "|br0|\n\t|ip address| = |/|\n"}}},
        {"serial port on ports 2 and 3: port 2; flags as stored",
         {{"serialPort",
           {{"name", "P"}, {"breltID", "$U"}, {"line2", "true"}, {"line3", "true"}, {"rate", "4800"},
            {"dataBits", "7"}, {"parity", "odd"}, {"stopBits", "2"}, {"rts", "true"}, {"dtr", ""},
            {"rs485", "false"}, {"endpoint", "P data"}}}},
         {{"system/devices/P", "|baud rate| = |4800|\n|data bits| = |7|\n|data port endpoint| = |P data|\n"
                               "|parity| = |odd|\n|rs485| = |false|\n|rts| = |true|\n|stop bits| = |2|\n"
                               "|type| = |COM|\n"},
          {"nodes/U/interfaces", "|com 2|\n\t|P|\n"}}},
        {"speakers: announcements on and off, the monitors of each",
         {{"speaker", {{"name", "Sp"}, {"breltID", "$U"}, {"line1", "true"}, {"playAnnouncements", "true"},
                       {"volume", "70"}}},
          {"speaker", {{"name", "Off"}, {"breltID", "$U"}, {"playAnnouncements", "false"}}},
          {"speaker", {{"name", "Unset"}}},
          {"selectedMonitors", {{"name", "monitor_Op"}, {"parentId", "$Sp"}, {"destinationId", "$Sp"},
                                {"sourceId", "$Op"}, {"type", "operator"}, {"gain", "5"}, {"mode", "2"}}}},
         {{"system/devices/Sp", "|alarms| = |1|\n|announcements volume| = |70|\n|monitors|\n"
                                "\t|Op|\n\t\t|gain| = |5|\n\t\t|monitor mode| = |2|\n\t\t|type| = |monitor user|\n"
                                "|type| = |MVQ-2GM|\n"},
          {"system/devices/Off", "|alarms| = |0|\n|monitors|\n|type| = |MVQ-2GM|\n"},
          {"system/devices/Unset", "|alarms| = |0|\n|monitors|\n|type| = |MVQ-2GM|\n"},
          {"nodes/U/interfaces", "|speaker|\n\t|Sp|\n"}}},
        {"two devices of different kinds with one name share one node",
         {{"crewStation", {{"name", "X"}, {"type", "MVQ-2CS"}, {"rate", "9600"}}},
          {"serialPort", {{"name", "X"}, {"rate", "4800"}}}},
         {{"system/devices/X", "|baud rate| = |9600|\n|baud rate| = |4800|\n|type| = |MVQ-2CS|\n|type| = |COM|\n"}}},
        {"a unit's interface list: sorted by port, the devices of a port sorted by name",
         {{"crewStation", {{"name", "Station"}, {"breltID", "$U"}, {"line10", "true"}, {"line2", "true"}}},
          {"telephone", {{"name", "Phone"}, {"breltID", "$U"}, {"line2", "true"}}},
          {"serialPort", {{"name", "Port"}, {"breltID", "$U"}, {"line1", "true"}}},
          {"speaker", {{"name", "Speaker"}, {"breltID", "$U"}, {"line1", "true"}}},
          {"radio", {{"name", "Radio"}, {"breltID", "$U"}, {"line1", "true"}, {"force", "true"}}},
          {"radio", {{"name", "Net"}, {"breltID", "$U"}, {"type", "Ip"}, {"rtpLine1", "true"}}},
          {"usbAudio", {{"name", "Headset"}, {"breltID", "$U"}, {"line2", "true"}}}},
         {{"nodes/U/interfaces", "|com 1|\n\t|Port|\n|line 10|\n\t|Station|\n|line 2|\n\t|Phone|\n\t|Station|\n"
                                 "|rtp transceiver 1|\n\t|Net|\n|speaker|\n\t|Speaker|\n"
                                 "|transceiver 1|\n\t|Radio|\n\t|force|\n|usb 2|\n\t|Headset|\n"}}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset();
        std::vector<Insert> all = kObjects;
        all.insert(all.end(), c.rows.begin(), c.rows.end());
        insert(all);
        std::string text = exported();
        for (const auto& [path, written] : c.written) EXPECT_EQ(subtreeAt(text, path), written) << path;
    }
}

// Without a settings row no device is written, nor the ports and links that name devices.
TEST_F(ConfigDevices, NoDevicesWithoutSettings)
{
    import("|nodes|\n\t|U|\n\t\t|interfaces|\n\t\t\t|line 1|\n\t\t\t\t|S|\n"
           "|system|\n\t|devices|\n\t\t|S|\n\t\t\t|type| = |MVQ-2CS|\n");
    ASSERT_EQ(count("crewStation"), 1);
    EXPECT_NE(subtreeAt(exported(), "system/devices"), "<missing>");
    call("/tuna/delete/cubSettings.json", {{"id", rows("cubSettings").at(0)["id"]}});
    ASSERT_EQ(count("cubSettings"), 0);
    std::string text = exported();
    EXPECT_EQ(subtreeAt(text, "system/devices"), "<missing>");
    EXPECT_EQ(subtreeAt(text, "nodes/U/interfaces"), "");
    EXPECT_EQ(count("crewStation"), 1);
}

// The registers that the unit steps read: ports per unit (also of a unit that does not exist) and
// the radios' links by their descriptions.
TEST_F(ConfigDevices, RegistersOfTheExport)
{
    auto ids = insert({{"cubSettings", {{"name", "Installation"}}},
                       {"centralUnits", {{"name", "U"}}},
                       {"globalOverviewRadioModels", {{"name", "Usb"}, {"type", "usb"}}},
                       {"radio", {{"name", "Lost"}, {"breltID", "id999"}, {"line1", "true"},
                                  {"dataPortPppConnection", "true"}}},
                       {"radio", {{"name", "A"}, {"breltID", "$U"}, {"line2", "true"}, {"force", "true"},
                                  {"dataPortPppConnection", "true"}, {"controlPortPppConnection", "true"}}},
                       {"radio", {{"name", "B"}, {"breltID", "$U"}, {"type", "Usb"}, {"line1", "true"}}}});
    std::string text = exported();
    EXPECT_NE(subtreeAt(text, "system/devices/Lost"), "<missing>");
    auto lock = lock_store();
    using Entry = std::pair<std::pair<std::string, std::string>, std::string>;
    std::vector<Entry> entries(store().unitInterfaces.begin(), store().unitInterfaces.end());
    std::vector<Entry> expected = {{{"id999", "transceiver 1"}, "Lost"},
                                   {{ids["U"], "transceiver 2"}, "A"},
                                   {{ids["U"], "transceiver 2"}, "force"},
                                   {{ids["U"], "usb 1"}, "B"}};
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Entry& a, const Entry& b) { return a.first < b.first; });
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(store().pppInterfaceNames.count("id999"), 0u);
    TextMap links = store().pppInterfaceNames[ids["U"]];
    EXPECT_EQ(links["A data port (PPP)"], "ppp1");
    EXPECT_EQ(links["A control port (PPP)"], "ppp5");
    EXPECT_EQ(links["B ethernet (USB)"], "radio1");
}

namespace {

// A unit "U" whose ports and network interfaces are given, the radio models, and the devices.
std::string unitWith(const std::string& ports, const std::string& interfaces, const std::string& devices)
{
    return "|nodes|\n\t|U|\n\t\t|interfaces|\n" + ports + "\t\t|network|\n\t\t\t|interfaces|\n" + interfaces +
           "|system|\n\t|transceivers|\n"
           "\t\t|Analog|\n\t\t\t|connection type| = |analog|\n"
           "\t\t|Usb|\n\t\t\t|connection type| = |usb|\n"
           "\t|devices|\n" +
           devices;
}

} // namespace

// Radios: their ports, their links on the unit, their control keys and endpoints, read back.
TEST_F(ConfigDevices, RadiosReadBack)
{
    const std::string pppLinks = "\t\t\t\t|ppp1|\n\t\t\t\t\t|local ip| = |10.1.0.1|\n"
                                 "\t\t\t\t\t|remote ip| = |10.1.0.2|\n"
                                 "\t\t\t\t\t|options| = |noauth|\n"
                                 "\t\t\t\t|ppp5|\n\t\t\t\t\t|local ip| = |10.5.0.1|\n"
                                 "\t\t\t\t|radio3|\n\t\t\t\t\t|ip address| = |10.0.0.5/255.0.0.0|\n"
                                 "\t\t\t\t|radio1|\n\t\t\t\t\t|ip address| = |10.0.0.9|\n";

    // A radio on two transceiver ports with both PPP links of the first.
    import(unitWith("\t\t\t|transceiver 2|\n\t\t\t\t|R|\n\t\t\t|transceiver 4|\n\t\t\t\t|R|\n\t\t\t\t|force|\n",
                    pppLinks,
                    "\t\t|R|\n\t\t\t|type| = |transceiver|\n\t\t\t|model| = |Analog|\n"
                    "\t\t\t|data port endpoint| = |R data|\n\t\t\t|control port endpoint| = |R control|\n"
                    "\t\t\t|data port baud rate| = |9600|\n\t\t\t|data port synchronous| = |1|\n"
                    "\t\t\t|remote control| = |1|\n\t\t\t|remote control type| = |serial|\n"
                    "\t\t\t|remote control endpoint| = |R remote|\n"
                    "\t\t\t|remote control ip address| = |not this|\n\t\t\t|differential| = |true|\n"));
    {
        RowMap radio = row("radio", "R");
        const std::pair<const char*, const char*> expected[] = {
            {"breltID", "<U>"}, {"type", "Analog"}, {"line1", "false"}, {"line2", "true"}, {"line3", "false"},
            {"line4", "true"}, {"rtpLine2", "false"}, {"force", "true"}, {"differential", "false"},
            {"synchronous", "true"}, {"rtsCtsFlowControl", "false"}, {"remoteControl", "true"},
            {"remoteControlConnection", "Serial"}, {"remoteControlIpAddress", "R remote"},
            {"dataPortPppConnection", "true"}, {"dataPortPppConnectionLocalIp", "10.1.0.1"},
            {"dataPortPppConnectionRemoteIp", "10.1.0.2"}, {"dataPortPppConnectionOptions", "noauth"},
            {"controlPortPppConnection", "true"}, {"controlPortPppConnectionLocalIp", "10.5.0.1"},
            {"dataPortRate", "9600"}, {"transmitTimeout", "false"}, {"retransmissionDelay", "false"},
            {"operatorAudioDelay", "false"}, {"ipAddress", ""}, {"netMask", ""}};
        for (const auto& [column, value] : expected)
            EXPECT_EQ(radio[column], std::string(value) == "<U>" ? idOf("U") : value) << column;
        auto links = rows("pppProperties");
        ASSERT_EQ(links.size(), 2u);
        EXPECT_EQ(links[0]["name"], "R data port (PPP)");
        EXPECT_EQ(links[0]["parentType"], "radioData");
        EXPECT_EQ(links[0]["parentId"], radio["id"]);
        EXPECT_EQ(links[0]["localIp"] + " " + links[0]["remoteIp"] + " " + links[0]["options"],
                  "10.1.0.1 10.1.0.2 noauth");
        EXPECT_EQ(links[1]["name"], "R control port (PPP)");
        EXPECT_EQ(links[1]["parentType"], "radioControl");
        EXPECT_EQ(links[1]["localIp"] + " " + links[1]["remoteIp"] + " " + links[1]["options"], "10.5.0.1  ");
        std::vector<std::string> endpoints;
        for (RowMap& e : rows("endpoint"))
            endpoints.push_back(e["name"] + " " + e["type"] + " " + e["parentType"] +
                                (e["parentId"] == radio["id"] ? "" : " <other parent>"));
        EXPECT_EQ(endpoints, (std::vector<std::string>{"R data System radioDataPort",
                                                       "R control System radioControlPort"}));
    }

    // A USB radio with an address on the unit's radio3, and one whose radio1 has no mask.
    import(unitWith("\t\t\t|usb 3|\n\t\t\t\t|R|\n\t\t\t|usb 1|\n\t\t\t\t|S|\n\t\t\t\t|force|\n"
                    "\t\t\t|transceiver 1|\n\t\t\t\t|Q|\n\t\t\t\t|force|\n\t\t\t|rtp transceiver 1|\n\t\t\t\t|Q|\n",
                    pppLinks,
                    "\t\t|R|\n\t\t\t|type| = |transceiver|\n\t\t\t|model| = |Usb|\n\t\t\t|control type| = |2|\n"
                    "\t\t\t|ip address| = |1.2.3.4|\n\t\t\t|control port endpoint| = |R control|\n"
                    "\t\t\t|remote control type| = |serial|\n\t\t\t|trace port endpoint| = |R trace|\n"
                    "\t\t|S|\n\t\t\t|type| = |transceiver|\n\t\t\t|model| = |Usb|\n\t\t\t|control type| = |2|\n"
                    "\t\t|Q|\n\t\t\t|type| = |transceiver|\n"));
    {
        RowMap radio = row("radio", "R");
        EXPECT_EQ(radio["line3"], "true");
        EXPECT_EQ(radio["line1"] + radio["line2"] + radio["line4"], "falsefalsefalse");
        EXPECT_EQ(radio["ipAddress"], "10.0.0.5");
        EXPECT_EQ(radio["netMask"], "255.0.0.0");
        EXPECT_EQ(radio["force"], "false");
        EXPECT_EQ(radio["remoteControlEndpoint"], "R control");
        EXPECT_EQ(radio["controlPortEndpoint"], "");
        EXPECT_EQ(radio["remoteControlConnection"], "serial");
        EXPECT_EQ(radio["dataPortPppConnection"], "");
        RowMap other = row("radio", "S");
        EXPECT_EQ(other["ipAddress"] + "|" + other["netMask"], "10.0.0.9|");
        EXPECT_EQ(other["force"], "true");
        // The "force" mark of the last port that names the radio counts.
        EXPECT_EQ(row("radio", "Q")["force"], "false");
        RowMap link = row("pppProperties", "R ethernet (USB)");
        EXPECT_EQ(link["parentType"], "radioUsb");
        EXPECT_EQ(link["localIp"] + " " + link["remoteIp"], "10.0.0.5 255.0.0.0");
        EXPECT_EQ(link["parentId"], radio["id"]);
        EXPECT_EQ(count("pppProperties"), 2); // the Ethernets of R and S; Q has no PPP interface
        std::vector<std::string> endpoints;
        for (RowMap& e : rows("endpoint")) endpoints.push_back(e["name"] + " " + e["parentType"]);
        EXPECT_EQ(endpoints, (std::vector<std::string>{"R control remoteControlPort", "R trace tracePort"}));
    }

    // Control type 3: RTP audio, no links even on a transceiver port with PPP interfaces.
    import(unitWith("\t\t\t|transceiver 2|\n\t\t\t\t|R|\n\t\t\t|rtp transceiver 3|\n\t\t\t\t|R|\n",
                    pppLinks,
                    "\t\t|R|\n\t\t\t|type| = |transceiver|\n\t\t\t|model| = |Ip|\n\t\t\t|control type| = |3|\n"
                    "\t\t\t|ip address| = |10.0.1.20|\n\t\t\t|source port| = |5002|\n"
                    "\t\t\t|destination port| = |5004|\n\t\t\t|remote control| = |1|\n"
                    "\t\t\t|remote control port| = |4001|\n\t\t\t|remote control type| = |ip|\n"
                    "\t\t\t|remote control ip address| = |10.0.1.21|\n"
                    "\t\t\t|data port endpoint| = |not read|\n"));
    {
        RowMap radio = row("radio", "R");
        const std::pair<const char*, const char*> expected[] = {
            {"line2", "true"}, {"rtpLine3", "true"}, {"rtpLine1", "false"}, {"ipAddress", "10.0.1.20"},
            {"netMask", ""}, {"receiveRtpPort", "5002"}, {"transmitRtpPort", "5004"}, {"remoteControl", "true"},
            {"remoteControlPort", "4001"}, {"remoteControlConnection", "ip"},
            {"remoteControlIpAddress", "10.0.1.21"}, {"dataPortEndpoint", ""}, {"dataPortPppConnection", ""},
            {"controlPortPppConnection", ""}};
        for (const auto& [column, value] : expected) EXPECT_EQ(radio[column], value) << column;
        EXPECT_EQ(count("pppProperties"), 0);
        EXPECT_EQ(count("endpoint"), 0);
    }
}

// Keys of a radio that are read by presence or by the exact text.
TEST_F(ConfigDevices, RadioKeysReadByTheirRules)
{
    struct Case {
        const char* what;
        std::string keys;                                     // below the radio's node
        std::vector<std::pair<const char*, const char*>> row; // columns expected
    } cases[] = {
        {"no control type is control type 1; serial remote control",
         "\t\t\t|remote control type| = |serial|\n\t\t\t|remote control endpoint| = |E|\n"
         "\t\t\t|remote control ip address| = |A|\n",
         {{"remoteControlConnection", "Serial"}, {"remoteControlIpAddress", "E"}}},
        {"any other remote control type is IP",
         "\t\t\t|remote control type| = |Serial|\n\t\t\t|remote control endpoint| = |E|\n"
         "\t\t\t|remote control ip address| = |A|\n",
         {{"remoteControlConnection", "IP"}, {"remoteControlIpAddress", "A"}}},
        {"no remote control type is IP", "", {{"remoteControlConnection", "IP"}, {"remoteControlIpAddress", ""}}},
        {"an empty control type is none of the three",
         "\t\t\t|control type|\n\t\t\t|data port endpoint| = |D|\n\t\t\t|remote control type| = |serial|\n",
         {{"dataPortEndpoint", ""}, {"remoteControlConnection", "serial"}}},
        {"ptt timeout present without a value",
         "\t\t\t|ptt timeout|\n\t\t\t|first warning| = |5|\n",
         {{"transmitTimeout", "true"}, {"timeout", ""}, {"firstWarning", "5"}}},
        {"no ptt timeout: its warnings are not read",
         "\t\t\t|first warning| = |5|\n\t\t\t|second warning| = |6|\n",
         {{"transmitTimeout", "false"}, {"firstWarning", ""}, {"secondWarning", ""}}},
        {"delays by presence",
         "\t\t\t|rebroadcast delay| = |100|\n\t\t\t|operator delay|\n",
         {{"retransmissionDelay", "true"}, {"audioDelay", "100"}, {"operatorAudioDelay", "true"},
          {"operatorDelay", ""}}},
        {"flags only for exactly 1",
         "\t\t\t|differential| = |01|\n\t\t\t|remote control| = |yes|\n\t\t\t|data port synchronous| = |1|\n"
         "\t\t\t|data port rts-cts control| = |true|\n",
         {{"differential", "false"}, {"remoteControl", "false"}, {"synchronous", "true"},
          {"rtsCtsFlowControl", "false"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        import(unitWith("\t\t\t|transceiver 1|\n\t\t\t\t|R|\n", "",
                        "\t\t|R|\n\t\t\t|type| = |transceiver|\n" + c.keys));
        RowMap radio = row("radio", "R");
        for (const auto& [column, value] : c.row) EXPECT_EQ(radio[column], value) << column;
    }
}

// The other kinds, read back column by column.
TEST_F(ConfigDevices, OtherKindsReadBack)
{
    import("|nodes|\n\t|U|\n\t\t|interfaces|\n"
           "\t\t\t|com 3|\n\t\t\t\t|P|\n"
           "\t\t\t|line 2|\n\t\t\t\t|S|\n\t\t\t\t|T|\n"
           "\t\t\t|line 12|\n\t\t\t\t|S|\n"
           "\t\t\t|speaker|\n\t\t\t\t|Sp|\n"
           "\t\t\t|usb 3|\n\t\t\t\t|H|\n"
           "|system|\n\t|events|\n\t\t|Ev|\n\t|devices|\n"
           "\t\t|H|\n\t\t\t|type| = |USB headset|\n\t\t\t|input gain| = |2|\n\t\t\t|master login| = |Op|\n"
           "\t\t|P|\n\t\t\t|type| = |COM|\n\t\t\t|baud rate| = |4800|\n\t\t\t|rts| = |true|\n"
           "\t\t\t|data port endpoint| = |P data|\n"
           "\t\t|S|\n\t\t\t|type| = |MVQ-2CS-H|\n\t\t\t|master login| = |Op|\n\t\t\t|slave login| = |Nobody|\n"
           "\t\t\t|show splash| = |1|\n\t\t\t|data port endpoint| = |S data|\n"
           "\t\t|Sp|\n\t\t\t|type| = |MVQ-2GM|\n\t\t\t|alarms| = |1|\n\t\t\t|announcements volume| = |70|\n"
           "\t\t\t|monitors|\n\t\t\t\t|Op|\n\t\t\t\t\t|gain| = |3|\n\t\t\t\t|Nobody|\n\t\t\t\t\t|monitor mode| = |1|\n"
           "\t\t|T|\n\t\t\t|type| = |MVQ-2TS-A|\n"
           "\t\t\t|line 2|\n\t\t\t\t|name| = |L2|\n\t\t\t\t|field phone| = |1|\n\t\t\t\t|detect| = |true|\n"
           "\t\t\t|alarms|\n"
           "\t\t\t\t|1|\n\t\t\t\t\t|mode| = |1|\n\t\t\t\t\t|event| = |Ev|\n"
           "\t\t\t\t|3|\n\t\t\t\t\t|mode| = |1|\n\t\t\t\t\t|event| = |Nobody|\n"
           "\t\t\t\t|8|\n\t\t\t\t\t|mode| = |4|\n"
           "|users|\n\t|Op|\n");
    const std::string unit = idOf("U");

    RowMap headset = row("usbAudio", "H");
    EXPECT_EQ(headset["breltID"], unit);
    EXPECT_EQ(headset["inputGain"], "2");
    EXPECT_EQ(headset["masterOperator"], idOf("Op"));
    EXPECT_EQ(headset["line1"] + headset["line2"], "falsefalse"); // USB port 3 has no column

    RowMap port = row("serialPort", "P");
    EXPECT_EQ(port["line3"], "true");
    EXPECT_EQ(port["line1"] + port["line2"] + port["line4"], "falsefalsefalse");
    EXPECT_EQ(port["rate"] + " " + port["rts"] + " " + port["endpoint"], "4800 true P data");

    RowMap station = row("crewStation", "S");
    EXPECT_EQ(station["addOnH"], "true");
    EXPECT_EQ(station["masterOperator"], idOf("Op"));
    EXPECT_EQ(station["slaveOperator"], "");
    EXPECT_EQ(station["showSplash"], "1");
    EXPECT_EQ(station["line2"] + station["line12"] + station["line1"], "truetruefalse");

    RowMap speaker = row("speaker", "Sp");
    EXPECT_EQ(speaker["id"], idOf("Sp"));
    EXPECT_EQ(speaker["playAnnouncements"], "true");
    EXPECT_EQ(speaker["volume"], "70");
    EXPECT_EQ(speaker["line1"], "true");
    // Every monitors row has an id of its own, also for a source the configuration does not know.
    auto monitors = rows("monitors");
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_EQ(monitors[0]["source"] + " " + monitors[0]["gain"], "Op 3");
    EXPECT_EQ(monitors[1]["source"] + " " + monitors[1]["mode"], "Nobody 1");
    for (RowMap& m : monitors) {
        EXPECT_EQ(m["speakerId"], speaker["id"]);
        EXPECT_NE(m["id"], "");
    }
    EXPECT_NE(monitors[0]["id"], monitors[1]["id"]);
    RowMap selected = row("selectedMonitors", "monitor_Op");
    EXPECT_EQ(selected["parentId"] + selected["destinationId"], speaker["id"] + speaker["id"]);

    RowMap phone = row("telephone", "T");
    const std::pair<const char*, std::string> expected[] = {
        {"id", idOf("T")}, {"type", "MVQ-2TS-A"}, {"line2", "true"}, {"line1Enabled", "false"},
        {"line1PbxAnswering", ""}, {"line1LineDetection", ""}, {"line2Enabled", "true"},
        {"line2Id", idOf("L2")}, {"line2FieldPhone", "true"}, {"line2LineDetection", "false"},
        {"line2PbxAnswering", "false"}, {"alarmTrigger1", "Enabled"}, {"alarmEventId1", idOf("Ev")},
        {"alarmTrigger3", "Inverted"}, {"alarmEventId3", ""}, {"alarmTrigger8", "Falling"},
        {"alarmEventId8", ""}, {"alarmTrigger2", ""}};
    for (const auto& [column, value] : expected) EXPECT_EQ(phone[column], value) << column;
    auto lines = rows("telephoneLine");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["id"], idOf("L2"));
    EXPECT_EQ(lines[0]["parentId"] + " " + lines[0]["line"], phone["id"] + " 2");

    std::vector<std::string> endpoints;
    for (RowMap& e : rows("endpoint")) endpoints.push_back(e["name"] + " " + e["parentType"]);
    EXPECT_EQ(endpoints, (std::vector<std::string>{"P data serialPort", "S data crewStation"}));
}

// The device kinds by their type text, and the defaults of each kind: the cases the file format
// names, one device at a time on a unit "U".
TEST_F(ConfigDevices, KindsByTypeAndTheirDefaults)
{
    struct Case {
        const char* what;
        std::string port;   // the port of "U" that names the device
        std::string device; // lines below the device's node, indented from 0
        const char* table;
        RowMap expected;    // columns of its row
        int endpoints = 0;  // endpoint rows
    };
    const Case cases[] = {
        {"no type: a crew station without a model", "line 1", "", "crewStation",
         {{"type", ""}, {"addOnH", "false"}, {"line1", "true"}}},
        {"an empty type too", "line 1", "|type|\n", "crewStation", {{"type", ""}, {"addOnH", "false"}}},
        {"MVQ-2TS-A is a telephone", "line 1", "|type| = |MVQ-2TS-A|\n", "telephone", {{"type", "MVQ-2TS-A"}}},
        {"so is any type that begins with MVQ-2TS", "line 1", "|type| = |MVQ-2TS-B|\n", "telephone",
         {{"type", "MVQ-2TS-B"}, {"line1", "true"}}},
        {"MVQ-2T is a crew station", "line 1", "|type| = |MVQ-2T|\n", "crewStation", {{"type", "MVQ-2T"}}},
        {"USB headset followed by a blank is a crew station", "line 1", "|type| = |USB headset |\n", "crewStation",
         {{"type", "USB headset "}}},
        {"a model no list holds is a crew station", "line 2", "|type| = |XR-9 Field Box|\n", "crewStation",
         {{"type", "XR-9 Field Box"}, {"line2", "true"}, {"line1", "false"}}},
        {"MVQ-2CS-H: a crew station with the add-on", "line 1", "|type| = |MVQ-2CS-H|\n", "crewStation",
         {{"addOnH", "true"}}},
        {"a USB headset only on USB port 3 has no port column set", "usb 3", "|type| = |USB headset|\n", "usbAudio",
         {{"line1", "false"}, {"line2", "false"}}},
        {"a speaker's alarms 0 is off", "speaker", "|alarms| = |0|\n|type| = |MVQ-2GM|\n", "speaker",
         {{"playAnnouncements", "false"}}},
        {"so is true", "speaker", "|alarms| = |true|\n|type| = |MVQ-2GM|\n", "speaker",
         {{"playAnnouncements", "false"}}},
        {"and none", "speaker", "|type| = |MVQ-2GM|\n", "speaker", {{"playAnnouncements", "false"}}},
        {"1 is on", "speaker", "|alarms| = |1|\n|type| = |MVQ-2GM|\n", "speaker", {{"playAnnouncements", "true"}}},
        {"a telephone without line 1", "line 1", "|type| = |MVQ-2TS|\n", "telephone",
         {{"line1Enabled", "false"}, {"line1PbxAnswering", ""}, {"line1LineDetection", ""}}},
        {"a crew station whose master names no operator", "line 1",
         "|master login| = |Nobody|\n|type| = |MVQ-2CS|\n", "crewStation", {{"masterOperator", ""}}},
        {"a crew station's data port endpoint", "line 1", "|data port endpoint| = |D|\n|type| = |MVQ-2CS|\n",
         "crewStation", {{"endpoint", "D"}}, 1},
        {"a serial port without one", "com 1", "|type| = |COM|\n", "serialPort", {{"endpoint", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string device;
        std::istringstream lines(c.device);
        for (std::string line; std::getline(lines, line);) device += "\t\t\t" + line + "\n";
        import("|nodes|\n\t|U|\n\t\t|interfaces|\n\t\t\t|" + c.port + "|\n\t\t\t\t|X|\n"
               "|system|\n\t|devices|\n\t\t|X|\n" + device);
        RowMap found = row(c.table, "X");
        EXPECT_EQ(found["breltID"], idOf("U"));
        for (const auto& [column, value] : c.expected) EXPECT_EQ(found[column], value) << column;
        EXPECT_EQ(count("endpoint"), c.endpoints);
        EXPECT_EQ(count("telephoneLine"), 0); // no case has a line child
    }
}

// Malformed device nodes load without a crash, keep what can be kept, and save to a file that
// loads to the same tables.
TEST_F(ConfigDevices, MalformedDeviceNodes)
{
    const std::string unitU = "\t|U|\n\t\t|interfaces|\n\t\t\t|line 1|\n\t\t\t\t|A|\n\t\t\t\t|B|\n";
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> devices; // "<table> <name> @<unit>", every device row, sorted
        // table, name, column, value
        std::vector<std::tuple<const char*, const char*, const char*, const char*>> columns;
    } cases[] = {
        {"a device without a type after a radio is a crew station without a model",
         "|nodes|\n" + unitU + "|system|\n\t|devices|\n\t\t|A|\n\t\t\t|type| = |transceiver|\n"
             "\t\t|B|\n\t\t\t|baud rate| = |9600|\n",
         {"crewStation B @U", "radio A @U"},
         {{"crewStation", "B", "type", ""}, {"crewStation", "B", "addOnH", "false"},
          {"crewStation", "B", "rate", "9600"},
          {"crewStation", "B", "line1", "true"}}},
        {"an empty type too",
         "|nodes|\n" + unitU + "|system|\n\t|devices|\n\t\t|A|\n\t\t\t|type| = |transceiver|\n\t\t|B|\n\t\t\t|type|\n",
         {"crewStation B @U", "radio A @U"},
         {{"crewStation", "B", "type", ""}}},
        {"types of no named kind are crew stations",
         "|nodes|\n\t|U|\n\t\t|interfaces|\n\t\t\t|line 1|\n\t\t\t\t|A|\n\t\t\t\t|B|\n\t\t\t\t|C|\n\t\t\t\t|D|\n"
             "|system|\n\t|devices|\n\t\t|A|\n\t\t\t|type| = |MVQ-2T|\n"
             "\t\t|B|\n\t\t\t|type| = |USB headset |\n\t\t|C|\n\t\t\t|type| = |mvq-2ts|\n"
             "\t\t|D|\n\t\t\t|type| = |XR-9 Field Box|\n",
         {"crewStation A @U", "crewStation B @U", "crewStation C @U", "crewStation D @U"},
         {{"crewStation", "A", "type", "MVQ-2T"}, {"crewStation", "B", "type", "USB headset "},
          {"crewStation", "D", "type", "XR-9 Field Box"}, {"crewStation", "D", "line1", "true"}}},
        {"a type that begins with the telephone's is a telephone",
         "|nodes|\n" + unitU + "|system|\n\t|devices|\n\t\t|A|\n\t\t\t|type| = |MVQ-2TS-B|\n"
             "\t\t\t|line 1|\n\t\t\t\t|name| = |LB|\n\t\t|B|\n\t\t\t|type| = |MVQ-2CS-H|\n",
         {"crewStation B @U", "telephone A @U"},
         {{"telephone", "A", "type", "MVQ-2TS-B"}, {"telephone", "A", "line1Id", "<LB>"},
          {"telephone", "A", "line1Enabled", "true"}, {"crewStation", "B", "addOnH", "true"}}},
        {"known models of the family; the lines of a telephone model the id pass skips",
         "|nodes|\n" + unitU + "|system|\n\t|devices|\n\t\t|A|\n\t\t\t|type| = |MVQ-2TS |\n"
             "\t\t\t|line 1|\n\t\t\t\t|name| = |LA|\n"
             "\t\t|B|\n\t\t\t|type| = |MVQ-2FFS-FK-C4|\n",
         {"crewStation B @U", "telephone A @U"},
         {{"crewStation", "B", "addOnH", "false"}, {"telephone", "A", "type", "MVQ-2TS "},
          {"telephone", "A", "line1Id", "<LA>"}, {"telephone", "A", "id", "<A>"}}},
        {"unknown port keys: the device keeps no unit",
         "|nodes|\n\t|U|\n\t\t|interfaces|\n\t\t\t|line 13|\n\t\t\t\t|A|\n\t\t\t|Line 1|\n\t\t\t\t|A|\n"
             "\t\t\t|usb 5|\n\t\t\t\t|B|\n\t\t\t|transceiver 0|\n\t\t\t\t|B|\n\t\t\t|com 1 |\n\t\t\t\t|C|\n"
             "|system|\n\t|devices|\n\t\t|A|\n\t\t\t|type| = |MVQ-2CS|\n"
             "\t\t|B|\n\t\t\t|type| = |transceiver|\n\t\t|C|\n\t\t\t|type| = |COM|\n",
         {"crewStation A @", "radio B @", "serialPort C @"},
         {{"crewStation", "A", "line1", "false"}, {"crewStation", "A", "line12", "false"},
          {"radio", "B", "line1", "false"}, {"radio", "B", "rtpLine1", "false"},
          {"serialPort", "C", "line1", "false"}}},
        {"no units at all",
         "|system|\n\t|devices|\n\t\t|A|\n\t\t\t|type| = |MVQ-2GM|\n",
         {"speaker A @"},
         {{"speaker", "A", "line1", "false"}}},
        {"a port named by two units: the first unit's",
         "|nodes|\n\t|N|\n\t|U|\n\t\t|interfaces|\n\t\t\t|line 3|\n\t\t\t\t|A|\n"
             "\t|V|\n\t\t|interfaces|\n\t\t\t|line 3|\n\t\t\t\t|A|\n\t\t\t|line 4|\n\t\t\t\t|A|\n"
             "|system|\n\t|devices|\n\t\t|A|\n\t\t\t|type| = |MVQ-2CS|\n",
         {"crewStation A @U"},
         {{"crewStation", "A", "line3", "true"}, {"crewStation", "A", "line4", "false"}}},
        {"a device on the wrong kind of port keeps the unit, not the port",
         "|nodes|\n\t|U|\n\t\t|interfaces|\n\t\t\t|com 2|\n\t\t\t\t|A|\n"
             "|system|\n\t|devices|\n\t\t|A|\n\t\t\t|type| = |MVQ-2CS|\n",
         {"crewStation A @U"},
         {{"crewStation", "A", "line2", "false"}}},
        {"alarm inputs and modes out of range",
         "|nodes|\n" + unitU + "|system|\n\t|devices|\n\t\t|A|\n\t\t\t|type| = |MVQ-2TS|\n\t\t\t|alarms|\n"
             "\t\t\t\t|0|\n\t\t\t\t\t|mode| = |1|\n\t\t\t\t|9|\n\t\t\t\t\t|mode| = |1|\n"
             "\t\t\t\t|-1|\n\t\t\t\t\t|mode| = |1|\n\t\t\t\t|03|\n\t\t\t\t\t|mode| = |1|\n"
             "\t\t\t\t|1|\n\t\t\t\t\t|mode| = |5|\n\t\t\t\t|2|\n\t\t\t\t\t|mode| = |0|\n"
             "\t\t\t\t|3|\n\t\t\t\t\t|mode| = |-1|\n\t\t\t\t|4|\n\t\t\t\t\t|mode| = |2x|\n"
             "\t\t\t\t|5|\n\t\t\t\t\t|mode| = |2|\n\t\t\t\t\t|event| = |Nothing|\n"
             "\t\t\t\t|6|\n\t\t\t\t\t|mode|\n\t\t\t\t|7|\n\t\t\t\t\t|mode| = |99999999999|\n",
         {"telephone A @U"},
         {{"telephone", "A", "alarmTrigger1", ""}, {"telephone", "A", "alarmTrigger2", ""},
          {"telephone", "A", "alarmTrigger3", ""}, {"telephone", "A", "alarmTrigger4", ""},
          {"telephone", "A", "alarmTrigger5", "Enabled"}, {"telephone", "A", "alarmEventId5", ""},
          {"telephone", "A", "alarmTrigger6", ""}, {"telephone", "A", "alarmTrigger7", ""},
          {"telephone", "A", "alarmTrigger8", ""}}},
        {"telephone lines without names: lines of their own",
         "|nodes|\n" + unitU + "|system|\n\t|devices|\n"
             "\t\t|A|\n\t\t\t|type| = |MVQ-2TS|\n\t\t\t|line 1|\n\t\t\t|line 2|\n\t\t\t\t|name|\n"
             "\t\t|B|\n\t\t\t|type| = |MVQ-2TS|\n\t\t\t|line 1|\n\t\t\t\t|detect| = |1|\n",
         {"telephone A @U", "telephone B @U"},
         {{"telephone", "A", "line1Enabled", "true"}, {"telephone", "A", "line1Id", ""},
          {"telephone", "A", "line2Id", ""}, {"telephone", "B", "line1LineDetection", "true"}}},
    };

    const std::vector<std::string> deviceTables = {"crewStation", "telephone", "usbAudio", "radio", "serialPort",
                                                   "speaker"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile("case.conf", c.text);
        Result r = runRoundTrip("case.conf");

        // What loads is saved to a file that loads to the same tables and saves to the same text.
        EXPECT_EQ(withoutDate(r.s1), withoutDate(r.s2));
        EXPECT_EQ(loadFile("s2.conf"), "{\n\t\"status\" : \"success\"\n}\n");
        EXPECT_EQ(dumpTables(store()), r.afterS1);
        ASSERT_EQ(loadFile("case.conf"), "{\n\t\"status\" : \"success\"\n}\n");

        std::vector<std::string> devices;
        std::map<std::string, std::string> unitNames;
        for (RowMap& unit : rows("centralUnits")) unitNames[unit["id"]] = unit["name"];
        for (const std::string& table : deviceTables)
            for (RowMap& device : rows(table))
                devices.push_back(table + " " + device["name"] + " @" + unitNames[device["breltID"]]);
        std::sort(devices.begin(), devices.end());
        EXPECT_EQ(devices, c.devices);
        // A value "<X>" stands for the id of the object named X.
        for (const auto& [table, name, column, value] : c.columns) {
            std::string expected = value;
            if (expected.size() > 2 && expected.front() == '<')
                expected = idOf(expected.substr(1, expected.size() - 2));
            EXPECT_EQ(row(table, name)[column], expected) << column;
        }
    }
    // Lines without names never share an id.
    auto lines = rows("telephoneLine");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0]["id"], lines[1]["id"]);
    EXPECT_NE(lines[1]["id"], lines[2]["id"]);
    EXPECT_NE(lines[0]["id"], lines[2]["id"]);
}

// The alarm modes need the store's mode tables from the very first import, the one at start-up.
TEST_F(ConfigDevices, StartUpImportReadsAlarmModes)
{
    writeFile("default.conf", "|nodes|\n\t|U|\n\t\t|interfaces|\n\t\t\t|line 1|\n\t\t\t\t|T|\n"
                              "|system|\n\t|name| = |x|\n\t|devices|\n"
                              "\t\t|T|\n\t\t\t|type| = |MVQ-2TS|\n\t\t\t|alarms|\n"
                              "\t\t\t\t|1|\n\t\t\t\t\t|mode| = |1|\n\t\t\t\t|3|\n\t\t\t\t\t|mode| = |1|\n");
    stop_store();
    start_store();
    RowMap phone = row("telephone", "T");
    EXPECT_EQ(phone["alarmTrigger1"], "Enabled");
    EXPECT_EQ(phone["alarmTrigger3"], "Inverted");
    EXPECT_EQ(subtreeAt(readFile("saved.conf"), "system/devices/T/alarms"),
              "|1|\n\t|mode| = |1|\n|3|\n\t|mode| = |1|\n");
}
