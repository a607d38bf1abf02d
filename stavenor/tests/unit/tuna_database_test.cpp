#include "handlers/tuna/schema.h"

#include "tuna_test_support.h"

using namespace tuna_test;

namespace {

class TunaDatabase : public Store {};

} // namespace

TEST_F(TunaDatabase, FreshDatabaseHoldsTheFirstRowsAndEveryTable)
{
    auto ids = tableRows(store(), "ids");
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(ids[0], (RowMap{{"id", "1"}, {"name", "name"}, {"type", "unknown"}, {"cbm", "false"}}));
    auto configuration = tableRows(store(), "Configuration");
    ASSERT_EQ(configuration.size(), 1u);
    EXPECT_EQ(configuration[0], (RowMap{{"id", "id1"}, {"name", "New configuration.conf"}}));

    for (const auto& [name, definition] : tableDefinitions) {
        Statement select(store().database, buildSelect(name));
        EXPECT_TRUE(select.ok()) << name << ": " << select.error();
    }
    EXPECT_EQ(store().tableAliases.size(), 42u);
    EXPECT_EQ(store().tableAliases.at("sipAccounts"), "globalOverviewSipAliases");
    EXPECT_EQ(store().tableAliases.at("sipAliases"), "globalOverviewSipAliases");
    EXPECT_EQ(store().tableAliases.at("ids"), "ids");
    EXPECT_EQ(store().tableAliases.at("radio"), "radio");
}

TEST_F(TunaDatabase, TriggerDropsAnAudioFileWithItsLastRepositoryRow)
{
    sqlite3* db = store().database;
    ASSERT_EQ(executeSql(db, Sql("INSERT INTO audioFiles (id, name) VALUES ('id9', 'alarm')")), SQLITE_OK);
    ASSERT_EQ(executeSql(db, Sql("INSERT INTO globalAudioSetupAudioRepository (id, name, languageId) VALUES "
                                 "('id10', 'alarm', 'Common'), ('id11', 'alarm', 'English')")),
              SQLITE_OK);
    ASSERT_EQ(executeSql(db, Sql("DELETE FROM globalAudioSetupAudioRepository WHERE id = 'id10'")), SQLITE_OK);
    EXPECT_EQ(tableRows(store(), "audioFiles").size(), 1u);
    ASSERT_EQ(executeSql(db, Sql("DELETE FROM globalAudioSetupAudioRepository WHERE id = 'id11'")), SQLITE_OK);
    EXPECT_EQ(tableRows(store(), "audioFiles").size(), 0u);
}

TEST_F(TunaDatabase, IdOperations)
{
    std::string first = store().insertId("true", "transceiver", "O'Brien");
    EXPECT_EQ(first, "id2");
    EXPECT_TRUE(store().fetchRowById(first));
    EXPECT_FALSE(store().fetchRowById("id99"));

    // An empty name always makes a new id; a known name gives its id without a new row.
    EXPECT_EQ(store().getOrCreateId("", "false", "unknown"), "id3");
    EXPECT_EQ(store().getOrCreateId("", "false", "unknown"), "id4");
    store().idsByName["Known"] = "id3";
    EXPECT_EQ(store().getOrCreateId("Known", "false", "unknown"), "id3");
    EXPECT_EQ(tableRows(store(), "ids").size(), 4u);

    EXPECT_EQ(store().updateIdName(2, "Renamed \"x\""), SQLITE_OK);
    EXPECT_EQ(tableRows(store(), "ids")[1].at("name"), "Renamed \"x\"");
    EXPECT_EQ(store().deleteId(2), SQLITE_OK);
    EXPECT_FALSE(store().fetchRowById("id2"));
    // Numbers are never given twice, even after a delete.
    EXPECT_EQ(store().insertId("false", "unknown", "name"), "id5");
}

TEST_F(TunaDatabase, AFailedIdInsertGivesNoId)
{
    ASSERT_EQ(executeSql(store().database, Sql("DROP TABLE ids")), SQLITE_OK);
    EXPECT_EQ(store().insertId("false", "unknown", "name"), "");
}

TEST_F(TunaDatabase, ReopeningEmptiesTheStoreAndItsSavepoints)
{
    insert("radio", {{"name", "R1"}});
    call("/tuna/save.json");
    ASSERT_EQ(store().savepoints.size(), 1u);
    store().openDatabase();
    EXPECT_TRUE(store().savepoints.empty());
    EXPECT_TRUE(store().idsByName.empty());
    EXPECT_TRUE(store().namesById.empty());
    EXPECT_EQ(tableRows(store(), "radio").size(), 0u);
    EXPECT_EQ(tableRows(store(), "ids").size(), 1u);
    EXPECT_EQ(call("/tuna/undo.json").body, "{\n\t\"status\" : \"error\",\n\t\"description\" : \"no more savepoints\"\n}\n");
}
