// The devices of "system"/"devices" into their tables. A device belongs to the first central unit
// whose port list ("interfaces") names it; a device that no port names yet is kept without a unit,
// so that a save and a load never lose it.
#include "handlers/tuna/import/import.h"

#include "common/logger.h"
#include "handlers/tuna/lookup_tables.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tuna_import {

namespace {

std::string numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

// Where one device stands on its unit: per kind of port, column ("line1", "rtpLine2") -> "true"
// or "false".
struct Ports {
    TextMap lines;        // "line 1" .. "line 12"
    TextMap transceivers; // "transceiver 1" .. 4, else "usb 1" .. 4; and "rtp transceiver 1" .. 4
    TextMap usb;          // "usb 1" .. 4
    TextMap com;          // "com 1" .. 4
    TextMap speaker;      // "speaker"
    int count = 0;        // ports that name the device
    bool forced = false;  // the "force" mark of the last of them
    bool onTransceiverPort = false;

    Ports()
    {
        for (int n = 1; n <= 12; ++n) lines[numbered("line", n)] = "false";
        for (int n = 1; n <= 4; ++n) {
            transceivers[numbered("line", n)] = transceivers[numbered("rtpLine", n)] = "false";
            usb[numbered("line", n)] = com[numbered("line", n)] = "false";
        }
        speaker["line1"] = "false";
    }
};

// True when the unit's port `port` names the device; `force` then tells whether it is forced.
bool portNames(const ConfigNode& interfaces, const std::string& port, const std::string& device, bool& force)
{
    const ConfigNode* node = interfaces.get(port);
    if (!node || !node->get(device)) return false;
    force = node->get("force") != nullptr;
    return true;
}

Ports scanPorts(const ConfigNode& interfaces, const std::string& device)
{
    Ports ports;
    auto mark = [&](TextMap& map, const std::string& column, const std::string& port, bool forcible) {
        bool force = false;
        bool hit = portNames(interfaces, port, device, force);
        map[column] = hit ? "true" : "false";
        if (hit) {
            ++ports.count;
            if (forcible) ports.forced = force;
        }
        return hit;
    };
    for (int n = 1; n <= 12; ++n) mark(ports.lines, numbered("line", n), numbered("line ", n), false);
    for (int n = 1; n <= 4; ++n)
        if (mark(ports.transceivers, numbered("line", n), numbered("transceiver ", n), true))
            ports.onTransceiverPort = true;
    // A radio on a USB port stands where a transceiver port would.
    if (!ports.onTransceiverPort) {
        for (int n = 1; n <= 4; ++n) {
            mark(ports.usb, numbered("line", n), numbered("usb ", n), true);
            ports.transceivers[numbered("line", n)] = ports.usb[numbered("line", n)];
        }
    }
    for (int n = 1; n <= 4; ++n)
        mark(ports.transceivers, numbered("rtpLine", n), numbered("rtp transceiver ", n), true);
    for (int n = 1; n <= 4; ++n) mark(ports.com, numbered("line", n), numbered("com ", n), true);
    mark(ports.speaker, "line1", "speaker", true);
    return ports;
}

// The port flags go in last; what the row already holds stays.
void merge(RowMap& row, const TextMap& flags)
{
    for (const auto& [column, value] : flags) row.emplace(column, value);
}

// The id of the named object of that kind; the empty text for an empty or unknown name.
std::string resolve(const ImportContext& im, IdKind kind, const std::string& name)
{
    return name.empty() ? std::string() : im.idOf(kind, name);
}

void resolveColumn(const ImportContext& im, IdKind kind, RowMap& row, const char* column)
{
    row[column] = resolve(im, kind, row[column]);
}

std::string readValue(const ConfigNode& node, const char* key)
{
    std::string value;
    node.getString(key, value);
    return value;
}

bool isTelephone(const std::string& type) { return type.rfind("MVQ-2TS", 0) == 0; }

// The endpoint that a device's port is carried to, as a row of its own owned by the device.
void readDeviceEndpoint(ImportContext& im, const std::string& name, const char* parentType, const std::string& parentId)
{
    RowMap row;
    row["name"] = name;
    row["id"] = im.freshId();
    row["parentId"] = parentId;
    row["parentType"] = parentType;
    row["type"] = "System";
    im.insert("endpoint", row);
    im.endpointIdsByName[name] = row["id"];
}

// --- Radios ---

// A PPP link over the radio's data or control port: the unit's interface `ppp<number>`.
void readPppLink(ImportContext& im, RowMap& radio, const ConfigNode& unit, const std::string& port, int number,
                 const char* description, const char* parentType)
{
    const std::string interface = numbered("ppp", number);
    const ConfigNode* link = unit.get("network", "interfaces", interface);
    radio[port + "PppConnection"] = link ? "true" : "false";
    if (!link) return;
    const std::string name = radio["name"] + description;
    im.interfaceNames[radio["breltID"]][interface] = name;
    const std::string local = port + "PppConnectionLocalIp", remote = port + "PppConnectionRemoteIp",
                      options = port + "PppConnectionOptions";
    readText(*link, "local ip", radio, local.c_str());
    readText(*link, "remote ip", radio, remote.c_str());
    readText(*link, "options", radio, options.c_str());

    RowMap row;
    row["id"] = im.freshId();
    row["name"] = name;
    row["parentId"] = radio["id"];
    row["parentType"] = parentType;
    row["localIp"] = radio[local];
    row["remoteIp"] = radio[remote];
    row["options"] = radio[options];
    im.insert("pppProperties", row);
}

// The Ethernet over USB of a radio on a USB port: the unit's interface `radio<number>`.
void readUsbLink(ImportContext& im, RowMap& radio, const ConfigNode& unit, int number)
{
    const std::string interface = numbered("radio", number);
    const ConfigNode* link = unit.get("network", "interfaces", interface);
    if (!link) return;
    const std::string name = radio["name"] + " ethernet (USB)";
    im.interfaceNames[radio["breltID"]][interface] = name;
    std::string address = readValue(*link, "ip address");
    size_t slash = address.find('/');
    radio["ipAddress"] = address.substr(0, slash);
    radio["netMask"] = slash == std::string::npos ? std::string() : address.substr(slash + 1);

    RowMap row;
    row["id"] = im.freshId();
    row["name"] = name;
    row["parentId"] = radio["id"];
    row["parentType"] = "radioUsb";
    row["localIp"] = radio["ipAddress"];
    row["remoteIp"] = radio["netMask"];
    im.insert("pppProperties", row);
}

void readRadio(ImportContext& im, const ConfigNode& device, const ConfigNode* unit, const Ports& ports, RowMap& row)
{
    row["id"] = im.objectId(IdKind::Radio, row["name"]);
    readText(device, "model", row, "type");
    readText(device, "differential", row, "differential");
    const bool ptt = device.get("ptt timeout") != nullptr;
    row["transmitTimeout"] = ptt ? "true" : "false";
    if (ptt) {
        readText(device, "ptt timeout", row, "timeout");
        readText(device, "first warning", row, "firstWarning");
        readText(device, "second warning", row, "secondWarning");
    }
    row["retransmissionDelay"] = device.get("rebroadcast delay") ? "true" : "false";
    readText(device, "rebroadcast delay", row, "audioDelay");
    row["operatorAudioDelay"] = device.get("operator delay") ? "true" : "false";
    readText(device, "operator delay", row, "operatorDelay");

    const ConfigNode* controlNode = device.get("control type");
    const std::string control = controlNode ? controlNode->value : std::string("1");
    readText(device, "trace port endpoint", row, "tracePortEndpoint");
    readText(device, "debug port endpoint", row, "debugPortEndpoint");
    readText(device, "status port endpoint", row, "statusPortEndpoint");
    readText(device, "application port endpoint", row, "applicationPortEndpoint");
    if (control == "2") readText(device, "control port endpoint", row, "remoteControlEndpoint");
    readText(device, "remote control", row, "remoteControl");
    readText(device, "remote control type", row, "remoteControlConnection");
    if (control == "1") {
        readText(device, "data port endpoint", row, "dataPortEndpoint");
        readText(device, "data port baud rate", row, "dataPortRate");
        readText(device, "data port synchronous", row, "synchronous");
        readText(device, "data port rts-cts control", row, "rtsCtsFlowControl");
        readText(device, "control port endpoint", row, "controlPortEndpoint");
        readText(device, "control port baud rate", row, "controlPortRate");
        const bool serial = row["remoteControlConnection"] == "serial";
        row["remoteControlConnection"] = serial ? "Serial" : "IP";
        readText(device, serial ? "remote control endpoint" : "remote control ip address", row,
                 "remoteControlIpAddress");
    } else if (control == "3") {
        readText(device, "remote control port", row, "remoteControlPort");
        readText(device, "remote control ip address", row, "remoteControlIpAddress");
    }
    readText(device, "ip address", row, "ipAddress");
    readText(device, "source port", row, "receiveRtpPort");
    readText(device, "destination port", row, "transmitRtpPort");

    row["force"] = ports.forced ? "true" : "false";
    for (const char* column : {"differential", "synchronous", "rtsCtsFlowControl", "remoteControl"})
        row[column] = boolText(row[column]);
    merge(row, ports.transceivers);

    // The links that the radio gives its unit; a radio with RTP audio has none.
    if (control != "3" && unit) {
        int line = 0;
        for (int n = 1; n <= 4 && !line; ++n)
            if (row[numbered("line", n)] == "true") line = n;
        if (line && ports.onTransceiverPort) {
            LOG(LOG_INFO, "true %s", numbered("ppp", line - 1).c_str());
            readPppLink(im, row, *unit, "dataPort", line - 1, " data port (PPP)", "radioData");
            readPppLink(im, row, *unit, "controlPort", line + 3, " control port (PPP)", "radioControl");
        } else if (line) {
            readUsbLink(im, row, *unit, line);
        }
    }
    im.insert("radio", row);

    static const std::pair<const char*, const char*> endpoints[] = {
        {"dataPortEndpoint", "radioDataPort"},
        {"controlPortEndpoint", "radioControlPort"},
        {"applicationPortEndpoint", "applicationPort"},
        {"statusPortEndpoint", "statusPort"},
        {"debugPortEndpoint", "debugPort"},
        {"remoteControlEndpoint", "remoteControlPort"},
        {"tracePortEndpoint", "tracePort"},
    };
    for (const auto& [column, parentType] : endpoints)
        if (!row[column].empty()) readDeviceEndpoint(im, row[column], parentType, row["id"]);
}

// --- The other kinds ---

void readUsbAudio(ImportContext& im, const ConfigNode& device, const Ports& ports, RowMap& row)
{
    row["id"] = im.freshId();
    readText(device, "input gain", row, "inputGain");
    readText(device, "output gain", row, "outputGain");
    readText(device, "master login", row, "masterOperator");
    resolveColumn(im, IdKind::Operator, row, "masterOperator");
    merge(row, ports.usb);
    im.insert("usbAudio", row);
}

void readSerialPort(ImportContext& im, const ConfigNode& device, const Ports& ports, RowMap& row)
{
    row["id"] = im.freshId();
    readText(device, "baud rate", row, "rate");
    readText(device, "data bits", row, "dataBits");
    readText(device, "parity", row, "parity");
    readText(device, "stop bits", row, "stopBits");
    readText(device, "rts", row, "rts");
    readText(device, "dtr", row, "dtr");
    readText(device, "rs485", row, "rs485");
    readText(device, "data port endpoint", row, "endpoint");
    merge(row, ports.com);
    im.insert("serialPort", row);
    if (!row["endpoint"].empty()) readDeviceEndpoint(im, row["endpoint"], "serialPort", row["id"]);
}

void readSpeaker(ImportContext& im, const ConfigNode& device, const Ports& ports, RowMap& row)
{
    const std::string id = im.objectId(IdKind::Speaker, row["name"]);
    row["id"] = id;
    row["playAnnouncements"] = boolText(readValue(device, "alarms"));
    readText(device, "announcements volume", row, "volume");
    merge(row, ports.speaker);
    const ConfigNode* monitors = device.get("monitors");
    if (monitors) readSelectedMonitors(im, id, id, *monitors);
    im.insert("speaker", row);
    if (!monitors) return;
    for (const auto& source : monitors->children) {
        RowMap monitor;
        // Each row its own id: rows that shared the empty one could not be told apart.
        monitor["id"] = im.freshId();
        monitor["speakerId"] = id;
        monitor["source"] = source->key;
        readText(*source, "monitor mode", monitor, "mode");
        readText(*source, "gain", monitor, "gain");
        im.insert("monitors", monitor);
    }
}

// One line of a telephone ("line 1" or "line 2") into the line's columns and its telephoneLine row.
void readTelephoneLine(ImportContext& im, const ConfigNode& device, int n, RowMap& row)
{
    const ConfigNode* line = device.get(numbered("line ", n));
    if (!line) return;
    const std::string prefix = numbered("line", n);
    auto column = [&](const char* suffix) { return prefix + suffix; };
    const std::string name = readValue(*line, "name");
    LOG(LOG_INFO, "readLine%d: %s", n, name.c_str());
    // A line without a name is nobody else's: it gets an id of its own, and the telephone names none.
    // A named line is found by its name, also on a telephone model that the id pass did not know.
    const std::string lineId = name.empty() ? im.freshId() : im.objectId(IdKind::PhoneLine, name);
    row[column("Id")] = name.empty() ? std::string() : lineId;
    readText(*line, "input level", row, column("InputLevel").c_str());
    readText(*line, "output level", row, column("OutputLevel").c_str());
    readText(*line, "dtmf level", row, column("DTMF").c_str());
    readText(*line, "login code", row, column("LoginCode").c_str());
    readText(*line, "logout code", row, column("LogoutCode").c_str());
    row[column("PbxAnswering")] = boolText(readValue(*line, "pbx answering"));
    row[column("LineDetection")] = boolText(readValue(*line, "detect"));
    if (n == 2) row[column("FieldPhone")] = boolText(readValue(*line, "field phone"));
    readText(*line, "calling timeout", row, column("CallingTimeout").c_str());
    readText(*line, "silence timeout", row, column("SilenceTimeout").c_str());
    row[column("Enabled")] = "true";

    RowMap lineRow;
    lineRow["id"] = lineId;
    lineRow["name"] = name;
    lineRow["parentId"] = row["id"];
    lineRow["line"] = std::to_string(n);
    im.insert("telephoneLine", lineRow);
}

void readTelephone(ImportContext& im, const ConfigNode& device, const Ports& ports, const std::string& type,
                   RowMap& row)
{
    row["id"] = im.objectId(IdKind::Telephone, row["name"]);
    row["type"] = type;
    row["line1Enabled"] = row["line2Enabled"] = "false";
    readTelephoneLine(im, device, 1, row);
    readTelephoneLine(im, device, 2, row);
    merge(row, ports.lines);

    if (const ConfigNode* alarms = device.get("alarms")) {
        for (int n = 1; n <= 8; ++n) {
            const ConfigNode* input = alarms->get(std::to_string(n));
            if (!input) continue;
            row[numbered("alarmEventId", n)] = resolve(im, IdKind::Event, readValue(*input, "event"));
            // The inputs are wired two ways, so the same number means a different word per input.
            const TextMap& modes = signalModeByNumber[n - 1];
            auto mode = modes.find(readValue(*input, "mode"));
            row[numbered("alarmTrigger", n)] = mode == modes.end() ? std::string() : mode->second;
        }
    }
    im.insert("telephone", row);
}

void readCrewStation(ImportContext& im, const ConfigNode& device, const Ports& ports, const std::string& type,
                     RowMap& row)
{
    row["id"] = im.freshId();
    row["type"] = type;
    readText(device, "baud rate", row, "rate");
    readText(device, "data bits", row, "dataBits");
    readText(device, "stop bits", row, "stopBits");
    readText(device, "parity", row, "parity");
    readText(device, "data port endpoint", row, "endpoint");
    readText(device, "show splash", row, "showSplash");
    readText(device, "default brightness", row, "brightness");
    readText(device, "default contrast", row, "contrast");
    readText(device, "master login", row, "masterOperator");
    readText(device, "slave login", row, "slaveOperator");
    row["addOnH"] = type.find("-H") != std::string::npos ? "true" : "false";
    resolveColumn(im, IdKind::Operator, row, "masterOperator");
    resolveColumn(im, IdKind::Operator, row, "slaveOperator");
    merge(row, ports.lines);
    im.insert("crewStation", row);
    if (!row["endpoint"].empty()) readDeviceEndpoint(im, row["endpoint"], "crewStation", row["id"]);
}

// The units (by their place in "nodes") whose port list names each device under any port, in
// their order: a device is then looked for only in the units that name it, not in every unit,
// which keeps a load of hundreds of units quick.
std::unordered_map<std::string_view, std::vector<size_t>> unitsNamingEachDevice(const ConfigNode* nodes)
{
    std::unordered_map<std::string_view, std::vector<size_t>> naming;
    for (size_t i = 0; nodes && i < nodes->children.size(); ++i) {
        const ConfigNode* interfaces = nodes->children[i]->get("interfaces");
        if (!interfaces) continue;
        for (const auto& port : interfaces->children)
            for (const auto& named : port->children) {
                std::vector<size_t>& units = naming[named->key];
                if (units.empty() || units.back() != i) units.push_back(i);
            }
    }
    return naming;
}

} // namespace

void readDevices(ImportContext& im, const ConfigNode& root)
{
    const ConfigNode* devices = root.get("system", "devices");
    if (!devices) return;
    const ConfigNode* nodes = root.get("nodes");
    const std::unordered_map<std::string_view, std::vector<size_t>> unitsNaming = unitsNamingEachDevice(nodes);

    for (const auto& device : devices->children) {
        const std::string& name = device->key;
        Ports ports;
        const ConfigNode* unit = nullptr;
        std::string unitId;
        const auto candidates = unitsNaming.find(name);
        for (size_t i : candidates == unitsNaming.end() ? std::vector<size_t>() : candidates->second) {
            const ConfigNode& candidate = *nodes->children[i];
            const ConfigNode* interfaces = candidate.get("interfaces");
            Ports scanned = scanPorts(*interfaces, name);
            if (scanned.count == 0) continue;
            ports = std::move(scanned);
            unit = &candidate;
            unitId = im.idOf(IdKind::Unit, candidate.key);
            break;
        }
        LOG(LOG_INFO, "NEW DEVICE [%s] -> [%s]", name.c_str(), unitId.c_str());
        LOG(LOG_INFO, "FOUND %d interfaces %d", ports.count, ports.forced ? 1 : 0);

        const std::string type = readValue(*device, "type");
        LOG(LOG_INFO, "%s: typ [%s] %d", "readDevices", type.c_str(), isTelephone(type) ? 1 : 0);
        RowMap row;
        row["name"] = name;
        row["breltID"] = unitId;
        if (type == "transceiver") {
            readRadio(im, *device, unit, ports, row);
        } else if (type == "USB headset") {
            readUsbAudio(im, *device, ports, row);
        } else if (type == "COM") {
            readSerialPort(im, *device, ports, row);
        } else if (type == "MVQ-2GM") {
            readSpeaker(im, *device, ports, row);
        } else if (isTelephone(type)) {
            readTelephone(im, *device, ports, type, row);
        } else {
            // Any other type, also none or one this program does not know, is a crew station's model.
            readCrewStation(im, *device, ports, type, row);
        }
    }
}

} // namespace tuna_import
