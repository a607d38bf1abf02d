// Configuration files: what a file holds that the export would not have written itself (device types
// of no named kind, a static route through an interface the unit lacks, routing on one unit only,
// RIP versions other than 1 and 2, references to things the file does not define) is kept by a load,
// and the file still round-trips.
#include "round_trip_support.h"

#include <string>
#include <vector>

using namespace round_trip;

namespace {

class ConfigKeptItems : public WorkingDirectory {
protected:
    std::vector<RowMap> rows(const std::string& table) { return tableRows(store(), table, "rowid"); }

    std::string idOf(const std::string& name)
    {
        auto lock = lock_store();
        auto found = store().idsByName.find(name);
        return found == store().idsByName.end() ? "<none>" : found->second;
    }

    // "name:column=value ..." of every row of the table, in the order of the rows.
    std::vector<std::string> summary(const std::string& table, const std::vector<std::string>& columns)
    {
        std::vector<std::string> out;
        for (RowMap& row : rows(table)) {
            std::string line = row["name"] + ":";
            for (const std::string& column : columns) line += " " + column + "=" + row[column];
            out.push_back(line);
        }
        return out;
    }
};

} // namespace

TEST_F(ConfigKeptItems, LoadKeepsWhatTheFileHolds)
{
    ASSERT_EQ(loadFile(fixture("kept_items.conf")), "{\n\t\"status\" : \"success\"\n}\n");
    const std::string unit = idOf("CU-1");

    // Device types of no named kind are crew stations; a type beginning like the telephone's is one.
    EXPECT_EQ(summary("crewStation", {"type", "line1"}),
              (std::vector<std::string>{"Box: type=XR-9 Field Box line1=true", "Headset: type=USB headset  line1=true",
                                        "Short: type=MVQ-2T line1=true"}));
    EXPECT_EQ(summary("telephone", {"type", "line1Enabled"}),
              (std::vector<std::string>{"Phone B: type=MVQ-2TS-B line1Enabled=true"}));
    EXPECT_EQ(rows("telephone").at(0)["line1Id"], idOf("Line B"));

    // A host address with a "/" taken whole; a route through a device the unit lacks, without a name.
    EXPECT_EQ(summary("staticRouting", {"targetAddress", "targetAddressAddress", "targetSubnet", "targetSubnetAddress",
                                        "targetSubnetMask", "gatewayInterface", "gatewayInterfaceName",
                                        "gatewayIpAddressAddress"}),
              (std::vector<std::string>{
                  ": targetAddress=true targetAddressAddress=192.168.2.0/24 targetSubnet=false targetSubnetAddress= "
                  "targetSubnetMask= gatewayInterface=false gatewayInterfaceName= gatewayIpAddressAddress=10.0.0.254",
                  ": targetAddress=false targetAddressAddress= targetSubnet=true targetSubnetAddress=10.2.0.0 "
                  "targetSubnetMask=255.255.0.0 gatewayInterface=true gatewayInterfaceName= "
                  "gatewayIpAddressAddress="}));

    // Routing rows for the unit with a routing node only, its RIP versions as the file gives them.
    EXPECT_EQ(summary("routingProtocols", {"parentId", "rip", "ripSendVersion", "ripReceiveVersion"}),
              (std::vector<std::string>{"CU-1: parentId=" + unit + " rip=false ripSendVersion= ripReceiveVersion=",
                                        "CU-1 @ppp_uplink: parentId=" + unit +
                                            " rip=true ripSendVersion=1 ripReceiveVersion=3"}));

    // References to nothing the file defines: the switches are on, the references empty.
    RowMap anna = rows("operatorGeneral").at(0);
    for (const auto& [column, value] : std::vector<std::pair<std::string, std::string>>{
             {"automaticRadio", "true"}, {"automaticRadioId", ""}, {"radioExclusive", "true"},
             {"conferenceEnabled", "true"}, {"conference", ""}, {"secondConferenceEnabled", "true"},
             {"secondConference", "Net 2"}, {"followOperatorEnabled", "true"}, {"followOperator", ""}})
        EXPECT_EQ(anna[column], value) << column;
    RowMap key = rows("keypadDisplayButton").at(0);
    EXPECT_EQ(key["conferenceRadioActive"] + " " + key["radio"], "true ");
    EXPECT_EQ(summary("rotaryDialButton", {"type", "user", "radio", "radioChosen", "route", "routeSource"}),
              (std::vector<std::string>{": type=Talk to user= radio=true radioChosen= route=true routeSource="}));
    EXPECT_EQ(summary("globalOverviewSipAliases", {"type", "parentId", "alias"}),
              (std::vector<std::string>{"sip_Anna: type=operator parentId=" + anna["id"] + " alias=2001",
                                        "sip_Ghost: type=operator parentId= alias=9"}));
}

// What the export cannot name it leaves out, so s1 differs from the file; from s1 on nothing moves.
TEST_F(ConfigKeptItems, RoundTrip)
{
    expectRoundTrip(fixture("kept_items.conf"), {"ids", "staticRouting", "routingProtocols", "operatorGeneral",
                                                 "keypadDisplayButton", "rotaryDialButton",
                                                 "globalOverviewSipAliases"});
    // The devices, the host address and the unit's link routing stay as they were.
    const std::string s1 = readFile("s1.conf");
    for (const char* kept : {"\t\t\t|type| = |USB headset |\n", "\t\t\t|type| = |MVQ-2TS-B|\n",
                             "\t\t\t|type| = |XR-9 Field Box|\n", "\t\t\t\t\t|route target| = |192.168.2.0/24|\n",
                             "\t\t\t\t\t\t|send version| = |1|\n", "\t\t|automatic radio|\n",
                             "\t\t|automatic conference|\n"})
        EXPECT_NE(s1.find(kept), std::string::npos) << kept;
}
