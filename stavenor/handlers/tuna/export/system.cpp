// System settings, the export date, radio models ("transceivers") and headset models ("microphones").
#include "handlers/tuna/export/export.h"

#include <cstdio>
#include <ctime>

namespace tuna_export {

bool writeSystemSettings(ExportContext& ex, ConfigNode& system)
{
    ex.forEachRow("Configuration", [&](RowMap& row) { system.addValue("filename", column(row, "name")); });

    bool found = false;
    ex.forEachRow("cubSettings", [&](RowMap& row) {
        if (found) return; // only the first row counts
        found = true;
        system.addValue("name", column(row, "name"));
        system.addValue("organization", column(row, "organization"));
        system.addValue("language", column(row, "language"));
        system.addValue("network key", column(row, "networkKey"));
        system.addChild("codec", "g722.1");
        system.addValue("multicast group", column(row, "multicastAddress"));
        system.addValue("multicast ttl", column(row, "multicastTtl"));
        system.addValue("sip trunk", column(row, "sipTrunkAddress"));
        if (column(row, "broadcastTimeout") == "true") system.addValue("broadcast timeout", column(row, "timeout"));
    });
    return found;
}

void writeDate(ExportContext&, ConfigNode& system)
{
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char date[32];
    snprintf(date, sizeof date, "%4d.%02d.%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    system.addChild("date", date);
}

void writeTransceivers(ExportContext& ex, ConfigNode& system)
{
    ConfigNode& transceivers = *system.makePath("transceivers");
    ex.forEachRow("globalOverviewRadioModels", [&](RowMap& row) {
        ConfigNode& model = *transceivers.addChild(column(row, "name"));
        model.addValue("input gain", column(row, "inputGain"));
        model.addValue("output gain", column(row, "outputGain"));
        model.addChild("side tone", flag(column(row, "sideTone")));
        model.addValue("side tone level", column(row, "sideToneLevel"));
        model.addValue("signal delay", column(row, "transmitReceiveDelay"));
        model.addValue("signal fade", column(row, "receiveTransmitDelay"));
        model.addValue("direction", column(row, "duplex"));
        model.addValue("connection type", column(row, "type"));
        ConfigNode& capabilities = *model.addChild("capabilities");
        if (column(row, "capabilityMorvexAsciiCommands") == "true") capabilities.addChild("morvex ascii commands");
    });
}

void writeMicrophones(ExportContext& ex, ConfigNode& system)
{
    ConfigNode& microphones = *system.makePath("microphones");
    ex.forEachRow("globalOverviewHeadsets", [&](RowMap& row) {
        ConfigNode& headset = *microphones.addChild(column(row, "name"));
        headset.addValue("input gain", column(row, "inputGain"));
        headset.addValue("output gain", column(row, "outputGain"));
        headset.addValue("output gain 2", column(row, "outputGain2"));
        headset.addValue("gain", column(row, "inputSensitivity"));
        headset.addValue("gain 2", column(row, "inputSensitivity2"));
        headset.addValue("detection level", column(row, "speechDetectionLevel"));
        headset.addValue("detection sensitivity", column(row, "speechDetectionSensitivity"));
        headset.addChild("mic detection", flag(column(row, "microphoneDetection")));
        headset.addChild("asymetric mic", flag(column(row, "asymmetricMicrophone")));
        headset.addChild("asymetric mic 2", flag(column(row, "asymmetricMicrophone2")));
        headset.addChild("high output", flag(column(row, "highOutput")));
        headset.addChild("high output 2", flag(column(row, "highOutput2")));
        headset.addChild("bias", flag(column(row, "biasingVoltage")));
        headset.addValue("side tone level", column(row, "sideToneLevel"));
        headset.addValue("extended", column(row, "extended"));
        const std::string& event = column(row, "eventId");
        if (!event.empty()) headset.addValue("event", ex.nameOf(event));
    });
}

} // namespace tuna_export
