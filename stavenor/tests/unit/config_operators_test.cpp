// Configuration files: the operators under "users" with their keypads, rotary dials, settings menus,
// headsets, monitors and private phone books, written and read back.
#include "common/logger.h"
#include "handlers/tuna/export/export.h"
#include "handlers/tuna/import/import.h"

#include "round_trip_support.h"
#include "tuna_test_support.h"

#include <algorithm>
#include <sstream>

using namespace round_trip;
using tuna_test::call;
using tuna_test::member;
using tuna_test::Params;

namespace {

class ConfigOperators : public WorkingDirectory {
protected:
    // Inserts a row through the "tuna" command, as the browser does; returns its id.
    std::string insert(const std::string& table, const Params& params)
    {
        Params all = params;
        if (std::none_of(all.begin(), all.end(), [](const auto& p) { return p.first == "name"; }))
            all.emplace_back("name", "");
        std::string reply = call("/tuna/insert/" + table + ".json", all).body;
        EXPECT_EQ(member(reply, "status"), "success") << table << ": " << reply;
        return member(reply, "id");
    }

    // Inserts a row as it stands, its id included (the browser cannot give ids).
    void insertRaw(const std::string& table, const RowMap& row)
    {
        auto lock = lock_store();
        Statement statement(store().database, buildInsert(table, row));
        EXPECT_EQ(statement.run(), SQLITE_DONE) << statement.error();
    }

    // The export's tree, its text form below `path` (sorted as the file writes it).
    template <class... Keys>
    std::string exported(const Keys&... path)
    {
        auto lock = lock_store();
        tuna_export::ExportContext ex(store());
        tuna_export::buildConfigurationTree(ex);
        ConfigNode* node = ex.root.get(path...);
        if (!node) return "<missing>";
        std::string text = node->saveToText();
        return text.substr(text.find("\n\n") + 2);
    }

    std::string exportedText()
    {
        auto lock = lock_store();
        return store().writeConfiguration("out.conf") == 0 ? readFile("out.conf") : "<not written>";
    }

    // Imports the text into a fresh database, as a load does.
    void import(const std::string& text)
    {
        ConfigNode root;
        ASSERT_EQ(root.loadFromText(text), 0) << text;
        importTree(root);
    }
    void importTree(const ConfigNode& root)
    {
        auto lock = lock_store();
        store().resetConfiguration();
        tuna_import::importTree(store(), root);
    }

    // The rows of a table in the database's order, or in the order of an ORDER BY term.
    std::vector<RowMap> rows(const std::string& table, const std::string& order = {})
    {
        return tableRows(store(), table, order);
    }

    // One column of every row, in the order given.
    std::vector<std::string> values(const std::string& table, const std::string& column,
                                    const std::string& order = {})
    {
        std::vector<std::string> out;
        for (RowMap& row : rows(table, order)) out.push_back(row[column]);
        return out;
    }

    int count(const std::string& table)
    {
        auto lock = lock_store();
        Statement statement(store().database, Sql("SELECT count(*) FROM " + table));
        return statement.next() ? std::stoi(statement.text(0)) : -1;
    }

    // The parameters with "$Name" replaced by the id of the object or endpoint of that name.
    Params withIds(Params params)
    {
        auto lock = lock_store();
        for (auto& [column, value] : params) {
            if (value.empty() || value[0] != '$') continue;
            std::string name = value.substr(1);
            auto known = store().idsByName.find(name);
            if (known != store().idsByName.end()) {
                value = known->second;
                continue;
            }
            Sql select("SELECT id FROM endpoint WHERE name=");
            select.bind(name);
            Statement endpoint(store().database, select);
            if (endpoint.next()) value = endpoint.text(0);
        }
        return params;
    }

    std::string nameOf(const std::string& id)
    {
        auto lock = lock_store();
        auto found = store().namesById.find(id);
        return found == store().namesById.end() ? "<none>" : found->second;
    }
};

// The system-wide objects that operators refer to, in the text form.
const std::string kObjects = "|nodes|\n"
                             "\t|CU|\n"
                             "\t\t|services|\n"
                             "\t\t\t|gps|\n"
                             "\t\t\t\t|endpoint| = |GPS|\n"
                             "|system|\n"
                             "\t|conferences|\n"
                             "\t\t|Net|\n"
                             "\t|devices|\n"
                             "\t\t|R1|\n"
                             "\t\t\t|type| = |transceiver|\n"
                             "\t\t|T|\n"
                             "\t\t\t|type| = |MVQ-2TS|\n"
                             "\t\t\t|line 1|\n"
                             "\t\t\t\t|name|\n"
                             "\t\t\t|line 2|\n"
                             "\t\t\t\t|name| = |Line|\n"
                             "\t|microphones|\n"
                             "\t\t|Light|\n";

} // namespace

// The exact texts of the file: badges, rotary positions, settings menu entries and monitor names,
// each written and read back.
TEST_F(ConfigOperators, ExactTextsWrittenAndReadBack)
{
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, Params>> rows; // "$Op" in a value: the operator's id
        const char* branch;                                // the branch of operator "Op" to compare
        std::string written;
        std::string table, column, order; // read back after a load of the written file (order: ORDER BY)
        std::vector<std::string> readBack;
    };
    auto key = [](const char* label, const char* upper, const char* lower) {
        return Params{{"operatorId", "$Op"}, {"parentButtonId", "-1"}, {"buttonLabelPrefix", label},
                      {"type", "dial"},      {"icon", "empty.bmp"},   {"iconUpperBadge", upper},
                      {"iconLowerBadge", lower}};
    };
    const std::string keyHead = "\t|auto call| = |0|\n\t|function| = |dial|\n";
    const std::string keyTail =
        "\t|info mode| = |0|\n\t|radio mode| = |shared|\n\t|receive call| = |0|\n\t|type| = |function|\n";
    const Case cases[] = {
        {"badge 41.bmp is A, 7a.bmp is z",
         {{"keypadDisplayButton", key("key 1", "41.bmp", "7a.bmp")}},
         "fk menu",
         "|key 1|\n" + keyHead + "\t|icon index 1| = |A|\n\t|icon index 2| = |z|\n" + keyTail,
         "keypadDisplayButton", "iconUpperBadge", "", {"41.bmp"}},
        {"badge with white space, 0x, more than two digits",
         {{"keypadDisplayButton", key("key 1", " 42.bmp", "0x143.bmp")}},
         "fk menu",
         "|key 1|\n" + keyHead + "\t|icon index 1| = |B|\n\t|icon index 2| = |C|\n" + keyTail,
         "keypadDisplayButton", "iconLowerBadge", "", {"43.bmp"}},
        {"no badge: empty.bmp, no number, a bar that no file can hold",
         {{"keypadDisplayButton", key("key 1", "empty.bmp", "zz.bmp")},
          {"keypadDisplayButton", key("key 2", "7c.bmp", "")}},
         "fk menu",
         "|key 1|\n" + keyHead + keyTail + "|key 2|\n" + keyHead + keyTail,
         "keypadDisplayButton", "iconUpperBadge", "", {"empty.bmp", "empty.bmp"}},
        {"rotary positions in numeric order",
         {{"rotaryDialButton", {{"operatorId", "$Op"}, {"buttonNumber", "10"}}},
          {"rotaryDialButton", {{"operatorId", "$Op"}, {"buttonNumber", "2"}}},
          {"rotaryDialButton", {{"operatorId", "$Op"}, {"buttonNumber", "1"}}},
          {"rotaryDialButton", {{"operatorId", "$Op"}, {"buttonNumber", "x"}}}},
         "ffs menu",
         "|position x|\n\t|monitors|\n|position 1|\n\t|monitors|\n|position 2|\n\t|monitors|\n"
         "|position 10|\n\t|monitors|\n",
         "rotaryDialButton", "buttonNumber", "", {"1", "2", "10"}},
        {"\"set headset\" written as \"set microphone\", menu in numeric order",
         {{"operatorSettingsMenu", {{"operatorId", "$Op"}, {"name", "set language"}, {"position", "10"}}},
          {"operatorSettingsMenu", {{"operatorId", "$Op"}, {"name", "set headset"}, {"position", "9"}}},
          {"operatorSettingsMenu", {{"operatorId", "$Op"}, {"name", "set volume"}, {"position", "1"}}}},
         "settings menu",
         "|set volume|\n|set microphone|\n|set language|\n",
         "operatorSettingsMenu", "name", "CAST(position AS INTEGER)", {"set volume", "set headset", "set language"}},
        {"two menu entries at one position: both, in the database's order",
         {{"operatorSettingsMenu", {{"operatorId", "$Op"}, {"name", "set b"}, {"position", "2"}}},
          {"operatorSettingsMenu", {{"operatorId", "$Op"}, {"name", "set a"}, {"position", "2"}}},
          {"operatorSettingsMenu", {{"operatorId", "$Op"}, {"name", "set c"}, {"position", "1"}}}},
         "settings menu",
         "|set c|\n|set b|\n|set a|\n",
         "operatorSettingsMenu", "name", "CAST(position AS INTEGER)", {"set c", "set b", "set a"}},
        {"selected monitors with and without their prefix",
         {{"selectedMonitors", {{"parentId", "$Op"}, {"name", "monitor_R1"}, {"type", "transceiver"},
                                {"gain", "5"}, {"mode", "2"}}},
          {"selectedMonitors", {{"parentId", "$Op"}, {"name", "Net"}, {"type", "conference"}}},
          {"selectedMonitors", {{"parentId", "$Op"}, {"name", "monitor_Op"}, {"type", "operator"}}},
          {"selectedMonitors", {{"parentId", "$Op"}, {"name", "mon"}, {"type", ""}}},
          {"selectedMonitors", {{"parentId", "$Op"}, {"name", "monitor_"}, {"type", "conference"}}}},
         "monitors",
         "||\n\t|type| = |monitor conference|\n|Net|\n\t|type| = |monitor conference|\n"
         "|Op|\n\t|type| = |monitor user|\n"
         "|R1|\n\t|gain| = |5|\n\t|monitor mode| = |2|\n\t|type| = |monitor radio|\n"
         "|mon|\n\t|type| = |monitor user|\n",
         "selectedMonitors", "name", "name", {"monitor_Net", "monitor_Op", "monitor_R1"}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        import(kObjects);
        insert("operatorGeneral", {{"name", "Op"}});
        for (const auto& [table, params] : c.rows) insert(table, withIds(params));
        EXPECT_EQ(exported("users", "Op", c.branch), c.written);

        import(exportedText());
        EXPECT_EQ(values(c.table, c.column, c.order), c.readBack);
    }
}

// An operator's own settings: which keys are written, and how they are read back.
TEST_F(ConfigOperators, OperatorSettingsBothWays)
{
    import(kObjects);
    std::string radio;
    {
        auto lock = lock_store();
        radio = store().idsByName.at("R1");
    }
    std::string other = insert("operatorGeneral", {{"name", "Other"}});

    struct Case {
        const char* what;
        Params row;
        std::string written; // the operator's node without its six empty branches
    };
    const std::string flags = "|auto disconnect| = |0|\n|broadcast| = |0|\n|ffs automatic conference| = |1|\n"
                              "|live mode| = |0|\n|on demand initiator| = |0|\n|radio vox| = |0|\n|side tone| = |0|\n";
    const Case cases[] = {
        {"nothing set: the flags are 0", {}, flags},
        {"flags and texts",
         {{"broadcast", "true"}, {"onDemandInitiator", "true"}, {"autoDisconnect", "yes"}, {"radioVox", "true"},
          {"liveMode", "true"}, {"sideTone", "true"}, {"defaultVolume", "7"}, {"maxConnectedRadios", "2"},
          {"language", "Czech"}, {"settingMenuTimeout", "30"}, {"callTimeout", "60"}, {"localVoxTimeout", "5"},
          {"headset", "Light"}, {"phonebook", "sip"}},
         "|auto disconnect| = |0|\n|broadcast| = |1|\n|call timeout| = |60|\n|default language| = |Czech|\n"
         "|default microphone| = |Light|\n|default volume| = |7|\n|ffs automatic conference| = |1|\n"
         "|live mode| = |1|\n|local vox| = |5|\n|maximum connected radios| = |2|\n|on demand initiator| = |1|\n"
         "|phone book mode| = |sip|\n|radio vox| = |1|\n|settings menu timeout| = |30|\n|side tone| = |1|\n"},
        {"radio mode only with the automatic radio",
         {{"automaticRadio", "false"}, {"radioExclusive", "true"}, {"automaticRadioId", radio}}, flags},
        {"automatic radio, shared",
         {{"automaticRadio", "true"}, {"automaticRadioId", radio}, {"radioExclusive", "false"},
          {"radioCrosstalk", "true"}, {"radioPriority", "3"}},
         "|auto disconnect| = |0|\n|automatic radio| = |R1|\n|broadcast| = |0|\n|ffs automatic conference| = |1|\n"
         "|live mode| = |0|\n|on demand initiator| = |0|\n|radio crosstalk| = |1|\n|radio mode| = |shared|\n"
         "|radio priority| = |3|\n|radio vox| = |0|\n|side tone| = |0|\n"},
        {"automatic radio, exclusive",
         {{"automaticRadio", "true"}, {"automaticRadioId", radio}, {"radioExclusive", "true"}},
         "|auto disconnect| = |0|\n|automatic radio| = |R1|\n|broadcast| = |0|\n|ffs automatic conference| = |1|\n"
         "|live mode| = |0|\n|on demand initiator| = |0|\n|radio crosstalk| = |0|\n|radio mode| = |exclusive|\n"
         "|radio vox| = |0|\n|side tone| = |0|\n"},
        {"the conferences only after the first",
         {{"conferenceEnabled", "false"}, {"secondConferenceEnabled", "true"}, {"followOperatorEnabled", "true"},
          {"conference", "Net"}, {"secondConference", "Net 2"}, {"followOperator", other}},
         flags},
        {"all three conference automatics",
         {{"conferenceEnabled", "true"}, {"secondConferenceEnabled", "true"}, {"followOperatorEnabled", "true"},
          {"conference", "Net"}, {"secondConference", "Net 2"}, {"followOperator", other}},
         "|auto disconnect| = |0|\n|automatic conference| = |Net|\n|broadcast| = |0|\n"
         "|ffs automatic conference| = |1|\n|follow user| = |Other|\n|live mode| = |0|\n"
         "|on demand initiator| = |0|\n|radio vox| = |0|\n|secondary conference| = |Net 2|\n|side tone| = |0|\n"},
    };
    const std::string branches =
        "|ffs menu|\n|fk menu|\n|microphones|\n|monitors|\n|private phone book|\n|settings menu|\n";

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Params params = c.row;
        params.emplace_back("name", "Op");
        std::string op = insert("operatorGeneral", params);
        std::string text = exported("users", "Op");
        ASSERT_GE(text.size(), branches.size());
        // The six branch keys sort among the settings: take them out.
        std::string settings;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            if (branches.find("|" + line.substr(1, line.find('|', 1)) + "\n") == std::string::npos)
                settings += line + "\n";
        EXPECT_EQ(settings, c.written);
        for (const char* branch : {"ffs menu", "fk menu", "microphones", "monitors", "private phone book",
                                   "settings menu"})
            EXPECT_NE(text.find("|" + std::string(branch) + "|\n"), std::string::npos) << branch;
        call("/tuna/delete/operatorGeneral.json", {{"id", op}});
    }

    // Switches that are on but name nothing: their keys stay, without value, so that the next load
    // finds them on again and reads the keys that go with them.
    insert("operatorGeneral", {{"name", "Op"}, {"automaticRadio", "true"}, {"automaticRadioId", "id9999"},
                               {"radioExclusive", "true"}, {"radioPriority", "1"}, {"conferenceEnabled", "true"},
                               {"secondConferenceEnabled", "true"}, {"secondConference", "Net 2"}});
    std::string text = exported("users", "Op");
    for (const char* line : {"|automatic radio|\n", "|radio mode| = |exclusive|\n", "|radio priority| = |1|\n",
                             "|automatic conference|\n", "|secondary conference| = |Net 2|\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << text;
}

TEST_F(ConfigOperators, OperatorSettingsRead)
{
    struct Case {
        const char* what;
        std::string keys; // lines below the operator's node
        RowMap expected;  // columns of its operatorGeneral row
    };
    const Case cases[] = {
        {"no keys: the flags are false",
         "",
         {{"broadcast", "false"}, {"sideTone", "false"}, {"automaticRadio", "false"}, {"automaticRadioId", ""},
          {"conferenceEnabled", "false"}, {"secondConferenceEnabled", "false"}, {"followOperatorEnabled", "false"},
          {"radioShared", ""}, {"sipExtension", ""}}},
        {"only 1 is true",
         "|broadcast| = |true|\n|radio vox| = |1|\n|side tone| = |1|\n|live mode| = |0|\n",
         {{"broadcast", "false"}, {"radioVox", "true"}, {"sideTone", "true"}, {"liveMode", "false"}}},
        {"texts as written",
         "|default microphone| = |Light|\n|default language| = |Czech|\n|local vox| = |5|\n|volume limit| = |9|\n",
         {{"headset", "Light"}, {"language", "Czech"}, {"localVoxTimeout", "5"}}},
        {"automatic radio, exclusive",
         "|automatic radio| = |R1|\n|radio mode| = |exclusive|\n|radio crosstalk| = |1|\n|radio priority| = |2|\n",
         {{"automaticRadio", "true"}, {"automaticRadioId", "<R1>"}, {"radioExclusive", "true"},
          {"radioShared", "false"}, {"radioCrosstalk", "true"}, {"radioPriority", "2"}}},
        {"automatic radio, shared",
         "|automatic radio| = |R1|\n|radio mode| = |shared|\n",
         {{"radioExclusive", "false"}, {"radioShared", "true"}, {"radioCrosstalk", "false"}}},
        {"radio mode without the automatic radio",
         "|radio mode| = |exclusive|\n|radio priority| = |2|\n",
         {{"automaticRadio", "false"}, {"radioExclusive", ""}, {"radioShared", ""}, {"radioPriority", ""}}},
        {"an automatic radio that names no radio is on, without its radio",
         "|automatic radio| = |Nothing|\n|radio mode| = |exclusive|\n",
         {{"automaticRadio", "true"}, {"automaticRadioId", ""}, {"radioExclusive", "true"}}},
        {"an empty automatic radio too",
         "|automatic radio|\n",
         {{"automaticRadio", "true"}, {"automaticRadioId", ""}, {"radioCrosstalk", "false"}, {"radioShared", "false"}}},
        {"follow user without the automatic conference",
         "|follow user| = |Op|\n|secondary conference| = |B|\n",
         {{"conferenceEnabled", "false"}, {"secondConference", ""}, {"followOperator", ""},
          {"followOperatorEnabled", "false"}}},
        {"all three conference automatics",
         "|automatic conference| = |Net|\n|secondary conference| = |Other net|\n|follow user| = |Op|\n",
         {{"conference", "Net"}, {"conferenceEnabled", "true"}, {"secondConference", "Other net"},
          {"secondConferenceEnabled", "true"}, {"followOperator", "<Op>"}, {"followOperatorEnabled", "true"}}},
        {"an empty automatic conference is on",
         "|automatic conference|\n|secondary conference| = |B|\n",
         {{"conference", ""}, {"conferenceEnabled", "true"}, {"secondConference", "B"},
          {"secondConferenceEnabled", "true"}}},
        {"a user to follow that is no operator",
         "|automatic conference| = |Net|\n|secondary conference| = |B|\n|follow user| = |R1|\n",
         {{"secondConferenceEnabled", "true"}, {"followOperator", ""}, {"followOperatorEnabled", "true"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string keys;
        std::istringstream lines(c.keys);
        for (std::string line; std::getline(lines, line);) keys += "\t\t" + line + "\n";
        import(kObjects + "|users|\n\t|Op|\n" + keys);
        auto operators = rows("operatorGeneral");
        ASSERT_EQ(operators.size(), 1u);
        RowMap& row = operators[0];
        EXPECT_EQ(nameOf(row["id"]), "Op");
        for (const auto& [column, value] : c.expected) {
            std::string actual = row[column];
            if (value.size() > 2 && value.front() == '<') actual = "<" + nameOf(actual) + ">";
            EXPECT_EQ(actual, value) << column;
        }
    }

    // Two operators keep the order and the ids of the file; a second one of the same name is left out
    // with its lists.
    import("|users|\n\t|A|\n\t|B|\n\t|A|\n\t\t|private phone book|\n\t\t\t|X|\n");
    EXPECT_EQ(values("operatorGeneral", "name"), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(values("ids", "type", "id"), (std::vector<std::string>{"unknown", "operator", "operator"}))
        << "the configuration's own row, then one per operator name";
    EXPECT_EQ(count("privatePhoneBook"), 0);
}

// The keys of each kind of keypad key; each key's file is read back to the same file.
TEST_F(ConfigOperators, KeypadKeysBothWays)
{
    struct Case {
        const char* what;
        Params row;
        std::string written; // the key's node, less the lines every key has
    };
    const Case cases[] = {
        {"a plain function", {{"type", "dial"}}, "\t|function| = |dial|\n\t|type| = |function|\n"},
        {"no function at all", {{"type", ""}}, "\t|type| = |function|\n"},
        {"connect to operator",
         {{"type", "connect to operator"}, {"connectToOperator", "$Peer"}},
         "\t|function| = |connect to operator|\n\t|type| = |function|\n\t|user| = |Peer|\n"},
        {"monitor",
         {{"type", "monitor"}, {"monitorGain", "4"}, {"monitorSource", "$R1"}, {"monitorDestination", "$Peer"},
          {"monitorMode", "2"}, {"monitorShowActivity", "true"}},
         "\t|function| = |monitor|\n\t|gain| = |4|\n\t|monitor destination| = |Peer|\n\t|monitor mode| = |2|\n"
         "\t|monitor source| = |R1|\n\t|show activity| = |1|\n\t|type| = |function|\n"},
        {"connect to radio",
         {{"type", "connect to radio"}, {"radio", "$R1"}, {"morvexAllowModify", "true"}, {"crosstalk", "true"},
          {"showActivity", "false"}},
         "\t|function| = |connect to radio|\n\t|modify| = |1|\n\t|radio| = |R1|\n\t|radio crosstalk| = |1|\n"
         "\t|show activity| = |0|\n\t|type| = |function|\n"},
        {"retranslation",
         {{"type", "retranslation"}, {"retransmissionRadio1", "$R1"}, {"retransmissionRadio2", "id9999"},
          {"showActivity", "true"}},
         "\t|function| = |retranslation|\n\t|retranslation radio 1| = |R1|\n\t|show activity| = |1|\n"
         "\t|type| = |function|\n"},
        {"data route",
         {{"type", "data route"}, {"sourceEndpoint", "$GPS"}, {"destinationEndpoint", "$GPS"}},
         "\t|destination endpoint| = |GPS|\n\t|function| = |data route|\n\t|source endpoint| = |GPS|\n"
         "\t|type| = |function|\n"},
        {"data route to an endpoint that is gone",
         {{"type", "data route"}, {"sourceEndpoint", "id9999"}, {"destinationEndpoint", "$GPS"}},
         "\t|destination endpoint| = |GPS|\n\t|function| = |data route|\n\t|type| = |function|\n"},
        {"call conference",
         {{"type", "call conference"}, {"conference", "$Net"}},
         "\t|conference| = |Net|\n\t|function| = |call conference|\n\t|type| = |function|\n"},
        {"connect to conference without its radio",
         {{"type", "connect to conference"}, {"conference", "$Net"}, {"radio", "$R1"},
          {"conferenceRadioActive", "false"}},
         "\t|conference| = |Net|\n\t|function| = |connect to conference|\n\t|radio crosstalk| = |0|\n"
         "\t|type| = |function|\n"},
        {"connect to conference with its radio",
         {{"type", "connect to conference"}, {"conference", "$Net"}, {"radio", "$R1"},
          {"conferenceRadioActive", "true"}, {"crosstalk", "true"}},
         "\t|conference| = |Net|\n\t|conference radio| = |R1|\n\t|function| = |connect to conference|\n"
         "\t|radio crosstalk| = |1|\n\t|type| = |function|\n"},
        {"connect to radio remotely",
         {{"type", "connect to radio remotely"}, {"radio", "$R1"}, {"remoteRadio", "$Peer"}, {"remoteUser", "$Peer"}},
         "\t|function| = |connect to radio remotely|\n\t|radio crosstalk| = |0|\n\t|remote radio| = |R1|\n"
         "\t|remote user| = |Peer|\n\t|type| = |function|\n"},
        {"the common keys set",
         {{"type", "dial"}, {"holdFunction", "h"}, {"shiftFunction", "s"}, {"radioPriority", "1"},
          {"radioExclusive", "true"}, {"fieldPhone", "$Line"}, {"pabxPhone", "$Line"}, {"receiveCalls", "true"},
          {"conferenceAutocall", "true"}, {"infoShowConnections", "true"}, {"shiftTimeout", "3"}, {"gpsMode", "2"},
          {"name", "Dial"}, {"icon", "radio.bmp"}, {"subIcon", "sub.bmp"}, {"subIconUpperBadge", "31.bmp"},
          {"subIconLowerBadge", "32.bmp"}},
         "\t|auto call| = |1|\n\t|field phone| = |Line|\n\t|function| = |dial|\n\t|gps default mode| = |2|\n"
         "\t|hold function| = |h|\n\t|icon| = |radio.bmp|\n\t|info mode| = |1|\n\t|name| = |Dial|\n"
         "\t|pabx phone| = |Line|\n\t|radio mode| = |exclusive|\n\t|radio priority| = |1|\n"
         "\t|receive call| = |1|\n\t|shift function| = |s|\n\t|shift time| = |3|\n\t|subicon| = |sub.bmp|\n"
         "\t|subicon index 1| = |1|\n\t|subicon index 2| = |2|\n\t|type| = |function|\n"},
    };
    // Every key has these, unless the case sets them.
    const std::string common[] = {"\t|auto call| = |0|\n", "\t|info mode| = |0|\n", "\t|radio mode| = |shared|\n",
                                  "\t|receive call| = |0|\n"};

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        import(kObjects + "|users|\n\t|Op|\n\t|Peer|\n");
        Params params = withIds(c.row);
        for (const auto& more :
             withIds({{"operatorId", "$Op"}, {"parentButtonId", "-1"}, {"buttonLabelPrefix", "key 5"}}))
            params.push_back(more);
        if (std::none_of(params.begin(), params.end(), [](const auto& p) { return p.first == "icon"; }))
            params.emplace_back("icon", "empty.bmp");
        insert("keypadDisplayButton", params);

        std::string text = exported("users", "Op", "fk menu");
        ASSERT_EQ(text.rfind("|key 5|\n", 0), 0u) << text;
        text.erase(0, 8);
        for (const std::string& line : common) {
            size_t at = text.find(line);
            if (at != std::string::npos) text.erase(at, line.size());
        }
        EXPECT_EQ(text, c.written);

        std::string file = exportedText();
        import(file);
        EXPECT_EQ(withoutDate(exportedText()), withoutDate(file));
    }
}

// A submenu two levels deep, and keys whose parents loop.
TEST_F(ConfigOperators, KeypadSubmenusAndLoops)
{
    std::string op = insert("operatorGeneral", {{"name", "Op"}});
    auto key = [&](const std::string& parent, const char* label, const char* type) {
        return insert("keypadDisplayButton", {{"operatorId", op}, {"parentButtonId", parent},
                                              {"buttonLabelPrefix", label}, {"type", type}, {"icon", "empty.bmp"}});
    };
    std::string top = key("-1", "key 5", "submenu");
    std::string middle = key(top, "key 1", "submenu");
    key(middle, "key OK", "dial");
    key(top, "key 2", "dial");
    ConfigNode root;
    ASSERT_EQ(root.loadFromText(exportedText()), 0);
    ConfigNode* five = root.get("users", "Op", "fk menu", "key 5");
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->get("type")->value, "submenu");
    EXPECT_EQ(five->get("function"), nullptr);
    EXPECT_EQ(five->get("key 2", "function")->value, "dial");
    ASSERT_NE(five->get("key 1", "key OK", "function"), nullptr);
    EXPECT_EQ(five->get("key 1", "key OK", "function")->value, "dial");

    // A loop made by the browser: the submenu key moved below its own child.
    EXPECT_EQ(member(call("/tuna/update/keypadDisplayButton.json",
                          {{"id", top}, {"operatorId", op}, {"parentButtonId", middle}, {"buttonLabelPrefix", "key 5"},
                           {"type", "submenu"}})
                         .body,
                     "status"),
              "success");
    // A key that is its own ancestor, as only a damaged store could hold it: two rows with one id.
    insertRaw("keypadDisplayButton", {{"id", "id900"}, {"operatorId", op}, {"parentButtonId", "-1"},
                                      {"buttonLabelPrefix", "key 9"}, {"type", "submenu"}});
    insertRaw("keypadDisplayButton", {{"id", "id900"}, {"operatorId", op}, {"parentButtonId", "id900"},
                                      {"buttonLabelPrefix", "key 1"}, {"type", "submenu"}});
    init_logger(0, LOG_ERROR);
    testing::internal::CaptureStderr();
    std::string text = exported("users", "Op", "fk menu");
    std::string log = testing::internal::GetCapturedStderr();
    init_logger(0, 0);
    EXPECT_EQ(text, "|key 9|\n\t|auto call| = |0|\n\t|info mode| = |0|\n"
                    "\t|key 1|\n\t\t|auto call| = |0|\n\t\t|info mode| = |0|\n\t\t|radio mode| = |shared|\n"
                    "\t\t|receive call| = |0|\n\t\t|type| = |submenu|\n"
                    "\t|radio mode| = |shared|\n\t|receive call| = |0|\n\t|type| = |submenu|\n");
    EXPECT_NE(log.find("the keypad key id900 of operator Op is its own ancestor"), std::string::npos) << log;
    EXPECT_NE(log.find("4 keypad keys of operator Op are not under its menu"), std::string::npos) << log;
}

TEST_F(ConfigOperators, KeypadKeysRead)
{
    auto keypad = [](const std::string& keys) {
        return kObjects + "|users|\n\t|Op|\n\t\t|fk menu|\n" + keys;
    };
    // Labels in the file's order 9, C, 1; labels that no keypad has; a key without "type".
    import(keypad("\t\t\t|key 9|\n\t\t\t\t|type| = |function|\n"
                  "\t\t\t|key C|\n\t\t\t\t|type| = |function|\n\t\t\t\t|function| = |dial|\n"
                  "\t\t\t|key 10|\n\t\t\t\t|type| = |function|\n"
                  "\t\t\t|key ok|\n\t\t\t\t|type| = |function|\n"
                  "\t\t\t|key 2|\n\t\t\t\t|function| = |dial|\n"
                  "\t\t\t|key 1|\n\t\t\t\t|type| = |function|\n\t\t\t\t|crosstalk| = |1|\n"));
    EXPECT_EQ(values("keypadDisplayButton", "buttonLabelPrefix"),
              (std::vector<std::string>{"key 1", "key C", "key 9"}));
    EXPECT_EQ(values("keypadDisplayButton", "type"), (std::vector<std::string>{"", "dial", ""}));
    EXPECT_EQ(values("keypadDisplayButton", "crosstalk"), (std::vector<std::string>{"true", "false", "false"}));
    EXPECT_EQ(values("keypadDisplayButton", "parentButtonId"), (std::vector<std::string>{"-1", "-1", "-1"}));

    // A submenu: its keys first, each naming it as parent; its own function does not count.
    import(keypad("\t\t\t|key 5|\n\t\t\t\t|type| = |submenu|\n\t\t\t\t|function| = |dial|\n"
                  "\t\t\t\t|key 2|\n\t\t\t\t\t|type| = |function|\n"
                  "\t\t\t\t|key 1|\n\t\t\t\t\t|type| = |submenu|\n"
                  "\t\t\t\t\t|key OK|\n\t\t\t\t\t\t|type| = |function|\n"));
    auto buttons = rows("keypadDisplayButton");
    ASSERT_EQ(buttons.size(), 4u);
    EXPECT_EQ(buttons[0]["buttonLabelPrefix"], "key OK");
    EXPECT_EQ(buttons[0]["parentButtonId"], buttons[1]["id"]);
    EXPECT_EQ(buttons[1]["buttonLabelPrefix"], "key 1");
    EXPECT_EQ(buttons[1]["parentButtonId"], buttons[3]["id"]);
    EXPECT_EQ(buttons[2]["parentButtonId"], buttons[3]["id"]);
    EXPECT_EQ(buttons[3]["type"], "submenu");
    EXPECT_EQ(buttons[3]["parentButtonId"], "-1");

    struct Case {
        const char* what;
        std::string keys; // below "key 1"
        RowMap expected;
    };
    const Case cases[] = {
        {"defaults",
         "",
         {{"icon", "empty.bmp"}, {"subIcon", "empty.bmp"}, {"iconUpperBadge", "empty.bmp"},
          {"radioShared", "false"}, {"radioExclusive", "true"}, {"conferenceRadioActive", ""}, {"remoteRadio", ""},
          {"fieldPhone", ""}, {"submenuName", ""}, {"infoShowConnections", "false"}}},
        {"flags: only 1 is true",
         "|modify| = |true|\n|receive call| = |1|\n|info mode| = |1|\n|radio mode| = |shared|\n",
         {{"morvexAllowModify", "false"}, {"receiveCalls", "true"}, {"infoShowConnections", "true"},
          {"radioShared", "true"}, {"radioExclusive", "false"}}},
        {"badges: the first character's code",
         "|icon index 1| = |A|\n|icon index 2| = |z!|\n|subicon index 1| = | |\n|subicon| = |s.bmp|\n",
         {{"iconUpperBadge", "41.bmp"}, {"iconLowerBadge", "7a.bmp"}, {"subIconUpperBadge", "20.bmp"},
          {"subIconLowerBadge", "empty.bmp"}, {"subIcon", "s.bmp"}}},
        {"connect to conference without its radio",
         "|function| = |connect to conference|\n|conference| = |Net|\n|radio crosstalk| = |1|\n",
         {{"conferenceRadioActive", "false"}, {"conference", "<Net>"}, {"crosstalk", "true"}, {"radio", ""}}},
        {"connect to conference: the radio key wins",
         "|function| = |connect to conference|\n|conference radio| = |Nothing|\n|radio| = |R1|\n",
         {{"conferenceRadioActive", "true"}, {"radio", "<R1>"}}},
        {"connect to conference with a radio that is not there",
         "|function| = |connect to conference|\n|conference radio| = |Nothing|\n",
         {{"conferenceRadioActive", "true"}, {"radio", ""}}},
        {"connect to radio remotely",
         "|function| = |connect to radio remotely|\n|remote radio| = |R1|\n|remote user| = |Op|\n",
         {{"radio", "<R1>"}, {"remoteRadio", ""}, {"remoteUser", "<Op>"}}},
        {"names by their kind, endpoints by name",
         "|user| = |Op|\n|field phone| = |Line|\n|pabx phone| = |T|\n|source endpoint| = |GPS|\n"
         "|destination endpoint| = |Nothing|\n|monitor source| = |Net|\n|retranslation radio 1| = |Op|\n",
         {{"connectToOperator", "<Op>"}, {"fieldPhone", "<Line>"}, {"pabxPhone", "<T>"},
          {"sourceEndpoint", "<GPS>"}, {"destinationEndpoint", ""}, {"monitorSource", "<Net>"},
          {"retransmissionRadio1", ""}}},
        {"an empty name is no reference, though a line bears it",
         "|field phone|\n|pabx phone| = ||\n",
         {{"fieldPhone", ""}, {"pabxPhone", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string keys = "\t\t\t|key 1|\n\t\t\t\t|type| = |function|\n";
        std::istringstream lines(c.keys);
        for (std::string line; std::getline(lines, line);) keys += "\t\t\t\t" + line + "\n";
        import(keypad(keys));
        auto all = rows("keypadDisplayButton");
        ASSERT_EQ(all.size(), 1u);
        for (const auto& [column, value] : c.expected) {
            std::string actual = all[0][column];
            if (value.size() > 2 && value.front() == '<') {
                std::string name = nameOf(actual);
                if (name == "<none>") { // an endpoint
                    for (RowMap& endpoint : rows("endpoint"))
                        if (endpoint["id"] == actual) name = endpoint["name"];
                }
                actual = "<" + name + ">";
            }
            EXPECT_EQ(actual, value) << column;
        }
    }

    // A badge of a character that no file line holds (built in memory).
    ConfigNode root;
    ConfigNode& key = *root.makePath("users", "Op", "fk menu", "key 1");
    key.addChild("type", "function");
    key.addChild("icon index 1", "\n");
    importTree(root);
    EXPECT_EQ(values("keypadDisplayButton", "iconUpperBadge"), std::vector<std::string>{"0a.bmp"});
}

// The rotary dial: positions, partners, radios, routes and each position's monitors.
TEST_F(ConfigOperators, RotaryDialBothWays)
{
    auto dial = [](const std::string& positions) {
        return kObjects + "|users|\n\t|Op|\n\t\t|ffs menu|\n" + positions;
    };
    import(dial("\t\t\t|position 3|\n\t\t\t|position 17|\n\t\t\t|position 0|\n\t\t\t|position 1|\n"
                "\t\t\t|position 01|\n"));
    EXPECT_EQ(values("rotaryDialButton", "buttonNumber"), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(values("rotaryDialButton", "type"), (std::vector<std::string>{"Only radio", "Only radio"}));

    struct Case {
        const char* what;
        std::string keys; // below "position 1"
        RowMap expected;
        std::string written; // the position's node after a save
    };
    const Case cases[] = {
        {"nothing: only radio, no radio",
         "",
         {{"type", "Only radio"}, {"radio", "false"}, {"radioChosen", ""}, {"radioShared", ""}, {"route", "false"},
          {"autoCall", "false"}, {"retransmission", "false"}, {"radio2", "false"}},
         "\t|monitors|\n"},
        {"talk to, with a conference beside it",
         "|user| = |Op|\n|conference| = |Net|\n",
         {{"type", "Talk to"}, {"user", "<Op>"}, {"conference", "Net"}},
         "\t|monitors|\n\t|user| = |Op|\n"},
        {"a user that is not there: still talk to, and nothing to write",
         "|user| = |Nobody|\n|conference| = |Net|\n|auto call| = |1|\n",
         {{"type", "Talk to"}, {"user", ""}, {"conference", "Net"}, {"autoCall", "true"}},
         "\t|monitors|\n"},
        {"conference",
         "|conference| = |Net|\n|auto call| = |1|\n",
         {{"type", "Conference"}, {"conference", "<Net>"}, {"autoCall", "true"}},
         "\t|auto call| = |1|\n\t|conference| = |Net|\n\t|monitors|\n"},
        {"a conference that is not there: left out with its auto call",
         "|conference| = |Nothing|\n|auto call| = |1|\n",
         {{"type", "Conference"}, {"conference", ""}, {"autoCall", "true"}},
         "\t|monitors|\n"},
        {"a phone line that is not there: left out with its number",
         "|phone line| = |Nothing|\n|phone number| = |0042|\n",
         {{"type", "Phone"}, {"phoneLine", ""}, {"phoneNumber", "0042"}},
         "\t|monitors|\n"},
        {"phone",
         "|phone line| = |Line|\n|phone number| = |0042|\n",
         {{"type", "Phone"}, {"phoneLine", "<Line>"}, {"phoneNumber", "0042"}},
         "\t|monitors|\n\t|phone line| = |Line|\n\t|phone number| = |0042|\n"},
        {"first radio without a mode, second exclusive",
         "|radio| = |R1|\n|radio crosstalk| = |1|\n|radio priority| = |2|\n|set retranslation| = |1|\n"
         "|radio 2| = |R1|\n|radio 2 mode| = |exclusive|\n",
         {{"radio", "true"}, {"radioChosen", "<R1>"}, {"radioCrosstalk", "true"}, {"radioPriority", "2"},
          {"radioShared", "false"}, {"radioExclusive", "false"}, {"retransmission", "true"}, {"radio2", "true"},
          {"radio2Exclusive", "true"}, {"radio2Shared", "false"}, {"radio2Crosstalk", "false"}},
         "\t|monitors|\n\t|radio| = |R1|\n\t|radio 2| = |R1|\n\t|radio 2 crosstalk| = |0|\n"
         "\t|radio 2 mode| = |exclusive|\n\t|radio crosstalk| = |1|\n\t|radio mode| = |shared|\n"
         "\t|radio priority| = |2|\n\t|set retranslation| = |1|\n"},
        {"a radio that is not there: on, and left out with its keys",
         "|radio| = |Nothing|\n|radio mode| = |shared|\n|radio priority| = |2|\n|set retranslation| = |1|\n"
         "|radio 2| = |Nothing|\n",
         {{"radio", "true"}, {"radioChosen", ""}, {"radioShared", "true"}, {"radioPriority", "2"},
          {"retransmission", "true"}, {"radio2", "true"}, {"radio2Chosen", ""}},
         "\t|monitors|\n"},
        {"a route needs both endpoints",
         "|source endpoint| = |GPS|\n|destination endpoint|\n",
         {{"route", "false"}, {"routeSource", ""}, {"routeDestination", ""}},
         "\t|monitors|\n"},
        {"a route to an endpoint that is not there",
         "|source endpoint| = |GPS|\n|destination endpoint| = |Nothing|\n",
         {{"route", "true"}, {"routeSource", "<GPS>"}, {"routeDestination", ""}},
         "\t|monitors|\n"},
        {"a route",
         "|source endpoint| = |GPS|\n|destination endpoint| = |GPS|\n",
         {{"route", "true"}, {"routeSource", "<GPS>"}, {"routeDestination", "<GPS>"}},
         "\t|destination endpoint| = |GPS|\n\t|monitors|\n\t|source endpoint| = |GPS|\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string keys = "\t\t\t|position 1|\n";
        std::istringstream lines(c.keys);
        for (std::string line; std::getline(lines, line);) keys += "\t\t\t\t" + line + "\n";
        import(dial(keys));
        auto all = rows("rotaryDialButton");
        ASSERT_EQ(all.size(), 1u);
        for (const auto& [column, value] : c.expected) {
            std::string actual = all[0][column];
            if (value.size() > 2 && value.front() == '<') {
                std::string name = nameOf(actual);
                for (RowMap& endpoint : rows("endpoint"))
                    if (endpoint["id"] == actual) name = endpoint["name"];
                actual = "<" + name + ">";
            }
            EXPECT_EQ(actual, value) << column;
        }
        EXPECT_EQ(exported("users", "Op", "ffs menu"), "|position 1|\n" + c.written);
    }

    // A route to an endpoint that is gone: neither endpoint key, as the next load would drop a lone one.
    import(dial(""));
    std::string gps;
    for (RowMap& endpoint : rows("endpoint"))
        if (endpoint["name"] == "GPS") gps = endpoint["id"];
    ASSERT_NE(gps, "");
    std::string op = rows("operatorGeneral").at(0)["id"];
    insert("rotaryDialButton", {{"operatorId", op}, {"buttonNumber", "1"}, {"type", "Only radio"}, {"route", "true"},
                                {"routeSource", gps}, {"routeDestination", "id9999"}});
    EXPECT_EQ(exported("users", "Op", "ffs menu"), "|position 1|\n\t|monitors|\n");

    // Each position has its own monitors, also heard by the operator.
    import(dial("\t\t\t|position 2|\n\t\t\t\t|monitors|\n\t\t\t\t\t|R1|\n\t\t\t\t\t\t|type| = |monitor radio|\n"
                "\t\t\t|position 1|\n\t\t\t\t|monitors|\n\t\t\t\t\t|Net|\n"
                "\t\t\t\t\t\t|type| = |monitor conference|\n"));
    auto positions = rows("rotaryDialButton");
    auto monitors = rows("selectedMonitors");
    ASSERT_EQ(positions.size(), 2u);
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_EQ(monitors[0]["name"], "monitor_Net");
    EXPECT_EQ(monitors[0]["parentId"], positions[0]["id"]);
    EXPECT_EQ(monitors[1]["parentId"], positions[1]["id"]);
    EXPECT_EQ(nameOf(monitors[0]["destinationId"]), "Op");
    EXPECT_EQ(exported("users", "Op", "ffs menu"),
              "|position 1|\n\t|monitors|\n\t\t|Net|\n\t\t\t|type| = |monitor conference|\n"
              "|position 2|\n\t|monitors|\n\t\t|R1|\n\t\t\t|type| = |monitor radio|\n");
}

// The operator's lists as the file gives them.
TEST_F(ConfigOperators, ListsRead)
{
    import(kObjects + "|users|\n\t|Op|\n");
    const int idsBefore = count("ids");
    import(kObjects + "|users|\n\t|Op|\n"
                      "\t\t|monitors|\n"
                      "\t\t\t|R1|\n\t\t\t\t|type| = |monitor radio|\n\t\t\t\t|gain| = |5|\n"
                      "\t\t\t\t|monitor mode| = |2|\n"
                      "\t\t\t|Nobody|\n\t\t\t\t|type| = |monitor user|\n"
                      "\t\t\t|Op|\n\t\t\t\t|type| = |monitor user|\n"
                      "\t\t\t|Net|\n"
                      "\t\t\t|R1|\n\t\t\t\t|gain| = |9|\n"
                      "\t\t\t||\n"
                      "\t\t|settings menu|\n\t\t\t|set microphone|\n\t\t\t|set volume|\n\t\t\t|set microphone|\n"
                      "\t\t|microphones|\n\t\t\t|Light|\n\t\t\t|Unknown headset|\n"
                      "\t\t|private phone book|\n"
                      "\t\t\t|Only type|\n\t\t\t\t|type| = |sip|\n"
                      "\t\t\t|HQ|\n\t\t\t\t|telephone number| = |100|\n"
                      "\t\t\t|HQ|\n\t\t\t\t|sip address| = |hq@x|\n");
    // Monitors: a name that nothing bears leaves nothing behind, a source listed twice counts once, and
    // a monitor without a type is stored as an operator's while its source is found whatever its kind.
    auto monitors = rows("selectedMonitors");
    ASSERT_EQ(monitors.size(), 3u);
    EXPECT_EQ(monitors[0]["name"], "monitor_R1");
    EXPECT_EQ(monitors[0]["type"], "transceiver");
    EXPECT_EQ(monitors[0]["gain"], "5");
    EXPECT_EQ(monitors[0]["mode"], "2");
    EXPECT_EQ(nameOf(monitors[0]["sourceId"]), "R1");
    EXPECT_EQ(nameOf(monitors[0]["parentId"]), "Op");
    EXPECT_EQ(nameOf(monitors[0]["destinationId"]), "Op");
    EXPECT_EQ(monitors[1]["type"], "operator");
    EXPECT_EQ(nameOf(monitors[1]["sourceId"]), "Op");
    EXPECT_EQ(monitors[2]["type"], "operator");
    EXPECT_EQ(nameOf(monitors[2]["sourceId"]), "Net");
    {
        auto lock = lock_store();
        EXPECT_EQ(store().idsByName.count("Nobody"), 0u);
    }

    EXPECT_EQ(values("operatorSettingsMenu", "name"),
              (std::vector<std::string>{"set headset", "set volume", "set headset"}));
    EXPECT_EQ(values("operatorSettingsMenu", "position"), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(values("operatorHeadsets", "name"), std::vector<std::string>{"Light"});
    EXPECT_EQ(values("operatorHeadsets", "headsetId"), values("globalOverviewHeadsets", "id"));

    auto book = rows("privatePhoneBook");
    ASSERT_EQ(book.size(), 3u);
    EXPECT_EQ(book[0]["contactType"], "sip");
    EXPECT_EQ(book[0]["contactNumber"], "");
    EXPECT_EQ(book[0]["sipAddress"], "");
    EXPECT_EQ(book[1]["contactNumber"], "100");
    EXPECT_EQ(book[2]["sipAddress"], "hq@x");

    // One ids row per row written: 3 monitors, 3 menu entries, 1 headset, 3 contacts.
    EXPECT_EQ(count("ids"), idsBefore + 10);

    // Two contacts of one name stay two; the menu's duplicate entry is written once.
    std::string file = exportedText();
    EXPECT_NE(file.find("\t\t|private phone book|\n"
                        "\t\t\t|HQ|\n\t\t\t\t|telephone number| = |100|\n"
                        "\t\t\t|HQ|\n\t\t\t\t|sip address| = |hq@x|\n"
                        "\t\t\t|Only type|\n\t\t\t\t|type| = |sip|\n"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("\t\t|settings menu|\n\t\t\t|set microphone|\n\t\t\t|set volume|\n"), std::string::npos);
}

TEST_F(ConfigOperators, RoundTripOfTheOperatorFixture)
{
    expectRoundTrip(fixture("operators.conf"));
    // The operators' part of the fixture is in the form the export writes.
    auto users = [](const std::string& text) { return text.substr(text.find("\n|users|\n")); };
    EXPECT_EQ(users(readFile("s1.conf")), users(readFile(fixture("operators.conf"))));
    for (const char* table : {"operatorGeneral", "operatorSettingsMenu", "operatorHeadsets", "keypadDisplayButton",
                              "rotaryDialButton", "selectedMonitors", "privatePhoneBook"})
        EXPECT_GT(count(table), 0) << table;
    EXPECT_EQ(count("rotaryDialButton"), 16);
    EXPECT_GT(count("operatorSettingsMenu"), 10);
}
