#include "handlers/tuna/schema.h"
#include "handlers/tuna/sql.h"

#include "tuna_test_support.h"

TEST(TunaSql, BuildersGiveTheirTextsForPlainValues)
{
    buildTableDefinitions();
    Sql condition("breltID = ");
    condition.bind(std::string("id4"));
    RowMap row = {{"name", "R1"}, {"notAColumn", "x"}};
    Sql numeric("id = ");
    numeric.bind(int64_t{7});

    struct Case {
        Sql sql;
        const char* rendered;
    } cases[] = {
        {buildSelect("Texts"), "SELECT id, name FROM Texts;\n"},
        {buildSelect("speaker", condition),
         "SELECT id, name, breltID, playAnnouncements, volume, line1, sipExtension FROM speaker WHERE breltID = 'id4';\n"},
        {buildSelect("ids", numeric), "SELECT id, name, type, cbm FROM ids WHERE id = 7;\n"},
        {buildInsert("Texts", row), "INSERT INTO Texts (id, name) VALUES ('', 'R1');\n"},
        {deleteWhere("Texts"), "DELETE FROM Texts;\n"},
        {deleteWhere("Texts", condition), "DELETE FROM Texts WHERE breltID = 'id4';\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.sql.render(), c.rendered);

    // The texts carry placeholders; the values travel beside them.
    EXPECT_EQ(buildInsert("Texts", row).text, "INSERT INTO Texts (id, name) VALUES (?, ?);\n");
    EXPECT_EQ(buildInsert("radio", {}).values.size(), 50u);
    EXPECT_EQ(buildInsert("telephone", {}).values.size(), 57u);
}

TEST(TunaSql, ValuesAreBoundNeverSpliced)
{
    buildTableDefinitions();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    ASSERT_EQ(executeSql(db, Sql("CREATE TABLE Texts (id TEXT, name TEXT)")), SQLITE_OK);

    const std::string hostile = "x'); DROP TABLE Texts; --";
    RowMap row = {{"id", "id1"}, {"name", hostile}};
    ASSERT_EQ(executeSql(db, buildInsert("Texts", row)), SQLITE_OK);
    // The log form doubles the quote, so even the rendered text stays one statement.
    EXPECT_EQ(buildInsert("Texts", row).render(), "INSERT INTO Texts (id, name) VALUES ('id1', 'x''); DROP TABLE Texts; --');\n");

    Sql condition("name = ");
    condition.bind(hostile);
    Statement select(db, buildSelect("Texts", condition));
    ASSERT_TRUE(select.ok()) << select.error();
    ASSERT_TRUE(select.next());
    RowMap fetched;
    fetchRow("Texts", select, fetched);
    EXPECT_EQ(fetched, row);
    EXPECT_FALSE(select.next());

    // NULL reads as the empty text.
    ASSERT_EQ(executeSql(db, Sql("INSERT INTO Texts (id, name) VALUES ('id2', NULL)")), SQLITE_OK);
    Sql second("id = ");
    second.bind(std::string("id2"));
    Statement nulls(db, buildSelect("Texts", second));
    ASSERT_TRUE(nulls.next());
    EXPECT_EQ(nulls.text(1), "");

    std::string error;
    EXPECT_NE(executeSql(db, Sql("SELECT nosuch FROM Texts"), &error), SQLITE_OK);
    EXPECT_NE(error.find("nosuch"), std::string::npos) << error;
    sqlite3_close(db);
}

TEST(TunaSql, IdNumberReadsTheDigitsAfterThePrefix)
{
    struct Case {
        const char* id;
        int64_t number;
    } cases[] = {{"id42", 42}, {"id1", 1}, {"id", 0}, {"", 0}, {"idx", 0}, {"id12abc", 12}, {"ab7", 7}};
    for (const auto& c : cases) EXPECT_EQ(idNumber(c.id), c.number) << c.id;
}
