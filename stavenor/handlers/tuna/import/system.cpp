// The settings row under "system", the radio models ("transceivers") and the headset models
// ("microphones").
#include "handlers/tuna/import/import.h"

namespace tuna_import {

void readSystemSettings(ImportContext& im, const ConfigNode& system)
{
    RowMap row;
    row["id"] = im.freshId();
    readText(system, "name", row, "name");
    readText(system, "filename", row, "filename");
    readText(system, "organization", row, "organization");
    readText(system, "language", row, "language");
    readText(system, "network key", row, "networkKey");
    readText(system, "multicast group", row, "multicastAddress");
    readText(system, "multicast ttl", row, "multicastTtl");
    readText(system, "sip trunk", row, "sipTrunkAddress");
    readText(system, "broadcast timeout", row, "timeout");
    row["broadcastTimeout"] = row["timeout"].empty() ? "false" : "true";

    const ConfigNode* filename = system.get("filename");
    im.result = filename ? filename->value : std::string();
    im.insert("cubSettings", row);
}

void readTransceivers(ImportContext& im, const ConfigNode& transceivers)
{
    for (const auto& model : transceivers.children) {
        RowMap row;
        row["name"] = model->key;
        row["id"] = im.freshId();
        readText(*model, "input gain", row, "inputGain");
        readText(*model, "output gain", row, "outputGain");
        readText(*model, "signal delay", row, "transmitReceiveDelay");
        readText(*model, "signal fade", row, "receiveTransmitDelay");
        std::string sideTone;
        model->getString("side tone", sideTone);
        row["sideTone"] = boolText(sideTone);
        readText(*model, "side tone level", row, "sideToneLevel");
        readText(*model, "direction", row, "duplex");
        const ConfigNode* type = model->get("connection type");
        row["type"] = type ? type->value : std::string("analog");
        if (model->get("capabilities", "morvex ascii commands")) row["capabilityMorvexAsciiCommands"] = "true";
        im.insert("globalOverviewRadioModels", row);
    }
}

void readMicrophones(ImportContext& im, const ConfigNode& microphones)
{
    for (const auto& headset : microphones.children) {
        RowMap row;
        row["biasingVoltage"] = "1";
        row["name"] = headset->key;
        row["id"] = im.freshId();
        readText(*headset, "input gain", row, "inputGain");
        readText(*headset, "output gain", row, "outputGain");
        readText(*headset, "output gain 2", row, "outputGain2");
        readText(*headset, "gain", row, "inputSensitivity");
        readText(*headset, "gain 2", row, "inputSensitivity2");
        readText(*headset, "detection level", row, "speechDetectionLevel");
        readText(*headset, "detection sensitivity", row, "speechDetectionSensitivity");
        readText(*headset, "mic detection", row, "microphoneDetection");
        readText(*headset, "asymetric mic", row, "asymmetricMicrophone");
        readText(*headset, "asymetric mic 2", row, "asymmetricMicrophone2");
        readText(*headset, "high output", row, "highOutput");
        readText(*headset, "high output 2", row, "highOutput2");
        readText(*headset, "extended", row, "extended");
        readText(*headset, "event", row, "eventId");
        readText(*headset, "bias", row, "biasingVoltage");
        readText(*headset, "side tone level", row, "sideToneLevel");

        for (const char* column : {"biasingVoltage", "microphoneDetection", "asymmetricMicrophone",
                                   "asymmetricMicrophone2", "highOutput", "highOutput2"})
            row[column] = boolText(row[column]);
        if (!row["eventId"].empty()) row["eventId"] = im.idOf(IdKind::Event, row["eventId"]);
        im.headsetIdsByName[row["name"]] = row["id"];
        im.insert("globalOverviewHeadsets", row);
    }
}

} // namespace tuna_import
