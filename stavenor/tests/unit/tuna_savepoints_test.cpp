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
    EXPECT_EQ(store().savepoints.front(), "save000000006");
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
