// Configuration files: each central unit's run list, endpoints, PPP links, static routes, routing,
// SIP accounts and trunks, the operators' SIP aliases and the routes between endpoints, both ways.
#include "handlers/tuna/export/export.h"
#include "handlers/tuna/import/import.h"

#include "round_trip_support.h"

#include <set>
#include <utility>
#include <vector>

using namespace round_trip;

namespace {

using Rows = std::vector<std::pair<std::string, RowMap>>; // table, row

class ConfigNetwork : public WorkingDirectory {
protected:
    void import(const std::string& text)
    {
        ConfigNode root;
        ASSERT_EQ(root.loadFromText(text), 0);
        auto lock = lock_store();
        store().resetConfiguration();
        tuna_import::importTree(store(), root);
    }

    void insert(const Rows& rows)
    {
        auto lock = lock_store();
        for (const auto& [table, row] : rows) {
            std::string error;
            ASSERT_EQ(executeSql(store().database, buildInsert(table, row), &error), SQLITE_OK) << table << ": " << error;
        }
    }

    std::vector<RowMap> rows(const std::string& table, const std::string& orderBy = "rowid")
    {
        return tableRows(store(), table, orderBy);
    }

    std::string exported()
    {
        auto lock = lock_store();
        tuna_export::ExportContext ex(store());
        tuna_export::buildConfigurationTree(ex);
        return ex.root.saveToText();
    }

    // The lines of one child of "nodes", its own line included.
    static std::string unitText(const std::string& text, const std::string& unit)
    {
        size_t start = text.find("\n\t|" + unit + "|\n");
        if (start == std::string::npos) return {};
        size_t end = start + 1;
        do end = text.find('\n', end) + 1;
        while (end < text.size() && text.compare(end, 2, "\t\t") == 0);
        return text.substr(start + 1, end - start - 1);
    }

    // The text from the line "|network|" to the line "|system|": the routes and the units.
    static std::string networkAndNodes(const std::string& text)
    {
        size_t start = text.find("\n|network|\n");
        size_t end = text.find("\n|system|\n");
        return start == std::string::npos || end == std::string::npos ? std::string() : text.substr(start, end - start);
    }

    // The name of the unit that owns the row of that id, through an endpoint's, a link's or a
    // routing row's parent.
    std::string unitOf(const std::string& id)
    {
        auto lock = lock_store();
        Sql select("SELECT centralUnits.name FROM centralUnits WHERE id = (SELECT parentId FROM endpoint WHERE id=");
        select.bind(id);
        select += " UNION SELECT parentId FROM pppProperties WHERE id=";
        select.bind(id);
        select += ")";
        Statement statement(store().database, select);
        return statement.next() ? statement.text(0) : "<none>";
    }
};

RowMap unitU() { return {{"id", "id90"}, {"name", "U"}, {"type", "BRELT-10TA"}}; }

} // namespace

// The fixture holds two units with radios on both kinds of link, PPP links (one name in both
// units), static routes over every kind of gateway, every routing protocol, run lists, SIP
// accounts and trunks, and routes between endpoints of both units, one name standing in both.
TEST_F(ConfigNetwork, RoundTripOfTwoUnits)
{
    Result r = runRoundTrip(fixture("network.conf"));
    EXPECT_EQ(withoutDate(r.s1), withoutDate(r.s2));
    // The radios, with their ports, links and what runs over them, are read and written by the
    // devices section. Until that is built, a load leaves them out (the id pass still gives them
    // ids, which a save then lacks); with it, every table holds and the whole text is the fixture's.
    const bool devices = !r.afterS1["radio"].empty();
    for (const auto& [table, rows] : r.afterF) {
        if (!devices && table == "ids") continue;
        EXPECT_EQ(rows, r.afterS1[table]) << "table " << table;
    }
    for (const char* table : {"daemons", "endpoint", "pppProperties", "staticRouting", "routingProtocols", "route",
                              "sipTrunks", "globalOverviewSipAliases"})
        EXPECT_GT(r.afterS1[table].size(), 0u) << table;
    // The fixture is written as the export writes it.
    if (devices) {
        EXPECT_EQ(networkAndNodes(r.s1), networkAndNodes(readFile(fixture("network.conf"))));
    }

    // The Ethernet of the unit that runs OSPF keeps its settings beside the service keys.
    std::vector<RowMap> ethernet;
    for (RowMap& row : rows("routingProtocols"))
        if (row["parentType"] == "centralUnit" && row["name"] == "Alpha") ethernet.push_back(row);
    ASSERT_EQ(ethernet.size(), 1u);
    EXPECT_EQ(ethernet[0]["ospf2"], "true");
    EXPECT_EQ(ethernet[0]["ospf2Area"], "0.0.0.0");
    EXPECT_EQ(ethernet[0]["ospf2Priority"], "10");
    EXPECT_EQ(ethernet[0]["ospf3"], "true");
    EXPECT_EQ(ethernet[0]["ospf3Priority"], "5");
    EXPECT_EQ(ethernet[0]["rip"], "true");
    EXPECT_EQ(ethernet[0]["ripSendVersion"], "1");
    EXPECT_EQ(ethernet[0]["ripReceiveVersion"], "2");
    EXPECT_EQ(ethernet[0]["ripng"], "false");
    EXPECT_EQ(ethernet[0]["parentTypeName"], modelNames.at("BRELT-10TA"));
}

// Both units have a PPP link "uplink" with settings of its own, and an endpoint "dis" that routes
// name: after each load every routing row and route is bound within its own unit.
TEST_F(ConfigNetwork, EqualNamesInTwoUnitsStayWithTheirUnit)
{
    ASSERT_EQ(loadFile(fixture("network.conf")), "{\n\t\"status\" : \"success\"\n}\n");
    for (int load = 0; load < 2; ++load) {
        SCOPED_TRACE(load ? "after loading the saved file" : "after loading the fixture");
        int links = 0;
        for (RowMap& row : rows("routingProtocols")) {
            if (row["parentType"] != "ppp" || row["name"].find("@ppp_uplink") == std::string::npos) continue;
            ++links;
            const std::string unit = row["name"].substr(0, row["name"].find(' '));
            EXPECT_EQ(unitOf(row["pppId"]), unit);
            std::string owner;
            for (RowMap& u : rows("centralUnits"))
                if (u["id"] == row["parentId"]) owner = u["name"];
            EXPECT_EQ(owner, unit);
            if (unit == "Alpha") {
                EXPECT_EQ(row["ospf3"] + row["ripng"] + row["rip"], "truetruefalse");
                EXPECT_EQ(row["ospf3Area"], "0.0.0.2");
            } else {
                EXPECT_EQ(row["ospf3"] + row["ripng"] + row["rip"], "falsefalsetrue");
                EXPECT_EQ(row["ripSendVersion"], "1");
            }
        }
        EXPECT_EQ(links, 2);

        // Routes, as (source, its unit, destination, its unit).
        std::multiset<std::string> routes;
        for (RowMap& row : rows("route")) {
            std::string source, destination;
            for (RowMap& endpoint : rows("endpoint")) {
                if (endpoint["id"] == row["sourceId"]) source = endpoint["name"];
                if (endpoint["id"] == row["destinationId"]) destination = endpoint["name"];
            }
            routes.insert(source + "@" + unitOf(row["sourceId"]) + " -> " + destination + "@" +
                          unitOf(row["destinationId"]));
        }
        std::multiset<std::string> expected = {"dis@Bravo -> dis@Alpha", "nav@Alpha -> ctl@Alpha",
                                               "nav@Alpha -> dis@Alpha", "nav@Alpha -> rtp@Bravo"};
        // A radio's endpoint, once the devices section reads the radios.
        if (!rows("radio").empty()) expected.insert("A1 data@<none> -> dis@Bravo");
        EXPECT_EQ(routes, expected);
        ASSERT_EQ(saveFile("again.conf"), 0);
        ASSERT_EQ(loadFile("again.conf"), "{\n\t\"status\" : \"success\"\n}\n");
    }
}

// What the export writes for given rows, case by case.
TEST_F(ConfigNetwork, ExportedTexts)
{
    const RowMap otherUnit = {{"id", "id91"}, {"name", "V"}};
    struct Case {
        const char* what;
        Rows rows;
        std::string expected; // within unit U's node, or the whole text when it starts with "|"
    } cases[] = {
        {"run list in position order; a text position counts as 0, a disabled program is left out",
         {{"daemons", {{"name", "c"}, {"breltID", "id90"}, {"position", "10"}, {"enabled", "true"}, {"application", "cc"}}},
          {"daemons", {{"name", "b"}, {"breltID", "id90"}, {"position", " 3"}, {"enabled", "true"}, {"noAuto", "true"},
                       {"mode", "wait"}, {"delay", "2"}, {"path", "/p"}, {"parameters", "-x"}}},
          {"daemons", {{"name", "a"}, {"breltID", "id90"}, {"position", "x"}, {"enabled", "true"}}},
          {"daemons", {{"name", "off"}, {"breltID", "id90"}, {"position", "1"}, {"enabled", "false"}}},
          {"daemons", {{"name", "lost"}, {"breltID", "id90"}, {"position", "10"}, {"enabled", "true"}}},
          {"daemons", {{"name", "elsewhere"}, {"breltID", "id91"}, {"position", "2"}, {"enabled", "true"}}}},
         "\t\t|rundis|\n\t\t\t|run|\n\t\t\t\t|a|\n\t\t\t\t|b|\n\t\t\t\t\t|delay| = |2|\n\t\t\t\t\t|mode| = |wait|\n"
         "\t\t\t\t\t|noauto| = |1|\n\t\t\t\t\t|parameters| = |-x|\n\t\t\t\t\t|path| = |/p|\n\t\t\t\t|lost|\n\t\t|services|\n"},
        {"the first PPP link of a unit is ppp12, with its name as endpoint; other parents are not counted",
         {{"pppProperties", {{"id", "p1"}, {"name", "far"}, {"parentId", "id91"}, {"parentType", "centralUnit"}}},
          {"pppProperties", {{"id", "p2"}, {"name", "R data"}, {"parentId", "id90"}, {"parentType", "radioData"}}},
          {"pppProperties", {{"id", "p3"}, {"name", "uplink"}, {"parentId", "id90"}, {"parentType", "centralUnit"},
                             {"localIp", "1.1.1.1"}, {"options", "noccp"}}},
          {"pppProperties", {{"id", "p4"}, {"name", "second"}, {"parentId", "id90"}, {"parentType", "centralUnit"}}}},
         "\t\t\t|interfaces|\n\t\t\t\t|br0|\n\t\t\t\t\t|ip address| = |/|\n\t\t\t\t|ppp12|\n"
         "\t\t\t\t\t|endpoint| = |@ppp_uplink|\n\t\t\t\t\t|local ip| = |1.1.1.1|\n\t\t\t\t\t|options| = |noccp|\n"
         "\t\t\t\t\t|remote ip|\n\t\t\t\t|ppp13|\n\t\t\t\t\t|endpoint| = |@ppp_second|\n\t\t\t\t\t|local ip|\n"
         "\t\t\t\t\t|options|\n\t\t\t\t\t|remote ip|\n\t\t\t|routing|\n"},
        {"a link's name is written whole, however long",
         {{"pppProperties", {{"name", std::string(200, 'n')}, {"parentId", "id90"}, {"parentType", "centralUnit"}}}},
         "\t\t\t\t|ppp12|\n\t\t\t\t\t|endpoint| = |@ppp_" + std::string(200, 'n') + "|\n"},
        {"a static route's target device by its interface; one over an unknown interface takes no number",
         {{"pppProperties", {{"id", "p3"}, {"name", "uplink"}, {"parentId", "id90"}, {"parentType", "centralUnit"}}},
          {"staticRouting", {{"breltID", "id90"}, {"targetAddress", "true"}, {"targetAddressAddress", "10.1.2.3"},
                             {"gatewayInterface", "true"}, {"gatewayInterfaceName", "U Ethernet"}, {"metric", "4"}}},
          {"staticRouting", {{"breltID", "id90"}, {"targetAddress", "true"}, {"targetAddressAddress", "10.9.9.9"},
                             {"gatewayInterface", "true"}, {"gatewayInterfaceName", "nothing"}}},
          {"staticRouting", {{"breltID", "id90"}, {"targetSubnet", "true"}, {"targetSubnetAddress", "10.0.0.0"},
                             {"targetSubnetMask", "255.0.0.0"}, {"gatewayInterface", "true"},
                             {"gatewayInterfaceName", "uplink"}}},
          {"staticRouting", {{"breltID", "id90"}, {"targetSubnet", "true"}, {"targetSubnetAddress", "192.168.2.0"},
                             {"targetSubnetMask", "24"}, {"gatewayIpAddress", "true"},
                             {"gatewayIpAddressAddress", "192.168.1.1"}}},
          {"staticRouting", {{"breltID", "id91"}, {"targetAddress", "true"}, {"targetAddressAddress", "10.7.7.7"},
                             {"gatewayIpAddressAddress", "1.1.1.1"}}}},
         "\t\t\t|static routes|\n\t\t\t\t|0|\n\t\t\t\t\t|metric| = |4|\n\t\t\t\t\t|route target| = |10.1.2.3|\n"
         "\t\t\t\t\t|target device| = |br0|\n\t\t\t\t|1|\n\t\t\t\t\t|route target| = |10.0.0.0/255.0.0.0|\n"
         "\t\t\t\t\t|target device| = |ppp12|\n\t\t\t\t|2|\n\t\t\t\t\t|route target| = |192.168.2.0/24|\n"
         "\t\t\t\t\t|target ip| = |192.168.1.1|\n\t\t|rundis|\n"},
        {"a SIP account's key is its name without the prefix",
         {{"globalOverviewSipAliases", {{"name", "sip_account_7"}, {"type", "account"}, {"parentId", "id90"},
                                        {"callNumber", "7"}, {"callerId", "Seven"}}},
          {"globalOverviewSipAliases", {{"name", "sip_account"}, {"type", "account"}, {"parentId", "id90"}}},
          {"globalOverviewSipAliases", {{"name", "desk"}, {"type", "account"}, {"parentId", "id90"}, {"password", "pw"}}},
          {"globalOverviewSipAliases", {{"name", "sip_account_8"}, {"type", "account"}, {"parentId", "id91"}}},
          {"globalOverviewSipAliases", {{"name", "sip_x"}, {"type", "operator"}, {"parentId", "id90"}}}},
         "\t\t|sip|\n\t\t\t|accounts|\n\t\t\t\t|7|\n\t\t\t\t\t|callerid| = |Seven|\n\t\t\t\t\t|number| = |7|\n"
         "\t\t\t\t|desk|\n\t\t\t\t\t|password| = |pw|\n\t\t\t\t|sip_account|\n\t\t\t|trunks|\n"},
        {"a SIP trunk's key is its name without the prefix",
         {{"sipTrunks", {{"name", "sip_trunk_pstn"}, {"breltID", "id90"}, {"codec", "g711a"}, {"target", "10.0.0.1"}}},
          {"sipTrunks", {{"name", "sip_trunk"}, {"breltID", "id90"}}},
          {"sipTrunks", {{"name", "carrier"}, {"breltID", "id90"}, {"prefix", "0"}, {"pattern", "0."}}},
          {"sipTrunks", {{"name", "sip_trunk_far"}, {"breltID", "id91"}}}},
         "\t\t\t|trunks|\n\t\t\t\t|carrier|\n\t\t\t\t\t|pattern| = |0.|\n\t\t\t\t\t|prefix| = |0|\n\t\t\t\t|pstn|\n"
         "\t\t\t\t\t|codec| = |g711a|\n\t\t\t\t\t|target| = |10.0.0.1|\n\t\t\t\t|sip_trunk|\n\t\t|type|"},
        {"endpoints by type; the GPS receiver's is left out",
         {{"endpoint", {{"id", "e1"}, {"name", "data"}, {"parentId", "id90"}, {"type", "System"},
                        {"parentType", "centralUnit"}}},
          {"endpoint", {{"id", "e2"}, {"name", "gps"}, {"parentId", "id90"}, {"parentType", "nmeaEndpoint"}}},
          {"endpoint", {{"id", "e3"}, {"name", "u"}, {"parentId", "id90"}, {"type", "UDP"}, {"parentType", "centralUnit"},
                        {"listeningPort", "1"}, {"destinationPort", "2"}}},
          {"endpoint", {{"id", "e4"}, {"name", "t"}, {"parentId", "id90"}, {"type", "TCP"}, {"parentType", "centralUnit"},
                        {"listeningPort", "3"}, {"destinationPort", "4"}, {"destinationAddress", "10.0.0.4"}}},
          {"endpoint", {{"id", "e5"}, {"name", "odd"}, {"parentId", "id90"}, {"type", "udp"}, {"parentType", "radioData"}}}},
         "\t\t\t|endpoints|\n\t\t\t\t|data|\n\t\t\t\t\t|destination path| = |/tmp/dis_socket.w.data|\n"
         "\t\t\t\t\t|source path| = |/tmp/dis_socket.r.data|\n\t\t\t\t\t|type| = |unix|\n\t\t\t\t|odd|\n\t\t\t\t|t|\n"
         "\t\t\t\t\t|source port| = |3|\n\t\t\t\t\t|type| = |tcp|\n\t\t\t\t|u|\n\t\t\t\t\t|destination port| = |2|\n"
         "\t\t\t\t\t|source port| = |1|\n\t\t\t\t\t|type| = |udp|\n\t\t\t|interfaces|\n"},
        {"a route with several destinations, numbered by the source names' byte order",
         {{"endpoint", {{"id", "ea"}, {"name", "a"}, {"parentId", "id90"}}},
          {"endpoint", {{"id", "eb"}, {"name", "b"}, {"parentId", "id90"}}},
          {"endpoint", {{"id", "ec"}, {"name", "c"}, {"parentId", "id90"}}},
          {"endpoint", {{"id", "eB"}, {"name", "B"}, {"parentId", "id90"}}},
          {"route", {{"sourceId", "ea"}, {"destinationId", "eb"}}},
          {"route", {{"sourceId", "ea"}, {"destinationId", "ec"}}},
          {"route", {{"sourceId", "eB"}, {"destinationId", "eb"}}},
          {"route", {{"sourceId", "ea"}, {"destinationId", "eb"}}}},
         "|network|\n\t|routes|\n\t\t|0|\n\t\t\t|destination| = |b|\n\t\t\t|source| = |B|\n\t\t|1|\n"
         "\t\t\t|destinations|\n\t\t\t\t|b|\n\t\t\t\t|b|\n\t\t\t\t|c|\n\t\t\t|source| = |a|\n|nodes|\n"},
        {"routing: services, router ids, and each radio link on the radio's first line",
         {{"services", {{"breltID", "id90"}, {"ospf", "true"}, {"bgp", "true"}, {"rip", "false"}}},
          {"radio", {{"id", "r1"}, {"name", "R"}, {"breltID", "id90"}, {"line3", "true"}, {"line4", "true"}}},
          {"radio", {{"id", "r2"}, {"name", "Unwired"}, {"breltID", "id90"}}},
          {"routingProtocols", {{"parentId", "id90"}, {"parentType", "centralUnit"}, {"rip", "false"}}},
          {"routingProtocols", {{"parentId", "r1"}, {"parentType", "radioData"}, {"rip", "true"},
                                {"ripSendVersion", "1"}, {"ripReceiveVersion", "1 "}}},
          {"routingProtocols", {{"parentId", "r1"}, {"parentType", "radioControl"}, {"ripng", "true"}}},
          {"routingProtocols", {{"parentId", "r1"}, {"parentType", "radioUsb"}, {"ospf2", "true"}, {"ospf2Area", "5"}}},
          {"routingProtocols", {{"parentId", "r2"}, {"parentType", "radioData"}, {"rip", "true"}}}},
         "\t\t\t|routing|\n\t\t\t\t|bgp|\n\t\t\t\t|ospf|\n\t\t\t\t|ospf-router-id|\n\t\t\t\t|ospf3-router-id|\n"
         "\t\t\t\t|ppp2|\n\t\t\t\t\t|rip|\n\t\t\t\t\t\t|enabled| = |1|\n\t\t\t\t\t\t|receive version| = |2|\n"
         "\t\t\t\t\t\t|send version| = |1|\n\t\t\t\t\t|type| = |2|\n\t\t\t\t|ppp6|\n\t\t\t\t\t|ripng|\n"
         "\t\t\t\t\t\t|enabled| = |1|\n\t\t\t\t\t|type| = |3|\n\t\t\t\t|radio3|\n\t\t\t\t\t|ospf|\n"
         "\t\t\t\t\t\t|area| = |5|\n\t\t\t\t\t\t|enabled| = |1|\n\t\t\t\t\t\t|priority|\n\t\t\t\t\t|type| = |5|\n"
         "\t\t\t|static routes|\n"},
        {"the PPP links' routing by each link's own row, also for two links of one name; another unit's "
         "link under the empty name",
         {{"centralUnits", otherUnit},
          {"pppProperties", {{"id", "p1"}, {"name", "uplink"}, {"parentId", "id90"}, {"parentType", "centralUnit"}}},
          {"pppProperties", {{"id", "p2"}, {"name", "uplink"}, {"parentId", "id90"}, {"parentType", "centralUnit"}}},
          {"pppProperties", {{"id", "p9"}, {"name", "uplink"}, {"parentId", "id91"}, {"parentType", "centralUnit"}}},
          {"routingProtocols", {{"parentId", "id90"}, {"pppId", "p2"}, {"parentType", "ppp"}, {"ospf3", "true"}}},
          {"routingProtocols", {{"parentId", "id90"}, {"pppId", "p1"}, {"parentType", "ppp"}, {"ripng", "true"}}},
          {"routingProtocols", {{"parentId", "id90"}, {"pppId", "p9"}, {"parentType", "ppp"}, {"rip", "true"}}}},
         "\t\t\t|routing|\n\t\t\t\t||\n\t\t\t\t\t|rip|\n\t\t\t\t\t\t|enabled| = |1|\n"
         "\t\t\t\t\t\t|receive version| = |2|\n\t\t\t\t\t\t|send version| = |2|\n\t\t\t\t\t|type| = |4|\n"
         "\t\t\t\t|ospf-router-id|\n\t\t\t\t|ospf3-router-id|\n\t\t\t\t|ppp12|\n\t\t\t\t\t|ripng|\n"
         "\t\t\t\t\t\t|enabled| = |1|\n\t\t\t\t\t|type| = |4|\n\t\t\t\t|ppp13|\n\t\t\t\t\t|ospf3|\n"
         "\t\t\t\t\t\t|area|\n\t\t\t\t\t\t|enabled| = |1|\n\t\t\t\t\t\t|priority|\n\t\t\t\t\t|type| = |4|\n"
         "\t\t\t|static routes|\n"},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            auto lock = lock_store();
            store().resetConfiguration();
        }
        insert({{"centralUnits", unitU()}});
        insert(c.rows);
        std::string text = exported();
        std::string where = c.expected[0] == '|' ? text : unitText(text, "U");
        EXPECT_NE(where.find(c.expected), std::string::npos) << where;
    }
}

// A static route's target, read and written back: the text stays as it was. A "/" makes a subnet
// only before the last "." (or without any "."); otherwise the target is a host address, whole.
TEST_F(ConfigNetwork, StaticRouteTargets)
{
    struct Case {
        const char* target;
        const char* address; // targetAddressAddress, or subnet address and mask joined by " / "
        bool subnet;
    } cases[] = {
        {"10.1.2.3", "10.1.2.3", false},
        {"10.1.0.0/255.255.0.0", "10.1.0.0 / 255.255.0.0", true},
        {"192.168.2.0/24", "192.168.2.0/24", false},
        {"0.0.0.0/0", "0.0.0.0/0", false},
        {"10.1/16.0", "10.1 / 16.0", true},
        {"fe80::/10", "fe80:: / 10", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        import(std::string("|nodes|\n\t|U|\n\t\t|network|\n\t\t\t|static routes|\n\t\t\t\t|7|\n\t\t\t\t\t|route target| = |") +
               c.target + "|\n\t\t\t\t\t|target ip| = |10.0.0.1|\n");
        auto routes = rows("staticRouting");
        ASSERT_EQ(routes.size(), 1u);
        RowMap& row = routes[0];
        EXPECT_EQ(row["targetSubnet"], c.subnet ? "true" : "false");
        EXPECT_EQ(row["targetAddress"], c.subnet ? "false" : "true");
        EXPECT_EQ(c.subnet ? row["targetSubnetAddress"] + " / " + row["targetSubnetMask"] : row["targetAddressAddress"],
                  c.address);
        EXPECT_EQ(row["gatewayIpAddress"], "true");
        EXPECT_EQ(row["gatewayIpAddressAddress"], "10.0.0.1");
        EXPECT_NE(exported().find(std::string("\t\t\t\t|0|\n\t\t\t\t\t|route target| = |") + c.target +
                                  "|\n\t\t\t\t\t|target ip| = |10.0.0.1|\n"),
                  std::string::npos);
    }

    // Every route with a target and a gateway, also an empty one or a device the unit lacks.
    import("|nodes|\n\t|U|\n\t\t|network|\n\t\t\t|interfaces|\n\t\t\t\t|ppp9|\n\t\t\t\t\t|endpoint| = |@ppp_link|\n"
           "\t\t\t|static routes|\n"
           "\t\t\t\t|a|\n\t\t\t\t\t|target ip| = |10.0.0.1|\n"                                      // no target
           "\t\t\t\t|b|\n\t\t\t\t\t|route target|\n\t\t\t\t\t|target ip| = |10.0.0.1|\n"            // empty target
           "\t\t\t\t|c|\n\t\t\t\t\t|route target| = |10.0.0.3|\n"                                    // no gateway
           "\t\t\t\t|d|\n\t\t\t\t\t|route target| = |10.0.0.4|\n\t\t\t\t\t|target device| = |ppp0|\n" // no such
           "\t\t\t\t|e|\n\t\t\t\t\t|route target| = |10.0.0.5|\n\t\t\t\t\t|target device| = |ppp9|\n"
           "\t\t\t\t|f|\n\t\t\t\t\t|route target| = |10.0.0.6|\n\t\t\t\t\t|target device| = |br0|\n"
           "\t\t\t\t\t|target ip| = |10.0.0.66|\n"
           "\t\t\t\t|g|\n\t\t\t\t\t|metric| = |3|\n\t\t\t\t\t|route target| = |10.0.0.7|\n\t\t\t\t\t|target device| = |br0|\n"
           "\t\t\t\t|h|\n\t\t\t\t\t|route target| = |10.0.0.8|\n\t\t\t\t\t|target ip|\n"               // empty gateway
           "\t|V|\n\t\t|network|\n\t\t\t|interfaces|\n\t\t\t\t|ppp0|\n\t\t\t\t\t|endpoint| = |@ppp_x|\n");
    std::vector<std::string> routes;
    for (RowMap& row : rows("staticRouting"))
        routes.push_back(row["targetAddress"] + " " + row["targetAddressAddress"] + " " + row["gatewayInterface"] + " " +
                         row["gatewayInterfaceName"] + " " + row["gatewayIpAddress"] + " " +
                         row["gatewayIpAddressAddress"] + " " + row["metric"]);
    EXPECT_EQ(routes, (std::vector<std::string>{"true  false  true 10.0.0.1 ", "true 10.0.0.4 true  false  ",
                                                "true 10.0.0.5 true link false  ", "true 10.0.0.6 false  true 10.0.0.66 ",
                                                "true 10.0.0.7 true U Ethernet false  3", "true 10.0.0.8 false  true  "}));
    // The export leaves out empty values and a route through no interface of the unit; the next
    // load then skips what lacks its target or gateway.
    std::string text = exported();
    EXPECT_EQ(text.find("10.0.0.4"), std::string::npos);
    for (const char* written : {"\t\t\t\t|0|\n\t\t\t\t\t|target ip| = |10.0.0.1|\n",
                                "\t\t\t\t|3|\n\t\t\t\t\t|metric| = |3|\n\t\t\t\t\t|route target| = |10.0.0.7|\n",
                                "\t\t\t\t|4|\n\t\t\t\t\t|route target| = |10.0.0.8|\n"})
        EXPECT_NE(text.find(written), std::string::npos) << written;
}

// The routing node holds the unit's router ids and its services beside the routed interfaces:
// only the interfaces count, and only a child with a type is one.
TEST_F(ConfigNetwork, RoutingNodeReadsOnlyInterfaces)
{
    import("|nodes|\n\t|U|\n\t\t|type| = |BRELT-10TA|\n\t\t|network|\n\t\t\t|routing|\n"
           "\t\t\t\t|bgp|\n"
           "\t\t\t\t|br0|\n\t\t\t\t\t|ospf|\n\t\t\t\t\t\t|area| = |0.0.0.1|\n\t\t\t\t\t\t|enabled| = |1|\n"
           "\t\t\t\t\t|rip|\n\t\t\t\t\t\t|enabled| = |1|\n\t\t\t\t\t\t|send version| = |1|\n\t\t\t\t\t|type| = |1|\n"
           "\t\t\t\t|ospf|\n\t\t\t\t|ospf-router-id| = |1.1.1.1|\n\t\t\t\t|ospfv3|\n"
           "\t\t\t\t|stray|\n\t\t\t\t\t|ripng|\n"                                       // no type
           "\t\t\t\t|ppp0|\n\t\t\t\t\t|rip|\n\t\t\t\t\t|type| = |2|\n"                   // no radio on line 1
           "\t\t\t\t|ppp12|\n\t\t\t\t\t|rip|\n\t\t\t\t\t|type| = |4|\n"                  // no such link
           "\t\t\t\t|radio9|\n\t\t\t\t\t|rip|\n\t\t\t\t\t|type| = |6|\n"
           "\t\t\t\t|rip|\n\t\t\t\t|ripng|\n"
           "\t\t|services|\n");
    auto routing = rows("routingProtocols");
    ASSERT_EQ(routing.size(), 1u);
    RowMap& ethernet = routing[0];
    EXPECT_EQ(ethernet["name"], "U");
    EXPECT_EQ(ethernet["interfaceName"], "Ethernet");
    EXPECT_EQ(ethernet["parentTypeName"], modelNames.at("BRELT-10TA"));
    EXPECT_EQ(ethernet["ospf2"] + ethernet["rip"] + ethernet["ripng"] + ethernet["ospf3"], "truetruefalsefalse");
    EXPECT_EQ(ethernet["ospf2Area"], "0.0.0.1");
    EXPECT_EQ(ethernet["ripSendVersion"], "1");
    EXPECT_EQ(ethernet["ripReceiveVersion"], ""); // as the file gives it
    auto services = rows("services");
    ASSERT_EQ(services.size(), 1u);
    EXPECT_EQ(services[0]["ospf"] + services[0]["ospf3"] + services[0]["rip"] + services[0]["ripng"] + services[0]["bgp"],
              "truetruetruetruetrue");

    // Rows come only when a protocol is on for one of the unit's interfaces; then every interface
    // gets its row. The router ids alone (what the export writes for every unit), an interface with
    // every protocol off, or no routing node give none.
    struct Case {
        const char* routing;
        std::vector<std::string> rows; // name: rip ripng ospf2 ospf3
    };
    const std::string unit = "|nodes|\n\t|U|\n\t\t|network|\n\t\t\t|interfaces|\n\t\t\t\t|ppp9|\n"
                             "\t\t\t\t\t|endpoint| = |@ppp_l|\n";
    for (const Case& c : std::vector<Case>{
             {"", {}},
             {"\t\t\t|routing|\n\t\t\t\t|ospf-router-id|\n\t\t\t\t|ospf3-router-id|\n", {}},
             {"\t\t\t|routing|\n\t\t\t\t|br0|\n\t\t\t\t\t|type| = |1|\n", {}},
             {"\t\t\t|routing|\n\t\t\t\t|ppp0|\n\t\t\t\t\t|rip|\n\t\t\t\t\t|type| = |2|\n", {}}, // no radio
             {"\t\t\t|routing|\n\t\t\t\t|ospf-router-id|\n\t\t\t\t|ppp9|\n\t\t\t\t\t|ripng|\n"
              "\t\t\t\t\t|type| = |4|\n",
              {"U: false false false false", "U @ppp_l: false true false false"}},
         }) {
        import(unit + c.routing + "\t|V|\n\t\t|network|\n\t\t\t|routing|\n");
        std::vector<std::string> found;
        for (RowMap& row : rows("routingProtocols")) {
            found.push_back(row["name"] + ": " + row["rip"] + " " + row["ripng"] + " " + row["ospf2"] + " " + row["ospf3"]);
            if (row["parentType"] == "ppp") {
                EXPECT_EQ(row["pppId"], rows("pppProperties").at(0)["id"]);
            }
        }
        EXPECT_EQ(found, c.rows) << c.routing;
    }
}

// The run list keeps the file's order; the well-known programs keep their positions where the
// order allows.
TEST_F(ConfigNetwork, RunListKeepsItsOrder)
{
    struct Case {
        std::vector<std::string> run;
        std::vector<std::string> positions;
    } cases[] = {
        {{"xjn_server", "xjn_config", "dis", "a", "b"}, {"1", "2", "5", "6", "7"}},
        {{"dis", "a", "b"}, {"5", "6", "7"}},
        {{"a", "dis", "xjn_server", "b"}, {"6", "7", "8", "9"}},
        {{"dis", "dis"}, {"5", "6"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        std::string text = "|nodes|\n\t|U|\n\t\t|rundis|\n\t\t\t|run|\n";
        for (const std::string& name : c.run) text += "\t\t\t\t|" + name + "|\n\t\t\t\t\t|name| = |" + name + "|\n";
        SCOPED_TRACE(text);
        import(text);
        std::vector<std::string> positions;
        for (RowMap& row : rows("daemons")) {
            positions.push_back(row["position"]);
            EXPECT_EQ(row["enabled"], "true");
            EXPECT_EQ(row["noAuto"], "false");
            EXPECT_EQ(row["application"], row["name"]);
        }
        EXPECT_EQ(positions, c.positions);
        // Written back in the same order (a repeated name shares its node).
        std::string written = unitText(exported(), "U");
        size_t at = 0;
        for (const std::string& name : c.run) {
            at = written.find("\t\t\t\t|" + name + "|\n", at);
            ASSERT_NE(at, std::string::npos) << name << "\n" << written;
        }
    }
    import("|nodes|\n\t|U|\n\t\t|rundis|\n\t\t\t|run|\n\t\t\t\t|a|\n\t\t\t\t\t|noauto| = |1|\n\t\t\t\t|b|\n"
           "\t\t\t\t\t|noauto| = |true|\n");
    auto daemons = rows("daemons");
    ASSERT_EQ(daemons.size(), 2u);
    EXPECT_EQ(daemons[0]["noAuto"], "true");
    EXPECT_EQ(daemons[1]["noAuto"], "false");
}

TEST_F(ConfigNetwork, InterfacesAndEndpointsRead)
{
    import("|nodes|\n\t|U|\n\t\t|network|\n"
           "\t\t\t|endpoints|\n"
           "\t\t\t\t|t|\n\t\t\t\t\t|type| = |tcp|\n\t\t\t\t\t|source port| = |1|\n\t\t\t\t\t|destination port| = |2|\n"
           "\t\t\t\t|u|\n\t\t\t\t\t|type| = |udp|\n\t\t\t\t\t|source port| = |3|\n\t\t\t\t\t|destination port| = |4|\n"
           "\t\t\t\t\t|destination address| = |10.0.0.4|\n"
           "\t\t\t\t|T|\n\t\t\t\t\t|type| = |TCP|\n\t\t\t\t\t|source port| = |5|\n"
           "\t\t\t\t|x|\n\t\t\t\t\t|type| = |unix|\n\t\t\t\t\t|source path| = |/tmp/dis_socket.r.x|\n"
           "\t\t\t\t|bare|\n"
           "\t\t\t|interfaces|\n"
           "\t\t\t\t|br0|\n\t\t\t\t|ppp|\n\t\t\t\t|ppp3|\n\t\t\t\t|ppp8|\n\t\t\t\t|pppx|\n"
           "\t\t\t\t|ppp9|\n\t\t\t\t\t|endpoint| = |@ppp_radio link|\n\t\t\t\t\t|local ip| = |1.1.1.1|\n"
           "\t\t\t\t\t|remote ip| = |1.1.1.2|\n\t\t\t\t\t|options| = |noccp|\n"
           "\t\t\t\t|ppp10|\n\t\t\t\t\t|endpoint| = |xxxxxb|\n"
           "\t\t\t\t|ppp09|\n\t\t\t\t\t|endpoint| = |@ppp|\n");
    std::vector<std::string> endpoints;
    for (RowMap& row : rows("endpoint"))
        endpoints.push_back(row["name"] + " " + row["type"] + " " + row["parentType"] + " " + row["listeningPort"] + " " +
                            row["destinationPort"] + " " + row["destinationAddress"] + " " + row["path"]);
    EXPECT_EQ(endpoints, (std::vector<std::string>{"t TCP centralUnit 1   ", "u UDP centralUnit 3 4 10.0.0.4 ",
                                                   "T System centralUnit    ", "x System centralUnit    ",
                                                   "bare System centralUnit    "}));
    std::vector<std::string> links;
    for (RowMap& row : rows("pppProperties"))
        links.push_back(row["name"] + "|" + row["parentType"] + "|" + row["localIp"] + "|" + row["remoteIp"] + "|" +
                        row["options"]);
    EXPECT_EQ(links, (std::vector<std::string>{"radio link|centralUnit|1.1.1.1|1.1.1.2|noccp", "b|centralUnit|||",
                                               "|centralUnit|||"}));
}

TEST_F(ConfigNetwork, SipAccountsTrunksAndAliases)
{
    import("|nodes|\n\t|U|\n\t\t|sip|\n\t\t\t|accounts|\n\t\t\t\t|1001|\n\t\t\t\t\t|number| = |1001|\n"
           "\t\t\t\t\t|password| = |pw|\n\t\t\t\t|bare|\n"
           "\t\t\t|trunks|\n\t\t\t\t|pabx|\n\t\t\t\t\t|target| = |10.0.0.1|\n\t\t\t\t\t|codec| = |g722|\n"
           "\t|V|\n\t\t|sip|\n\t\t\t|accounts|\n"
           "|system|\n\t|sip aliases|\n\t\t|Anna| = |2001|\n\t\t|Ghost| = |9|\n\t\t|Bob|\n"
           "|users|\n\t|Anna|\n\t|Bob|\n");
    std::string unit, anna, bob;
    {
        auto lock = lock_store();
        unit = store().idsByName.at("U");
        anna = store().idsByName.at("Anna");
        bob = store().idsByName.at("Bob");
    }
    std::vector<std::string> aliases;
    for (RowMap& row : rows("globalOverviewSipAliases"))
        aliases.push_back(row["name"] + "|" + row["type"] + "|" + row["parentId"] + "|" + row["alias"] + "|" +
                          row["password"] + "|" + row["callNumber"] + "|" + row["callerId"]);
    EXPECT_EQ(aliases, (std::vector<std::string>{"sip_account_1001|account|" + unit + "||pw|1001|",
                                                 "sip_account_bare|account|" + unit + "||||",
                                                 "sip_Anna|operator|" + anna + "|2001|||",
                                                 "sip_Ghost|operator||9|||", // kept without an operator
                                                 "sip_Bob|operator|" + bob + "||||"}));
    auto trunks = rows("sipTrunks");
    ASSERT_EQ(trunks.size(), 1u);
    EXPECT_EQ(trunks[0]["name"], "sip_trunk_pabx");
    EXPECT_EQ(trunks[0]["breltID"], unit);
    EXPECT_EQ(trunks[0]["target"] + " " + trunks[0]["codec"] + " " + trunks[0]["prefix"], "10.0.0.1 g722 ");

    std::string text = exported();
    EXPECT_NE(text.find("\t|sip aliases|\n\t\t|Anna| = |2001|\n\t\t|Bob|\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Ghost"), std::string::npos); // an alias is written under its operator's name
    EXPECT_NE(text.find("\t\t\t|accounts|\n\t\t\t\t|1001|\n\t\t\t\t\t|number| = |1001|\n\t\t\t\t\t|password| = |pw|\n"
                        "\t\t\t\t|bare|\n\t\t\t|trunks|\n\t\t\t\t|pabx|\n\t\t\t\t\t|codec| = |g722|\n"
                        "\t\t\t\t\t|target| = |10.0.0.1|\n"),
              std::string::npos);
}

TEST_F(ConfigNetwork, RoutesRead)
{
    const std::string units = "|nodes|\n\t|U|\n\t\t|network|\n\t\t\t|endpoints|\n\t\t\t\t|s|\n\t\t\t\t|d1|\n\t\t\t\t|d2|\n"
                              "\t\t\t\t|twice|\n\t|V|\n\t\t|network|\n\t\t\t|endpoints|\n\t\t\t\t|twice|\n";
    struct Case {
        const char* what;
        std::string routes;
        std::vector<std::string> expected; // name: source -> destination, by unit
    } cases[] = {
        {"destinations in order", "\t\t|0|\n\t\t\t|source| = |s|\n\t\t\t|destinations|\n\t\t\t\t|d2|\n\t\t\t\t|d1|\n",
         {"d2: s@U -> d2@U", "d1: s@U -> d1@U"}},
        {"destination, then destinations",
         "\t\t|0|\n\t\t\t|source| = |s|\n\t\t\t|destination| = |d1|\n\t\t\t|destinations|\n\t\t\t\t|d2|\n",
         {"d1: s@U -> d1@U", "d2: s@U -> d2@U"}},
        {"an unknown destination is left out",
         "\t\t|0|\n\t\t\t|source| = |s|\n\t\t\t|destinations|\n\t\t\t\t|nobody|\n\t\t\t\t|d2|\n", {"d2: s@U -> d2@U"}},
        {"an unknown source, or none, or no destination", "\t\t|0|\n\t\t\t|source| = |nobody|\n\t\t\t|destination| = |d1|\n"
                                                          "\t\t|1|\n\t\t\t|destination| = |d1|\n\t\t|2|\n\t\t\t|source| = |s|\n",
         {}},
        {"a name of two units: by its unit, else the one read last",
         "\t\t|0|\n\t\t\t|source| = |twice|\n\t\t\t|source unit| = |U|\n\t\t\t|destination| = |twice|\n"
         "\t\t|1|\n\t\t\t|source| = |s|\n\t\t\t|destinations|\n\t\t\t\t|twice| = |U|\n\t\t\t\t|twice|\n"
         "\t\t|2|\n\t\t\t|source| = |twice|\n\t\t\t|source unit| = |W|\n\t\t\t|destination| = |d1|\n"
         "\t\t|3|\n\t\t\t|source| = |s|\n\t\t\t|destination| = |d1|\n\t\t\t|destination unit| = |V|\n",
         {"twice: twice@U -> twice@V", "twice: s@U -> twice@U", "twice: s@U -> twice@V"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        import(units + "|network|\n\t|routes|\n" + c.routes);
        std::vector<std::string> routes;
        for (RowMap& row : rows("route")) {
            std::string source, destination;
            for (RowMap& endpoint : rows("endpoint")) {
                if (endpoint["id"] == row["sourceId"]) source = endpoint["name"];
                if (endpoint["id"] == row["destinationId"]) destination = endpoint["name"];
            }
            routes.push_back(row["name"] + ": " + source + "@" + unitOf(row["sourceId"]) + " -> " + destination + "@" +
                             unitOf(row["destinationId"]));
            EXPECT_EQ(row["parentId"] + row["parentType"], "");
        }
        EXPECT_EQ(routes, c.expected);
    }
}
