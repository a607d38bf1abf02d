// The devices of every central unit under "system"/"devices", one node per device name, and the
// register of which device uses which line or port of its unit (store.unitInterfaces), which the
// unit steps turn into each unit's interface list.
#include "handlers/tuna/export/export.h"

#include "common/logger.h"
#include "handlers/tuna/lookup_tables.h"

#include <string>

namespace tuna_export {

namespace {

std::string numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

void registerPort(ExportContext& ex, const RowMap& row, const std::string& label, const std::string& device)
{
    ex.store.unitInterfaces.emplace(std::make_pair(column(row, "breltID"), label), device);
}

// Every set line of a station or telephone is a line of its unit.
void registerLines(ExportContext& ex, const RowMap& row, int lines)
{
    for (int n = 1; n <= lines; ++n)
        if (column(row, numbered("line", n)) == "true")
            registerPort(ex, row, numbered("line ", n), column(row, "name"));
}

void writeCrewStations(ExportContext& ex, ConfigNode& devices)
{
    ex.forEachRow("crewStation", [&](RowMap& row) {
        registerLines(ex, row, 12);
        ConfigNode& device = *devices.makePath(column(row, "name"));
        device.addValue("type", column(row, "type"));
        device.addValue("baud rate", column(row, "rate"));
        device.addValue("data bits", column(row, "dataBits"));
        device.addValue("stop bits", column(row, "stopBits"));
        device.addValue("parity", column(row, "parity"));
        device.addValue("data port endpoint", column(row, "endpoint"));
        device.addValue("show splash", column(row, "showSplash"));
        device.addValue("default brightness", column(row, "brightness"));
        device.addValue("default contrast", column(row, "contrast"));
        device.addValue("master login", ex.nameOf(column(row, "masterOperator")));
        device.addValue("slave login", ex.nameOf(column(row, "slaveOperator")));
    });
}

void writeTelephoneLine(ExportContext& ex, const RowMap& row, ConfigNode& device, int n)
{
    const std::string prefix = numbered("line", n);
    auto col = [&](const char* suffix) -> const std::string& { return column(row, prefix + suffix); };
    if (col("Enabled") != "true") return;

    ConfigNode& line = *device.makePath(numbered("line ", n));
    const std::string& lineId = col("Id");
    const std::string lineName = ex.nameOf(lineId);
    LOG(LOG_INFO, " --> line %d: %s - %s", n, lineId.c_str(), lineName.c_str());
    line.addValue("name", lineName);
    line.addValue("input level", col("InputLevel"));
    line.addValue("output level", col("OutputLevel"));
    line.addValue("dtmf level", col("DTMF"));
    line.addValue("login code", col("LoginCode"));
    line.addValue("logout code", col("LogoutCode"));
    line.addValue("pbx answering", flag(col("PbxAnswering")));
    if (n == 2) line.addValue("field phone", flag(col("FieldPhone")));
    line.addValue("detect", flag(col("LineDetection")));
    line.addValue("calling timeout", col("CallingTimeout"));
    line.addValue("silence timeout", col("SilenceTimeout"));
}

void writeTelephones(ExportContext& ex, ConfigNode& devices)
{
    ex.forEachRow("telephone", [&](RowMap& row) {
        registerLines(ex, row, 12);
        ConfigNode& device = *devices.makePath(column(row, "name"));
        device.addValue("type", column(row, "type"));
        writeTelephoneLine(ex, row, device, 1);
        writeTelephoneLine(ex, row, device, 2);

        ConfigNode& alarms = *device.makePath("alarms");
        for (int n = 1; n <= 8; ++n) {
            const std::string& trigger = column(row, numbered("alarmTrigger", n));
            if (trigger.empty() || trigger == "Disabled") continue;
            ConfigNode& input = *alarms.makePath(std::to_string(n));
            // The inputs are wired two ways, so the same word has a different number per input.
            const TextMap& modes = signalModeByName[n - 1];
            auto mode = modes.find(trigger);
            if (mode != modes.end()) input.addValue("mode", mode->second);
            input.addValue("event", ex.nameOf(column(row, numbered("alarmEventId", n))));
        }
    });
}

// A USB device or radio takes the first port set; "force" rides along on the same port. The
// port's number, or 0 when none is set.
int registerFirstPort(ExportContext& ex, const RowMap& row, const char* columnPrefix, const char* labelPrefix,
                      int ports)
{
    for (int n = 1; n <= ports; ++n) {
        if (column(row, numbered(columnPrefix, n)) != "true") continue;
        const std::string label = numbered(labelPrefix, n);
        registerPort(ex, row, label, column(row, "name"));
        if (column(row, "force") == "true") registerPort(ex, row, label, "force");
        return n;
    }
    return 0;
}

void writeUsbAudio(ExportContext& ex, ConfigNode& devices)
{
    ex.forEachRow("usbAudio", [&](RowMap& row) {
        registerFirstPort(ex, row, "line", "usb ", 2);
        ConfigNode& device = *devices.makePath(column(row, "name"));
        device.addChild("type", "USB headset");
        device.addValue("input gain", column(row, "inputGain"));
        device.addValue("output gain", column(row, "outputGain"));
        device.addValue("master login", ex.nameOf(column(row, "masterOperator")));
    });
}

// A radio model's kind ("analog", "usb", "ip") chooses its port labels, control keys and links;
// a model the store does not know counts as analog.
std::string radioKind(ExportContext& ex, const std::string& model)
{
    std::string kind = "analog";
    ex.forEachRowWhere("globalOverviewRadioModels", "name", model, [&](RowMap& row) { kind = column(row, "type"); });
    return kind;
}

void writePppLink(const RowMap& row, const std::string& port, int number, const char* description,
                  ConfigNode& interfaces, TextMap& links)
{
    if (column(row, port + "PppConnection") != "true") return;
    const std::string interface = numbered("ppp", number);
    links[column(row, "name") + description] = interface;
    ConfigNode& link = *interfaces.makePath(interface);
    link.addValue("device", numbered("/dev/fuart", number));
    link.addValue("speed", column(row, port + "Rate"));
    link.addValue("local ip", column(row, port + "PppConnectionLocalIp"));
    link.addValue("remote ip", column(row, port + "PppConnectionRemoteIp"));
    link.addValue("options", column(row, port + "PppConnectionOptions"));
}

// The network links that a radio on port `line` gives its unit: an Ethernet over USB, or up to
// two PPP links over the data and control ports. The unit's network steps take the interface
// names from store.pppInterfaceNames.
void writeRadioLinks(ExportContext& ex, const RowMap& row, const std::string& kind, int line, ConfigNode& nodes)
{
    const std::string& unitId = column(row, "breltID");
    bool found = false;
    std::string unitName;
    ex.forEachRowWhere("centralUnits", "id", unitId, [&](RowMap& unit) {
        if (found) return;
        found = true;
        unitName = column(unit, "name");
    });
    if (!found) return;

    ConfigNode& interfaces = *nodes.makePath(unitName, "network", "interfaces");
    TextMap& links = ex.store.pppInterfaceNames[unitId];
    if (kind == "usb") {
        const std::string interface = numbered("radio", line);
        links[column(row, "name") + " ethernet (USB)"] = interface;
        interfaces.makePath(interface)->addValue("ip address", column(row, "ipAddress") + "/" + column(row, "netMask"));
    } else if (kind == "analog") {
        writePppLink(row, "dataPort", line - 1, " data port (PPP)", interfaces, links);
        writePppLink(row, "controlPort", line + 3, " control port (PPP)", interfaces, links);
    }
}

void writeRadios(ExportContext& ex, ConfigNode& devices, ConfigNode& nodes)
{
    ex.forEachRow("radio", [&](RowMap& row) {
        for (const char* name : {"differential", "synchronous", "rtsCtsFlowControl", "remoteControl"})
            row[name] = flag(row[name]);
        const std::string kind = radioKind(ex, column(row, "type"));
        const int line = kind == "ip" ? registerFirstPort(ex, row, "rtpLine", "rtp transceiver ", 4)
                                      : registerFirstPort(ex, row, "line", kind == "usb" ? "usb " : "transceiver ", 4);

        ConfigNode& device = *devices.makePath(column(row, "name"));
        device.addChild("type", "transceiver");
        device.addValue("model", column(row, "type"));
        device.addValue("differential", column(row, "differential"));
        device.addValue("remote control", column(row, "remoteControl"));
        if (column(row, "transmitTimeout") == "true") {
            device.addValue("ptt timeout", column(row, "timeout"));
            device.addValue("first warning", column(row, "firstWarning"));
            device.addValue("second warning", column(row, "secondWarning"));
        }
        if (column(row, "retransmissionDelay") == "true")
            device.addValue("rebroadcast delay", column(row, "audioDelay"));
        if (column(row, "operatorAudioDelay") == "true")
            device.addValue("operator delay", column(row, "operatorDelay"));

        const bool remote = column(row, "remoteControl") == "1";
        if (kind == "usb") {
            device.addValue("control type", "2");
            device.addValue("trace port endpoint", column(row, "tracePortEndpoint"));
            device.addValue("debug port endpoint", column(row, "debugPortEndpoint"));
            device.addValue("status port endpoint", column(row, "statusPortEndpoint"));
            device.addValue("application port endpoint", column(row, "applicationPortEndpoint"));
            device.addValue("control port endpoint", column(row, "remoteControlEndpoint"));
            device.addValue("remote control type", "serial");
        } else if (kind == "analog") {
            device.addValue("control type", "1");
            device.addValue("data port synchronous", column(row, "synchronous"));
            device.addValue("data port rts-cts control", column(row, "rtsCtsFlowControl"));
            device.addValue("data port endpoint", column(row, "dataPortEndpoint"));
            device.addValue("data port baud rate", column(row, "dataPortRate"));
            device.addValue("control port endpoint", column(row, "controlPortEndpoint"));
            device.addValue("control port baud rate", column(row, "controlPortRate"));
            if (remote) {
                if (column(row, "remoteControlConnection") == "Serial") {
                    device.addValue("remote control type", "serial");
                    device.addValue("remote control endpoint", column(row, "remoteControlIpAddress"));
                } else {
                    device.addValue("remote control type", "ip");
                    device.addValue("remote control ip address", column(row, "remoteControlIpAddress"));
                }
            }
        } else if (kind == "ip") {
            device.addValue("control type", "3");
            device.addValue("ip address", column(row, "ipAddress"));
            device.addValue("source port", column(row, "receiveRtpPort"));
            device.addValue("destination port", column(row, "transmitRtpPort"));
            if (remote) {
                device.addValue("remote control port", column(row, "remoteControlPort"));
                device.addValue("remote control type", "ip");
                device.addValue("remote control ip address", column(row, "remoteControlIpAddress"));
            }
        }

        if (line) writeRadioLinks(ex, row, kind, line, nodes);
    });
}

void writeSerialPorts(ExportContext& ex, ConfigNode& devices)
{
    ex.forEachRow("serialPort", [&](RowMap& row) {
        for (int n = 1; n <= 4; ++n) {
            if (column(row, numbered("line", n)) != "true") continue;
            registerPort(ex, row, numbered("com ", n), column(row, "name"));
            break;
        }
        ConfigNode& device = *devices.makePath(column(row, "name"));
        device.addChild("type", "COM");
        device.addValue("baud rate", column(row, "rate"));
        device.addValue("data bits", column(row, "dataBits"));
        device.addValue("parity", column(row, "parity"));
        device.addValue("stop bits", column(row, "stopBits"));
        device.addValue("rts", column(row, "rts"));
        device.addValue("dtr", column(row, "dtr"));
        device.addValue("rs485", column(row, "rs485"));
        device.addValue("data port endpoint", column(row, "endpoint"));
    });
}

void writeSpeakers(ExportContext& ex, ConfigNode& devices)
{
    ex.forEachRow("speaker", [&](RowMap& row) {
        if (column(row, "line1") == "true") registerPort(ex, row, "speaker", column(row, "name"));
        ConfigNode& device = *devices.makePath(column(row, "name"));
        device.addChild("type", "MVQ-2GM");
        device.addValue("alarms", flag(column(row, "playAnnouncements")));
        device.addValue("announcements volume", column(row, "volume"));
        ConfigNode& monitors = *device.makePath("monitors");
        writeSelectedMonitors(ex, column(row, "id"), monitors);
    });
}

} // namespace

void writeDevices(ExportContext& ex, ConfigNode& system, ConfigNode& nodes)
{
    ConfigNode& devices = *system.makePath("devices");
    writeCrewStations(ex, devices);
    writeTelephones(ex, devices);
    writeUsbAudio(ex, devices);
    writeRadios(ex, devices, nodes);
    writeSerialPorts(ex, devices);
    writeSpeakers(ex, devices);
}

} // namespace tuna_export
