// The operators and what each one has: headsets, settings menu, keypad and rotary buttons, monitors
// and a private phone book.
#include "handlers/tuna/schema.h"

namespace schema {

void addOperatorTables(TableDefinitions& tables)
{
    tables["operatorGeneral"] = table({
        "id", "name", "language", "conference", "secondConference", "followOperator", "headset", "phonebook",
        "automaticRadio", "radioShared", "radioExclusive", "radioPriority", "radioCrosstalk",
        "onDemandInitiator", "broadcast", "autoDisconnect", "radioVox", "liveMode", "defaultVolume",
        "callTimeout", "localVoxTimeout", "maxConnectedRadios", "sideTone", "settingMenuTimeout",
        "sipExtension", "conferenceEnabled", "secondConferenceEnabled", "followOperatorEnabled",
        "automaticRadioId"});
    tables["operatorHeadsets"] = table({
        "id", "name", "operatorId", "headsetId"});
    tables["selectedHeadsets"] = table({
        "id", "name", "headsetId", "operatorId"});
    tables["operatorSettingsMenu"] = table({
        "id", "name", "position", "operatorId"}, {});
    tables["keypadDisplayButton"] = table({
        "id", "name", "operatorId", "buttonLabelPrefix", "parentButtonId", "type", "icon", "iconUpperBadge",
        "iconLowerBadge", "subIcon", "subIconUpperBadge", "subIconLowerBadge", "infoShowConnections",
        "showActivity", "conference", "fieldPhone", "pabxPhone", "receiveCalls", "conferenceAutocall",
        "remoteUser", "connectToOperator", "conferenceRadioActive", "radio", "radioShared", "radioExclusive",
        "radioPriority", "remoteRadio", "crosstalk", "sourceEndpoint", "destinationEndpoint", "monitorSource",
        "monitorDestination", "monitorMode", "monitorGain", "monitorShowActivity", "retransmissionRadio1",
        "retransmissionRadio2", "shiftTimeout", "gpsMode", "holdFunction", "shiftFunction",
        "morvexAllowModify", "submenuName"}, {});
    tables["rotaryDialButton"] = table({
        "id", "operatorId", "buttonNumber", "type", "user", "conference", "autoCall", "phoneLine",
        "phoneNumber", "radio", "radioChosen", "radioShared", "radioExclusive", "radioPriority",
        "radioCrosstalk", "radio2", "radio2Chosen", "radio2Shared", "radio2Exclusive", "radio2Priority",
        "radio2Crosstalk", "retransmission", "route", "routeSource", "routeDestination"});
    tables["monitors"] = table({
        "id", "name", "speakerId", "source", "mode", "gain"});
    tables["selectedMonitors"] = table({
        "id", "name", "parentId", "sourceId", "destinationId", "type", "mode", "gain"},
        {{"parentId", "=="}, {"id", "<>"}, {"name", "=="}, {"sourceId", "=="}});
    tables["privatePhoneBook"] = table({
        "id", "name", "operatorId", "contactType", "contactNumber", "sipAddress"},
        {{"name", "=="}, {"id", "<>"}, {"operatorId", "=="}});
}

} // namespace schema
