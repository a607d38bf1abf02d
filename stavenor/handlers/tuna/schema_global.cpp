// Installation-wide lists that units and operators refer to: conferences, events, headsets, the global
// phone book, radio models and SIP accounts.
#include "handlers/tuna/schema.h"

namespace schema {

void addGlobalTables(TableDefinitions& tables)
{
    tables["globalOverviewConferences"] = table({
        "id", "name", "description", "conferenceType", "multicastGroup", "port", "ttl", "sipExtension"});
    tables["globalEvents"] = table({
        "id", "name", "description", "textMessage", "audioFile", "repeats", "volume"});
    tables["globalOverviewHeadsets"] = table({
        "id", "name", "inputSensitivity", "inputSensitivity2", "inputGain", "outputGain", "outputGain2",
        "sideToneLevel", "biasingVoltage", "soundPressureLevel", "speechDetectionLevel",
        "speechDetectionSensitivity", "microphoneDetection", "asymmetricMicrophone", "asymmetricMicrophone2",
        "highOutput", "highOutput2", "extended", "eventId"});
    tables["globalOverviewPhoneBook"] = table({
        "id", "name", "contactType", "contactNumber", "sipAddress"});
    tables["globalOverviewRadioModels"] = table({
        "id", "name", "inputGain", "outputGain", "transmitReceiveDelay", "receiveTransmitDelay", "duplex",
        "capabilityMorvexAsciiCommands", "type", "sideTone", "sideToneLevel"});
    tables["globalOverviewSipAliases"] = table({
        "id", "name", "type", "parentId", "parentType", "alias", "password", "callNumber", "callerId"},
        {{"name", "=="}, {"id", "<>"}, {"parentId", "=="}});
    tables["globalOverviewSipAliases"].aliases = {"sipAccounts", "sipAliases"};
}

} // namespace schema
