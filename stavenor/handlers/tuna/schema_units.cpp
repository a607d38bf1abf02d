// Per-unit programs, services, PPP links, routing, static routes and SIP trunks, with the network
// endpoints and routes.
#include "handlers/tuna/schema.h"

namespace schema {

void addUnitTables(TableDefinitions& tables)
{
    tables["daemons"] = table({
        "id", "name", "breltID", "application", "path", "parameters", "mode", "delay", "noAuto", "position",
        "enabled"}, {});
    tables["services"] = table({
        "id", "name", "breltID", "nmeaGps", "nmeaEndpoint", "distributedDis", "ktx", "ospf", "ospf3", "rip",
        "ripng", "bgp", "overlord", "overlordPassword"}, {});
    tables["endpoint"] = table({
        "id", "name", "parentId", "type", "parentType", "listeningPort", "destinationAddress",
        "destinationPort", "path"});
    tables["pppProperties"] = table({
        "id", "name", "parentId", "parentType", "localIp", "remoteIp", "options"}, {});
    tables["routingProtocols"] = table({
        "id", "name", "parentId", "pppId", "parentType", "parentTypeName", "interfaceName", "rip",
        "ripSendVersion", "ripReceiveVersion", "ripng", "ospf2", "ospf2Area", "ospf2Priority", "ospf3",
        "ospf3Area", "ospf3Priority"});
    tables["staticRouting"] = table({
        "id", "name", "breltID", "targetAddress", "targetAddressAddress", "targetSubnet",
        "targetSubnetAddress", "targetSubnetMask", "gatewayInterface", "gatewayInterfaceName",
        "gatewayIpAddress", "gatewayIpAddressAddress", "metric"}, {});
    tables["route"] = table({
        "id", "name", "sourceId", "destinationId", "parentId", "parentType"});
    tables["sipTrunks"] = table({
        "id", "name", "breltID", "target", "prefix", "pattern", "codec"},
        {{"name", "=="}, {"id", "<>"}, {"breltID", "=="}});
}

} // namespace schema
