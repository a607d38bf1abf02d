// The in-memory configuration database: its schema, the ids register and the id operations.
#include "common/logger.h"
#include "handlers/tuna/schema.h"
#include "handlers/tuna/tuna_handler.h"

#include <cinttypes>
#include <cstdio>

namespace {

const char* const kCreateIds = "CREATE TABLE ids(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, type TEXT, cbm TEXT)";

// Drops an audio file's row once no repository row names it any more.
const char* const kRepositoryTrigger =
    "CREATE TRIGGER globalAudioSetupAudioRepositoryCleaner AFTER DELETE ON globalAudioSetupAudioRepository  BEGIN"
    "    DELETE FROM audioFiles WHERE name=old.name AND (SELECT count(name) FROM globalAudioSetupAudioRepository"
    " WHERE name=old.name) = 0;  END";

} // namespace

TunaHandler::TunaHandler() { openDatabase(); }

TunaHandler::~TunaHandler()
{
    sqlite3_close_v2(database);
    database = nullptr;
}

void TunaHandler::openDatabase()
{
    sqlite3_close_v2(database);
    database = nullptr;
    // Savepoints live in the connection: the names of the old one mean nothing to the new one.
    savepoints.clear();

    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) {
        fprintf(stderr, "Can't open database: %s\n", db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return;
    }
    database = db;
    createSchema();
}

void TunaHandler::createSchema()
{
    idsByName.clear();
    namesById.clear();
    tableAliases["ids"] = "ids";
    std::string error;
    if (executeSql(database, Sql(kCreateIds), &error) != SQLITE_OK) LOG(LOG_ERROR, "ERROR: %s", error.c_str());

    for (const auto& [name, definition] : tableDefinitions)
        if (name != "ids") createTable(name);

    RowMap configuration;
    configuration["name"] = "New configuration.conf";
    configuration["id"] = insertId("false", "unknown", "name");
    if (executeSql(database, buildInsert("Configuration", configuration), &error) != SQLITE_OK)
        LOG(LOG_ERROR, "ERROR: %s", error.c_str());

    if (executeSql(database, Sql(kRepositoryTrigger), &error) != SQLITE_OK) LOG(LOG_ERROR, "ERROR: %s", error.c_str());
}

void TunaHandler::createTable(const std::string& name)
{
    const TableDefinition* definition = findTable(name);
    if (!definition) {
        LOG(LOG_ERROR, "ERROR: no table %s in the schema", name.c_str());
        return;
    }
    tableAliases[name] = name;
    for (const std::string& alias : definition->aliases) tableAliases[alias] = name;

    Sql create("CREATE TABLE " + name + " (");
    for (size_t i = 0; i < definition->columns.size(); ++i) {
        if (i) create += ", ";
        create += definition->columns[i];
        create += " TEXT";
    }
    create += ")";
    std::string error;
    if (executeSql(database, create, &error) != SQLITE_OK) LOG(LOG_INFO, "ERROR: %s", error.c_str());
}

std::string TunaHandler::insertId(const std::string& cbm, const std::string& type, const std::string& name)
{
    Sql insert("INSERT INTO ids (type,cbm,name) VALUES (");
    insert.bind(type);
    insert += ",";
    insert.bind(cbm);
    insert += ",";
    insert.bind(name);
    insert += ")";
    std::string error;
    if (executeSql(database, insert, &error) != SQLITE_OK) {
        LOG(LOG_ERROR, "insertId: %s", error.c_str());
        return {};
    }
    char id[32];
    snprintf(id, sizeof id, "id%" PRId64, static_cast<int64_t>(sqlite3_last_insert_rowid(database)));
    return id;
}

std::string TunaHandler::getOrCreateId(const std::string& name, const std::string& cbm, const std::string& type)
{
    LOG(LOG_INFO, "%s", "getOrCreateId");
    if (!name.empty()) {
        auto found = idsByName.find(name);
        if (found != idsByName.end()) {
            LOG(LOG_INFO, "%s vs %s", name.c_str(), found->first.c_str());
            LOG(LOG_INFO, "already exists!");
            return found->second;
        }
    }
    return insertId(cbm, type, name);
}

int TunaHandler::updateIdName(int64_t id, const std::string& name)
{
    LOG(LOG_INFO, "TUNA[%s] id=%" PRId64 " name=%s", "updateIdName", id, name.c_str());
    Sql update("UPDATE ids SET name = ");
    update.bind(name);
    update += " WHERE id = ";
    update.bind(id);
    return executeSql(database, update);
}

int TunaHandler::deleteId(int64_t id)
{
    Sql remove("DELETE FROM ids WHERE id=");
    remove.bind(id);
    return executeSql(database, remove);
}

bool TunaHandler::fetchRowById(const std::string& id)
{
    Sql condition("id = ");
    condition.bind(idNumber(id));
    Statement statement(database, buildSelect("ids", condition));
    return statement.next();
}

void TunaHandler::rememberName(const std::string& id, const std::string& name)
{
    auto old = namesById.find(id);
    if (old != namesById.end()) {
        auto entry = idsByName.find(old->second);
        if (entry != idsByName.end() && entry->second == id && entry->first != name) idsByName.erase(entry);
        namesById.erase(old);
    }
    if (name.empty()) return;
    idsByName[name] = id;
    namesById[id] = name;
}

void TunaHandler::forgetId(const std::string& id) { rememberName(id, std::string()); }
