// The central units and the devices attached to each.
#include "handlers/tuna/schema.h"

namespace schema {

void addDeviceTables(TableDefinitions& tables)
{
    tables["centralUnits"] = table({
        "id", "name", "type", "line1Master", "disableLocalEcho", "ipAddress", "netMask", "useDhcp",
        "sipExchangeNumber", "sipDomain", "sipRegistrar", "ospf2RouterId", "ospf3RouterId"});
    tables["crewStation"] = table({
        "id", "name", "breltID", "type", "showSplash", "brightness", "contrast", "endpoint", "rate", "parity",
        "addOnH", "dataBits", "stopBits", "masterOperator", "slaveOperator", "line1", "line2", "line3",
        "line4", "line5", "line6", "line7", "line8", "line9", "line10", "line11", "line12"});
    tables["radio"] = table({
        "id", "name", "breltID", "type", "differential", "transmitTimeout", "timeout", "firstWarning",
        "secondWarning", "retransmissionDelay", "audioDelay", "operatorAudioDelay", "operatorDelay",
        "dataPortEndpoint", "dataPortRate", "synchronous", "rtsCtsFlowControl", "dataPortPppConnection",
        "dataPortPppConnectionLocalIp", "dataPortPppConnectionRemoteIp", "dataPortPppConnectionOptions",
        "controlPortEndpoint", "controlPortRate", "controlPortPppConnection",
        "controlPortPppConnectionLocalIp", "controlPortPppConnectionRemoteIp",
        "controlPortPppConnectionOptions", "remoteControl", "remoteControlConnection",
        "remoteControlIpAddress", "remoteControlEndpoint", "applicationPortEndpoint", "ipAddress", "netMask",
        "statusPortEndpoint", "tracePortEndpoint", "debugPortEndpoint", "force", "line1", "line2", "line3",
        "line4", "sipExtension", "remoteControlPort", "transmitRtpPort", "receiveRtpPort", "rtpLine1",
        "rtpLine2", "rtpLine3", "rtpLine4"});
    tables["telephone"] = table({
        "id", "name", "breltID", "type", "line1Enabled", "line1Id", "line1InputLevel", "line1OutputLevel",
        "line1DTMF", "line1LoginCode", "line1LogoutCode", "line1PbxAnswering", "line1LineDetection",
        "line1CallingTimeout", "line1SilenceTimeout", "line1SipExtension", "line2Enabled", "line2Id",
        "line2InputLevel", "line2OutputLevel", "line2DTMF", "line2LoginCode", "line2LogoutCode",
        "line2FieldPhone", "line2PbxAnswering", "line2LineDetection", "line2CallingTimeout",
        "line2SilenceTimeout", "line2SipExtension", "alarmTrigger1", "alarmEventId1", "alarmTrigger2",
        "alarmEventId2", "alarmTrigger3", "alarmEventId3", "alarmTrigger4", "alarmEventId4", "alarmTrigger5",
        "alarmEventId5", "alarmTrigger6", "alarmEventId6", "alarmTrigger7", "alarmEventId7", "alarmTrigger8",
        "alarmEventId8", "line1", "line2", "line3", "line4", "line5", "line6", "line7", "line8", "line9",
        "line10", "line11", "line12"});
    tables["telephoneLine"] = table({
        "id", "name", "parentId", "line"}, {});
    tables["serialPort"] = table({
        "id", "name", "breltID", "endpoint", "rate", "parity", "dataBits", "stopBits", "rts", "dtr", "rs485",
        "line1", "line2", "line3", "line4"});
    tables["speaker"] = table({
        "id", "name", "breltID", "playAnnouncements", "volume", "line1", "sipExtension"});
    tables["usbAudio"] = table({
        "id", "name", "breltID", "inputGain", "outputGain", "masterOperator", "line1", "line2"});
}

} // namespace schema
