#include "handlers/tuna/schema.h"

#include "tuna_test_support.h"

using namespace tuna_test;

namespace {

const char* const kNotFound = "<html><head><title>Error 404</title></head><body>Page not found</body></html>\n";
const char* const kEmptyList = "{\n\t\"id\" : [],\n\t\"name\" : []\n}\n";

class TunaTableCommands : public Store {
protected:
    int count(const std::string& table)
    {
        Statement select(store().database, Sql("SELECT count(*) FROM " + table));
        return select.next() ? std::stoi(select.text(0)) : -1;
    }
};

} // namespace

TEST_F(TunaTableCommands, DispatchesByTheSecondPathSegment)
{
    struct Case {
        const char* url;
        Params params;
        int status;
        const char* body; // exact body, or nullptr to check the status only
    } cases[] = {
        {"/tuna/", {}, 404, kNotFound},
        {"/tuna/nosuch", {}, 404, kNotFound},
        {"/tuna/list/radio.json", {}, 200, kEmptyList},
        {"/tuna/listanything/radio.json", {}, 200, kEmptyList},
        {"/tuna/list/sipAliases.json", {}, 200, kEmptyList},
        {"/tuna/list/nosuch.json", {}, 404, kNotFound},
        {"/tuna/list/radio", {}, 404, kNotFound}, // no column asked for
        {"/tuna/insert/radio", {{"name", "R"}}, 404, kNotFound},
        {"/tuna/insert/radio.json", {}, 404, kNotFound},
        {"/tuna/update/radio.json", {{"name", "R"}}, 404, kNotFound},
        {"/tuna/delete/radio.json", {}, 404, kNotFound},
        {"/tuna/savepoint", {}, 200, "{\n\t\"status\" : \"error\",\n\t\"description\" : \"no savepoint\"\n}\n"},
        {"/tuna/savepointx", {{"savepoint", "a"}}, 200, "{\n\t\"status\" : \"probably success\"\n}\n"},
        {"/tuna/undo.json", {}, 200, "{\n\t\"status\" : \"error\",\n\t\"description\" : \"no more savepoints\"\n}\n"},
        {"/tuna/configurationFile.json", {{"command", "nosuch"}}, 404, kNotFound},
        {"/tuna/globalAudioSetupTranslations.json", {}, 200, "[]\n"},
        {"/tuna/globalAudioSetupAudioRepository.json", {}, 200, "[]\n"},
    };
    for (const auto& c : cases) {
        Reply reply = call(c.url, c.params);
        EXPECT_EQ(reply.status, c.status) << c.url;
        if (c.body) {
            EXPECT_EQ(reply.body, c.body) << c.url;
        }
        EXPECT_EQ(reply.contentType, c.status == 200 ? "application/json; charset=utf-8" : "text/html; charset=utf-8")
            << c.url;
    }
}

TEST_F(TunaTableCommands, InsertListUpdateDelete)
{
    Reply inserted = call("/tuna/insert/radio.json", {{"name", "R1"}, {"breltID", "id9"}, {"notAColumn", "x"}});
    EXPECT_EQ(inserted.body, "{\n\t\"id\" : \"id2\",\n\t\"name\" : \"R1\",\n\t\"status\" : \"success\"\n}\n");
    EXPECT_EQ(call("/tuna/list/radio.json").body, "{\n\t\"id\" : [\"id2\"],\n\t\"name\" : [\"R1\"]\n}\n");
    EXPECT_EQ(store().idsByName.at("R1"), "id2");
    EXPECT_EQ(store().namesById.at("id2"), "R1");

    // Rows as arrays: one entry per parameter, from the last to the first.
    EXPECT_EQ(call("/tuna/list/radio", {{"id", ""}, {"name", ""}}).body, "[[\"R1\", \"id2\"]]\n");
    EXPECT_EQ(call("/tuna/list/radio", {{"name", ""}, {"other", ""}}).body, "[[\"\", \"R1\"]]\n");
    EXPECT_EQ(call("/tuna/list/radio", {{"name", ""}, {"breltID", "id8"}}).body, "[]\n");
    EXPECT_EQ(call("/tuna/list/radio.json", {{"breltID", "id9"}}).body,
              "{\n\t\"id\" : [\"id2\"],\n\t\"name\" : [\"R1\"]\n}\n");

    Reply single = call("/tuna/list/radio.json", {{"id", "id2"}});
    EXPECT_TRUE(isJson(single.body));
    EXPECT_EQ(single.body.rfind("{\n\t\"id\" : \"id2\",\n\t\"name\" : \"R1\",\n\t\"breltID\" : \"id9\",\n", 0), 0u);
    EXPECT_EQ(member(single.body, "rtpLine4"), "");
    EXPECT_EQ(call("/tuna/list/radio.json", {{"id", "id77"}}).status, 404);

    // An update writes every column: those the request leaves out become empty.
    EXPECT_EQ(call("/tuna/update/radio.json", {{"id", "id2"}, {"name", "R9"}}).body, "{\n\t\"status\" : \"success\"\n}\n");
    single = call("/tuna/list/radio.json", {{"id", "id2"}});
    EXPECT_EQ(member(single.body, "name"), "R9");
    EXPECT_EQ(member(single.body, "breltID"), "");

    EXPECT_EQ(call("/tuna/delete/radio.json", {{"id", "id2"}}).body, "{\n\t\"status\" : \"success\"\n}\n");
    EXPECT_EQ(call("/tuna/list/radio.json").body, kEmptyList);
    EXPECT_FALSE(store().fetchRowById("id2"));
    EXPECT_TRUE(store().idsByName.empty());
    EXPECT_TRUE(store().namesById.empty());
}

TEST_F(TunaTableCommands, RenamesKeepTheNameMapsTrue)
{
    std::string r1 = insert("radio", {{"name", "R1"}});
    std::string r2 = insert("radio", {{"name", "R2"}});

    Reply collision = call("/tuna/update/radio.json", {{"id", r2}, {"name", "R1"}});
    EXPECT_EQ(collision.body,
              "{\n\t\"id\" : \"" + r2 + "\",\n\t\"status\" : \"error\",\n\t\"description\" : \"collision detection\"\n}\n");

    ASSERT_EQ(member(call("/tuna/update/radio.json", {{"id", r2}, {"name", "R3"}}).body, "status"), "success");
    EXPECT_EQ(names("radio"), (std::vector<std::string>{"R1", "R3"}));
    EXPECT_EQ(store().namesById.at(r2), "R3");
    EXPECT_EQ(store().idsByName.at("R3"), r2);
    EXPECT_EQ(store().idsByName.count("R2"), 0u);
    EXPECT_EQ(store().idsByName.at("R1"), r1);

    // Another kind of object may not take a name that an object is known by either.
    std::string op = insert("operatorGeneral", {{"name", "Op"}});
    EXPECT_EQ(member(call("/tuna/update/operatorGeneral.json", {{"id", op}, {"name", "R1"}}).body, "description"),
              "collision detection");
    // Keeping one's own name is no collision.
    EXPECT_EQ(member(call("/tuna/update/radio.json", {{"id", r1}, {"name", "R1"}}).body, "status"), "success");
}

TEST_F(TunaTableCommands, FailuresAreReportedAsErrors)
{
    EXPECT_EQ(member(call("/tuna/update/radio.json", {{"id", "id55"}, {"name", "X"}}).body, "status"), "error");

    ASSERT_EQ(executeSql(store().database, Sql("DROP TABLE speaker")), SQLITE_OK);
    Reply failed = call("/tuna/insert/speaker.json", {{"name", "S1"}});
    EXPECT_EQ(member(failed.body, "status"), "error");
    EXPECT_NE(member(failed.body, "description").find("speaker"), std::string::npos) << failed.body;
    EXPECT_EQ(member(failed.body, "id"), "<missing>");
    EXPECT_EQ(count("ids"), 1); // the new id was taken back
    EXPECT_EQ(store().idsByName.count("S1"), 0u);

    Reply update = call("/tuna/update/speaker.json", {{"id", "id1"}, {"name", "S1"}});
    EXPECT_EQ(member(update.body, "status"), "error");
    Reply remove = call("/tuna/delete/speaker.json", {{"id", "id1"}});
    EXPECT_EQ(member(remove.body, "status"), "error");
}

TEST_F(TunaTableCommands, AnInsertNeverTakesAnIdThatItsTableHolds)
{
    std::string first = insert("radio", {{"name", "Twin"}});
    std::string second = insert("radio", {{"name", "Twin"}});
    EXPECT_NE(first, second);

    // An id made for a name before its row exists (as a configuration file's names are) is used.
    std::string reserved = store().insertId("true", "operator", "Reserved");
    store().idsByName["Reserved"] = reserved;
    store().namesById[reserved] = "Reserved";
    EXPECT_EQ(insert("operatorGeneral", {{"name", "Reserved"}}), reserved);

    // One name, one id: a radio named after an operator shares its id, and deleting the radio
    // leaves the operator its id and its name.
    std::string shared = insert("radio", {{"name", "Reserved"}});
    EXPECT_EQ(shared, reserved);
    ASSERT_EQ(member(call("/tuna/delete/radio.json", {{"id", shared}}).body, "status"), "success");
    EXPECT_TRUE(store().fetchRowById(reserved));
    EXPECT_EQ(store().idsByName.at("Reserved"), reserved);
    ASSERT_EQ(member(call("/tuna/delete/operatorGeneral.json", {{"id", reserved}}).body, "status"), "success");
    EXPECT_FALSE(store().fetchRowById(reserved));
    EXPECT_EQ(store().idsByName.count("Reserved"), 0u);

    // Tables without named objects always get a fresh id.
    EXPECT_NE(insert("endpoint", {{"name", "Twin"}}), first);
}

TEST_F(TunaTableCommands, AwkwardNamesRoundTrip)
{
    // Everything but '|', CR, LF and NUL, which no configuration file can carry (see below).
    const std::string name = "O'Brien \"x\" \\ \xC5\xBDlu\xC5\xA5 \ttab = line";
    std::string id = insert("radio", {{"name", name}, {"sipExtension", "'; DROP TABLE radio; --"}});
    EXPECT_EQ(names("radio"), std::vector<std::string>{name});
    Reply single = call("/tuna/list/radio.json", {{"id", id}});
    EXPECT_EQ(member(single.body, "sipExtension"), "'; DROP TABLE radio; --");
    Reply rows = call("/tuna/list/radio", {{"name", ""}});
    EXPECT_TRUE(isJson(rows.body)) << rows.body;

    const std::string renamed = name + "\xE2\x9C\x93";
    Reply update = call("/tuna/update/radio.json", {{"id", id}, {"name", renamed}});
    EXPECT_EQ(member(update.body, "status"), "success");
    EXPECT_EQ(names("radio"), std::vector<std::string>{renamed});
    EXPECT_EQ(store().namesById.at(id), renamed);
    // The filter takes the value as it is.
    EXPECT_EQ(column(call("/tuna/list/radio.json", {{"name", renamed}}).body, "id"), std::vector<std::string>{id});
}

TEST_F(TunaTableCommands, ValuesThatNoConfigurationFileCanCarryAreRefused)
{
    std::string id = insert("radio", {{"name", "R1"}});
    for (const std::string& bad : {std::string("a|b"), std::string("line\nbreak"), std::string("cr\r"),
                                   std::string("nul\0x", 5)}) {
        SCOPED_TRACE(bad);
        Reply inserted = call("/tuna/insert/radio.json", {{"name", "R2"}, {"sipExtension", bad}});
        EXPECT_EQ(member(inserted.body, "status"), "error");
        EXPECT_NE(member(inserted.body, "description").find("sipExtension"), std::string::npos);
        Reply renamed = call("/tuna/update/radio.json", {{"id", id}, {"name", bad}});
        EXPECT_EQ(member(renamed.body, "status"), "error");
        EXPECT_NE(member(renamed.body, "description").find("name"), std::string::npos);
    }
    // Nothing changed, and no id was spent.
    EXPECT_EQ(names("radio"), std::vector<std::string>{"R1"});
    EXPECT_EQ(store().namesById.at(id), "R1");
    EXPECT_EQ(insert("radio", {{"name", "R2"}}), "id" + std::to_string(idNumber(id) + 1));
}

TEST_F(TunaTableCommands, RequestNamesThatAreNoColumnsChangeNothing)
{
    insert("radio", {{"name", "R1"}});
    struct Case {
        const char* url;
        Params params;
        int status;
        const char* body;
    } cases[] = {
        {"/tuna/list/radio", {{"name;DROP TABLE radio", ""}}, 404, kNotFound},
        {"/tuna/list/radio", {{"name", ""}, {"1=1 OR name", "x"}}, 404, kNotFound},
        {"/tuna/list/radio.json", {{"name; DROP TABLE radio; --", "x"}}, 200, kEmptyList},
        {"/tuna/list/radio;DROP TABLE radio.json", {}, 404, kNotFound},
    };
    for (const auto& c : cases) {
        Reply reply = call(c.url, c.params);
        EXPECT_EQ(reply.status, c.status) << c.url;
        EXPECT_EQ(reply.body, c.body) << c.url;
    }
    // Unknown parameters of an insert or update are ignored.
    insert("radio", {{"name", "R2"}, {"name) VALUES ('x'); DROP TABLE radio; --", "y"}});
    EXPECT_EQ(names("radio"), (std::vector<std::string>{"R1", "R2"}));
}

TEST_F(TunaTableCommands, RepliesAreNotBoundedByABuffer)
{
    std::string longName(700 * 1024, 'n');
    insert("Texts", {{"name", longName + "1"}});
    insert("Texts", {{"name", longName + "\"2"}});
    Reply list = call("/tuna/list/Texts.json");
    EXPECT_GT(list.body.size(), 1u << 20);
    EXPECT_EQ(names("Texts"), (std::vector<std::string>{longName + "1", longName + "\"2"}));
}

TEST_F(TunaTableCommands, ListsOrderTheSettingsMenuByPosition)
{
    insert("operatorSettingsMenu", {{"name", "b"}, {"position", "9"}});
    insert("operatorSettingsMenu", {{"name", "a"}, {"position", "10"}});
    insert("operatorSettingsMenu", {{"name", "c"}, {"position", "2"}});
    // Positions are texts: "10" sorts before "2" and "9".
    EXPECT_EQ(names("operatorSettingsMenu"), (std::vector<std::string>{"a", "c", "b"}));
    // A table without a name column lists an empty name array.
    insert("rotaryDialButton", {{"name", "x"}, {"buttonNumber", "1"}});
    Reply rotary = call("/tuna/list/rotaryDialButton.json");
    EXPECT_EQ(column(rotary.body, "id").size(), 1u);
    EXPECT_EQ(column(rotary.body, "name").size(), 0u);
    // ids lists its three columns.
    Reply ids = call("/tuna/list/ids.json");
    EXPECT_EQ(ids.body.rfind("{\n\t\"id\" : [", 0), 0u);
    EXPECT_EQ(column(ids.body, "type").size(), column(ids.body, "id").size());
}

// Every table with collision rules refuses an update that would give a row the name of another row
// under the same owner, and accepts it under another owner.
TEST_F(TunaTableCommands, CollisionRulesOfEveryTable)
{
    for (const auto& [table, definition] : tableDefinitions) {
        if (table == "ids") continue;
        SCOPED_TRACE(table);
        // The owner columns that narrow the rule (every "==" rule but the name).
        Params owner;
        for (const auto& [column, op] : definition.collisionRules)
            if (op == "==" && column != "name") owner.emplace_back(column, "owner1");

        Params a = owner, b = owner;
        a.emplace_back("name", table + "A");
        b.emplace_back("name", table + "B");
        std::string idA = insert(table, a);
        std::string idB = insert(table, b);

        Params clash = owner;
        clash.emplace_back("id", idB);
        clash.emplace_back("name", table + "A");
        Reply reply = call("/tuna/update/" + table + ".json", clash);
        bool checksNames = definition.hasColumn("name") && !definition.collisionRules.empty();
        bool namedObject = store().namesById.count(idA) > 0;
        if (checksNames || namedObject) {
            EXPECT_EQ(member(reply.body, "description"), "collision detection") << reply.body;
        } else {
            EXPECT_EQ(member(reply.body, "status"), "success") << reply.body;
        }

        if (!owner.empty()) {
            Params elsewhere;
            for (const auto& [column, value] : owner) elsewhere.emplace_back(column, "owner2");
            elsewhere.emplace_back("id", idB);
            elsewhere.emplace_back("name", table + "A");
            reply = call("/tuna/update/" + table + ".json", elsewhere);
            EXPECT_EQ(member(reply.body, "status"), "success") << reply.body;
        }
        // Without a parameter that a rule names, the extended check does not apply.
        if (checksNames && !namedObject) {
            Params partial = {{"id", idB}};
            reply = call("/tuna/update/" + table + ".json", partial);
            EXPECT_EQ(member(reply.body, "status"), "success") << reply.body;
        }
    }
}
