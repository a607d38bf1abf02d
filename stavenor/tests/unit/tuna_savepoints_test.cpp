#include "tuna_test_support.h"

using namespace tuna_test;

namespace {

const char* const kProbably = "{\n\t\"status\" : \"probably success\"\n}\n";
const char* const kNoMore = "{\n\t\"status\" : \"error\",\n\t\"description\" : \"no more savepoints\"\n}\n";

class TunaSavepoints : public Store {};

} // namespace

TEST_F(TunaSavepoints, NamedSavepointAndRollback)
{
    EXPECT_EQ(call("/tuna/savepoint", {{"savepoint", "edit_1"}}).body, kProbably);
    insert("radio", {{"name", "R1"}});
    EXPECT_EQ(call("/tuna/rollback", {{"savepoint", "edit_1"}}).body, kProbably);
    EXPECT_TRUE(names("radio").empty());

    Reply unknown = call("/tuna/rollback", {{"savepoint", "never"}});
    EXPECT_EQ(member(unknown.body, "status"), "error");
    EXPECT_NE(member(unknown.body, "description").find("never"), std::string::npos) << unknown.body;

    for (const char* bad : {"a'b", "x' ; DROP TABLE radio; --", "", "a b"}) {
        EXPECT_EQ(member(call("/tuna/savepoint", {{"savepoint", bad}}).body, "description"), "invalid savepoint name")
            << bad;
        EXPECT_EQ(member(call("/tuna/rollback", {{"savepoint", bad}}).body, "status"), "error") << bad;
    }
    EXPECT_EQ(member(call("/tuna/rollback").body, "description"), "no savepoint");
}

TEST_F(TunaSavepoints, TwelveSavesAndUndosWalkBackOneStepEach)
{
    EXPECT_EQ(call("/tuna/undo.json").body, kNoMore);
    for (int i = 1; i <= 12; ++i) {
        ASSERT_EQ(call("/tuna/save.json").body, kProbably);
        insert("radio", {{"name", "R" + std::to_string(i)}});
    }
    for (int step = 1; step <= 12; ++step) {
        ASSERT_EQ(call("/tuna/undo.json").body, kProbably) << step;
        std::vector<std::string> expected;
        for (int i = 1; i <= 12 - step; ++i) expected.push_back("R" + std::to_string(i));
        ASSERT_EQ(names("radio"), expected) << step;
    }
    EXPECT_EQ(call("/tuna/undo.json").body, kNoMore);
    EXPECT_TRUE(names("radio").empty());

    insert("radio", {{"name", "R1"}});
    // Saving goes on as before after the list ran empty.
    call("/tuna/save.json");
    insert("radio", {{"name", "R2"}});
    EXPECT_EQ(call("/tuna/undo.json").body, kProbably);
    EXPECT_EQ(names("radio"), std::vector<std::string>{"R1"});
}

TEST_F(TunaSavepoints, BeyondTheUndoDepthTheOldestIsForgottenAndUndoStillWorks)
{
    constexpr int kDepth = 64, kSaves = 70;
    for (int i = 1; i <= kSaves; ++i) {
        ASSERT_EQ(call("/tuna/save.json").body, kProbably);
        insert("radio", {{"name", "R" + std::to_string(i)}});
    }
    ASSERT_EQ(store().savepoints.size(), static_cast<size_t>(kDepth));
    EXPECT_EQ(store().savepoints.front().name, "save000000006");
    for (int step = 1; step <= kDepth; ++step) ASSERT_EQ(call("/tuna/undo.json").body, kProbably) << step;
    EXPECT_EQ(call("/tuna/undo.json").body, kNoMore);
    EXPECT_EQ(names("radio").size(), static_cast<size_t>(kSaves - kDepth));
}

TEST_F(TunaSavepoints, UndoOfASavepointThatIsGoneIsAnError)
{
    call("/tuna/save.json");
    // A named rollback beyond it cancels the automatic savepoint.
    ASSERT_EQ(call("/tuna/savepoint", {{"savepoint", "outer"}}).body, kProbably);
    call("/tuna/save.json");
    ASSERT_EQ(executeSql(store().database, Sql("RELEASE SAVEPOINT 'outer'")), SQLITE_OK);
    Reply undo = call("/tuna/undo.json");
    EXPECT_EQ(member(undo.body, "status"), "error");
    EXPECT_NE(member(undo.body, "description"), "<missing>");
    EXPECT_EQ(call("/tuna/undo.json").body, kProbably); // the first save is still there
}

TEST_F(TunaSavepoints, ValidationRemovesRowsTheExportCannotWrite)
{
    std::string unit = insert("centralUnits", {{"name", "CU"}});
    std::string kept = insert("crewStation", {{"name", "kept"}, {"breltID", unit}});
    std::string orphan = insert("crewStation", {{"name", "orphan"}, {"breltID", "id999"}});
    std::string nameless = insert("centralUnits", {{"name", "tmp"}});
    ASSERT_EQ(member(call("/tuna/update/centralUnits.json", {{"id", nameless}, {"name", ""}}).body, "status"), "success");

    EXPECT_EQ(call("/tuna/validate.json").body, kProbably);
    EXPECT_EQ(names("crewStation"), std::vector<std::string>{"kept"});
    EXPECT_FALSE(store().fetchRowById(orphan));
    EXPECT_TRUE(store().fetchRowById(kept));
    EXPECT_EQ(column(call("/tuna/list/centralUnits.json").body, "id"), std::vector<std::string>{unit});
    EXPECT_FALSE(store().fetchRowById(nameless));
}

TEST_F(TunaSavepoints, SipPhoneBookIsATextAttachment)
{
    Reply empty = call("/tuna/exportSipPhonebook");
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.body, "\n---\n");
    EXPECT_EQ(empty.contentType, "text/plain; charset=utf-8");
    EXPECT_EQ(empty.disposition, "attachment; filename=\"phonebook.txt\"");

    std::string unit = insert("centralUnits", {{"name", "Hull"}, {"type", "BRELT-10TA"}, {"sipExchangeNumber", "7"}});
    std::string master = insert("operatorGeneral", {{"name", "Ann"}});
    std::string slave = insert("operatorGeneral", {{"name", "Bob"}});
    insert("operatorGeneral", {{"name", "Eve"}});
    insert("crewStation",
           {{"name", "Gunner"}, {"type", "MVQ-2CS-H"}, {"breltID", unit}, {"masterOperator", master}, {"slaveOperator", slave}});
    std::string radio = insert("radio", {{"name", "VHF"}, {"type", "Speaker"}, {"breltID", unit}});
    insert("radio", {{"name", "Elsewhere"}, {"breltID", "id999"}});
    insert("sipAliases", {{"name", "a1"}, {"parentId", master}, {"alias", "701"}});
    insert("sipAliases", {{"name", "a2"}, {"parentId", radio}, {"alias", "702"}});

    Reply book = call("/tuna/exportSipPhonebook");
    EXPECT_EQ(book.body,
              "\n---\nName: Hull\nPart Number: ZT-5200K-CU-10X\nPrefix: 7\n\nCrew Stations:\n"
              "\t- Name: Gunner\n\t  Part Number: ZT-5200K-CS-20X\n\t  Operators:\n"
              "\t\t- Name: Ann\n\t\t  Extension: 701\n"
              "\t\t- Name: Bob\n\t\t  Extension: \n"
              "\nTransceivers:\n"
              "\t- Name: VHF\n\t  Part Number: ZT-5200K-SP-10X\n\t  Extension: 702\n");
}

namespace {

// The store's state.json as plain values.
struct State {
    long long revision = -1;
    long long unsaved = -1;
    std::vector<std::string> steps;
    std::string undoStep;
    bool complete = false;
    std::vector<std::pair<std::string, std::string>> changes; // words, window
};

State state(long long since = 0)
{
    Reply reply = call("/tuna/state.json", {{"since", std::to_string(since)}});
    State out;
    json_error_t error;
    json_t* value = json_loadb(reply.body.data(), reply.body.size(), 0, &error);
    if (!value) {
        ADD_FAILURE() << reply.body;
        return out;
    }
    out.revision = json_integer_value(json_object_get(value, "revision"));
    out.unsaved = json_integer_value(json_object_get(value, "unsaved"));
    out.steps = column(reply.body, "steps");
    out.undoStep = member(reply.body, "undoStep");
    out.complete = json_is_true(json_object_get(value, "complete"));
    size_t i;
    json_t* change;
    json_array_foreach(json_object_get(value, "changes"), i, change)
        out.changes.emplace_back(json_string_value(json_object_get(change, "words")),
                                 json_string_value(json_object_get(change, "window")));
    json_decref(value);
    return out;
}

using Changes = std::vector<std::pair<std::string, std::string>>;

// One change as a page window makes it: a named step, then the command. The step's name.
std::string step(const std::string& label, const std::string& url, const Params& params, const std::string& window)
{
    std::string name = member(call("/tuna/save.json", {{"label", label}}, window).body, "step");
    EXPECT_EQ(member(call(url, params, window).body, "status"), "success") << url;
    return name;
}

} // namespace

TEST_F(TunaSavepoints, OneCountAndOneUndoForEveryWindow)
{
    std::string unit = insert("centralUnits", {{"name", "CU-1"}});
    State start = state();
    EXPECT_EQ(start.unsaved, 1); // a change without a step is counted too
    EXPECT_EQ(start.changes, (Changes{{"a change that Undo cannot name", ""}}));

    std::string renamed = step("CU-Renamed changed", "/tuna/update/centralUnits.json",
                               {{"id", unit}, {"name", "CU-Renamed"}}, "A");
    Reply kept = call("/tuna/configurationFile.json", {{"command", "download_kept"},
                                                       {"revision", std::to_string(state().revision)}}, "A");
    ASSERT_EQ(member(kept.body, "status"), "success") << kept.body;
    std::string deleted = step("CU-Renamed deleted", "/tuna/delete/centralUnits.json", {{"id", unit}}, "B");

    State now = state(start.revision);
    EXPECT_EQ(now.unsaved, 1);
    EXPECT_EQ(now.steps, (std::vector<std::string>{"CU-Renamed changed", "CU-Renamed deleted"}));
    EXPECT_EQ(now.undoStep, deleted);
    EXPECT_TRUE(now.complete);
    EXPECT_EQ(now.changes, (Changes{{"CU-Renamed changed", "A"}, {"Saved as a download", "A"}, {"CU-Renamed deleted", "B"}}));

    // A's Undo names its own step, but B's is the store's last: nothing is undone.
    Reply refused = call("/tuna/undo.json", {{"step", renamed}}, "A");
    EXPECT_EQ(member(refused.body, "description"),
              "the last change is now \"CU-Renamed deleted\" (made elsewhere); nothing was undone");
    EXPECT_TRUE(names("centralUnits").empty());

    // Undo takes back exactly the step it names, in any window: the count follows the saved file.
    EXPECT_EQ(call("/tuna/undo.json", {{"step", deleted}}, "A").body, kProbably);
    EXPECT_EQ(names("centralUnits"), std::vector<std::string>{"CU-Renamed"});
    EXPECT_EQ(state().unsaved, 0);
    EXPECT_EQ(call("/tuna/undo.json", {{"step", renamed}}, "B").body, kProbably);
    EXPECT_EQ(names("centralUnits"), std::vector<std::string>{"CU-1"});
    State back = state(now.revision);
    EXPECT_EQ(back.unsaved, 1); // the file holds CU-Renamed
    EXPECT_EQ(back.changes, (Changes{{"Undone: CU-Renamed deleted", "A"}, {"Undone: CU-Renamed changed", "B"}}));

    // A step whose change failed is taken back without a trace; reading changes nothing.
    std::string failed = member(call("/tuna/save.json", {{"label", "nothing"}}).body, "step");
    EXPECT_EQ(member(call("/tuna/update/centralUnits.json", {{"id", "id999"}, {"name", "x"}}).body, "status"), "error");
    EXPECT_EQ(call("/tuna/undo.json", {{"step", failed}}).body, kProbably);
    for (const char* url : {"/tuna/list/centralUnits.json", "/tuna/state.json", "/tuna/configurationFile.json"})
        call(url, {{"command", "file_state"}});
    State after = state(back.revision);
    EXPECT_EQ(after.revision, back.revision);
    EXPECT_EQ(after.unsaved, 1);
    EXPECT_TRUE(after.changes.empty());

    // A new configuration: no steps, nothing unsaved.
    call("/tuna/configurationFile.json", {{"command", "new_file"}}, "B");
    State fresh = state(after.revision);
    EXPECT_EQ(fresh.unsaved, 0);
    EXPECT_TRUE(fresh.steps.empty());
    EXPECT_EQ(fresh.changes, (Changes{{"Started a new configuration", "B"}}));
}

TEST_F(TunaSavepoints, AChangeCarriesWhatItReadAndTheRunItReadFrom)
{
    std::string unit = insert("centralUnits", {{"name", "CU-1"}, {"ipAddress", "10.0.0.1"}});
    const std::string refused = "the row was changed elsewhere after it was read (ipAddress now holds \"10.0.0.1\"); "
                                "nothing was saved";
    struct Case {
        const char* what;
        std::string url;
        Params params;
        std::string description; // empty: done
    } cases[] = {
        {"a stale update", "/tuna/update/centralUnits.json",
         {{"id", unit}, {"name", "CU-1"}, {"sipDomain", "b.local"}, {"read.name", "CU-1"}, {"read.ipAddress", "10.0.0.9"}},
         refused},
        {"a stale delete", "/tuna/delete/centralUnits.json", {{"id", unit}, {"read.ipAddress", "10.0.0.9"}}, refused},
        {"a row that is gone", "/tuna/update/centralUnits.json", {{"id", "id999"}, {"read.name", "CU-1"}},
         "no row with this id"},
        {"an earlier run", "/tuna/update/centralUnits.json", {{"id", unit}, {"name", "CU-1"}, {"run", "0123"}},
         "the server restarted since this was read: what it was meant for went with the earlier run; nothing was changed"},
        {"what it read", "/tuna/update/centralUnits.json",
         {{"id", unit}, {"name", "CU-1"}, {"ipAddress", "10.0.0.1"}, {"sipDomain", "b.local"}, {"read.ipAddress", "10.0.0.1"},
          {"run", start_token()}},
         ""},
    };
    for (const Case& c : cases) {
        Reply reply = call(c.url, c.params);
        if (c.description.empty()) {
            EXPECT_EQ(member(reply.body, "status"), "success") << c.what << reply.body;
        } else {
            EXPECT_EQ(member(reply.body, "description"), c.description) << c.what;
        }
    }
    auto rows = tableRows(store(), "centralUnits");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["sipDomain"], "b.local");
    EXPECT_EQ(rows[0]["ipAddress"], "10.0.0.1");

    // A download counts as saved only while the store still holds what it held.
    long long revision = state().revision;
    insert("radio", {{"name", "R1"}});
    Reply late = call("/tuna/configurationFile.json", {{"command", "download_kept"}, {"revision", std::to_string(revision)}});
    EXPECT_EQ(member(late.body, "status"), "error");
    EXPECT_EQ(state().unsaved, 3);
}
