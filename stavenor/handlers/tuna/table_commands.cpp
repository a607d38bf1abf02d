// The browser's row editing: list, insert, update and delete, and the collision checks that keep
// two objects from taking one identity.
#include "common/logger.h"
#include "handlers/tuna/json_text.h"
#include "handlers/tuna/schema.h"
#include "handlers/tuna/tuna_handler.h"
#include "tree/config_node.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "common/paths.h"

namespace {

// Tables whose objects are known by name: their ids rows carry the object's name and kind, and
// idsByName / namesById follow their inserts, renames and deletes.
struct NamedKind {
    const char* table;
    const char* type;
    const char* cbm;
};

const NamedKind kNamedKinds[] = {
    {"radio", "transceiver", "true"},
    {"globalOverviewConferences", "conference", "true"},
    {"operatorGeneral", "operator", "true"},
    {"speaker", "speaker", "true"},
    {"telephone", "telephone", "false"},
    {"telephoneLine", "phone", "true"},
    {"centralUnits", "unknown", "false"},
    {"globalEvents", "event", "false"},
};

const NamedKind* namedKind(const std::string& table)
{
    for (const NamedKind& kind : kNamedKinds)
        if (table == kind.table) return &kind;
    return nullptr;
}

// A parameter's text: none when the request lacks it, the empty text when it came without a value.
const std::string* paramText(const param_list& params, const std::string& name)
{
    static const std::string empty;
    const request_param* param = find_param(params, name);
    if (!param) return nullptr;
    return param->value ? &*param->value : &empty;
}

// The table that the request path names: the text after its last '/', up to ".json" when
// `json` is set (then required), resolved through the aliases. None when the schema lacks it.
std::optional<std::string> tableFromUrl(const TextMap& aliases, const std::string& url, bool json)
{
    std::string name = url.substr(url.rfind('/') + 1);
    if (json) {
        size_t suffix = name.find(".json");
        if (suffix == std::string::npos) return std::nullopt;
        name.resize(suffix);
    }
    auto alias = aliases.find(name);
    if (alias == aliases.end() || !findTable(alias->second)) return std::nullopt;
    return alias->second;
}

// " WHERE a=? AND b=?" from every parameter but "id" that has a value. None when a parameter names
// no column of the table: such a filter can match nothing, as the database would refuse it.
std::optional<Sql> filterCondition(const TableDefinition& definition, const param_list& params)
{
    Sql filter;
    bool first = true;
    for (int i = 0; i < param_count(params); ++i) {
        const std::string& name = *param_name_at(params, i);
        const std::string* value = param_value_at(params, i);
        if (name == "id" || !value || value->empty()) continue;
        if (!definition.hasColumn(name)) return std::nullopt;
        filter += first ? " WHERE " : " AND ";
        first = false;
        filter += name;
        filter += "=";
        filter.bind(*value);
    }
    return filter;
}

// The first column of the table whose request value could not be written to a configuration file
// and read back ('|', CR, LF or NUL); none when every value can.
std::optional<std::string> unwritableColumn(const TableDefinition& definition, const param_list& params)
{
    for (const std::string& column : definition.columns) {
        const std::string* value = paramText(params, column);
        if (value && !ConfigNode::isWritableText(*value)) return column;
    }
    return std::nullopt;
}

void replyUnwritable(std::string& reply, const std::string& column)
{
    replyError(reply, "the value of " + column + " holds a '|', a line break or a NUL byte");
}

} // namespace

void TunaHandler::tunaList(http_request& request, std::string& reply)
{
    bool json = request.url.find(".json", request.url.rfind('/')) != std::string::npos;
    auto table = tableFromUrl(tableAliases, request.url, json);
    if (!table) return;
    if (json)
        tunaTableListJson(*table, request, reply);
    else
        tunaTableList(*table, request, reply);
}

void TunaHandler::tunaInsert(http_request& request, std::string& reply)
{
    if (auto table = tableFromUrl(tableAliases, request.url, true)) tunaTableInsert(*table, request, reply);
}

void TunaHandler::tunaUpdate(http_request& request, std::string& reply)
{
    if (auto table = tableFromUrl(tableAliases, request.url, true)) tunaTableUpdate(*table, request, reply);
}

void TunaHandler::tunaDelete(http_request& request, std::string& reply)
{
    if (auto table = tableFromUrl(tableAliases, request.url, true)) tunaTableDelete(*table, request, reply);
}

void TunaHandler::tunaTableList(const std::string& table, http_request& request, std::string& reply)
{
    LOG(LOG_INFO, "TUNA[%s]: ", "tunaTableList");
    const TableDefinition& definition = *findTable(table);
    const param_list& params = requestParams(request);
    int count = param_count(params);

    // One entry per parameter, from the last to the first; those that name a column are selected.
    Sql select("SELECT ");
    std::vector<bool> selected(static_cast<size_t>(count), false);
    bool any = false;
    for (int i = count - 1; i >= 0; --i) {
        const std::string& name = *param_name_at(params, i);
        LOG(LOG_INFO, "\tColumn [%s]", name.c_str());
        if (!definition.hasColumn(name)) continue;
        if (any) select += ", ";
        select += name;
        selected[static_cast<size_t>(i)] = true;
        any = true;
    }
    select += " FROM ";
    select += table;
    auto filter = filterCondition(definition, params);
    if (filter) select += *filter;
    if (log_enabled(LOG_INFO)) LOG(LOG_INFO, "SELECT %d [%s]", count, select.render().c_str());
    if (!any || !filter) return;

    Statement statement(database, select);
    if (!statement.ok()) {
        LOG(LOG_INFO, "   ERROR: %s", statement.error().c_str());
        return;
    }
    reply += "[";
    bool firstRow = true;
    while (statement.next()) {
        if (!firstRow) reply += ", ";
        firstRow = false;
        reply += "[";
        int column = 0;
        for (int i = count - 1; i >= 0; --i) {
            if (i != count - 1) reply += ", ";
            if (selected[static_cast<size_t>(i)])
                appendJsonString(reply, statement.text(column++));
            else
                reply += "\"\"";
        }
        reply += "]";
    }
    reply += "]\n";
}

void TunaHandler::tunaTableListJson(const std::string& table, http_request& request, std::string& reply)
{
    LOG(LOG_INFO, "TUNA[%s]: ", "tunaTableListJson");
    const TableDefinition& definition = *findTable(table);
    const param_list& params = requestParams(request);
    auto filter = filterCondition(definition, params);
    const std::string* id = paramText(params, "id");

    if (!id || id->empty()) {
        reply += "{\n";
        for (size_t c = 0; c < definition.listColumns.size(); ++c) {
            const std::string& column = definition.listColumns[c];
            reply += "\t";
            appendJsonString(reply, column);
            reply += " : [";
            if (filter && definition.hasColumn(column)) {
                Sql select("SELECT " + column + " FROM " + table);
                select += *filter;
                if (table == "operatorSettingsMenu") select += " ORDER BY position ASC";
                Statement statement(database, select);
                bool first = true;
                while (statement.next()) {
                    if (!first) reply += ", ";
                    first = false;
                    appendJsonString(reply, statement.text(0));
                }
            }
            reply += c + 1 < definition.listColumns.size() ? "],\n" : "]\n";
        }
        reply += "}\n";
        return;
    }

    Sql select("SELECT ");
    for (size_t c = 0; c < definition.columns.size(); ++c) {
        if (c) select += ", ";
        select += definition.columns[c];
    }
    select += " FROM " + table + " WHERE id = ";
    select.bind(*id);
    if (log_enabled(LOG_INFO)) LOG(LOG_INFO, "sql is [%s]\n", select.render().c_str());
    Statement statement(database, select);
    if (!statement.next()) return;
    reply += "{\n";
    for (size_t c = 0; c < definition.columns.size(); ++c) {
        if (c) reply += ",\n";
        reply += "\t";
        appendJsonString(reply, definition.columns[c]);
        reply += " : ";
        appendJsonString(reply, statement.text(static_cast<int>(c)));
    }
    reply += "\n}\n";
}

void TunaHandler::tunaTableInsert(const std::string& table, http_request& request, std::string& reply)
{
    LOG(LOG_INFO, "TUNA[%s]: ", "tunaTableInsert");
    const TableDefinition& definition = *findTable(table);
    const param_list& params = requestParams(request);
    const std::string* name = paramText(params, "name");
    if (!name) return;
    if (auto column = unwritableColumn(definition, params)) {
        replyUnwritable(reply, *column);
        return;
    }

    // A name already known lends its id to the new row, unless a row of this table holds that id:
    // two rows of one table never share an id.
    const NamedKind* kind = namedKind(table);
    std::string id;
    bool fresh = true;
    if (kind) {
        auto known = idsByName.find(*name);
        if (!name->empty() && known != idsByName.end()) {
            Sql condition("id = ");
            condition.bind(known->second);
            Statement taken(database, buildSelect(table, condition));
            fresh = taken.next();
        }
        id = fresh ? insertId(kind->cbm, kind->type, *name) : getOrCreateId(*name, kind->cbm, kind->type);
    } else {
        id = insertId("false", "unknown", "name");
    }
    if (id.empty()) {
        replyError(reply, "no id for the new row: " + std::string(sqlite3_errmsg(database)));
        return;
    }
    LOG(LOG_INFO, "id %s [db:%s]\n", id.c_str(), table.c_str());

    Sql insert("INSERT INTO " + table + " (");
    for (size_t c = 0; c < definition.columns.size(); ++c) {
        if (c) insert += ", ";
        insert += definition.columns[c];
    }
    insert += ") VALUES (";
    for (size_t c = 0; c < definition.columns.size(); ++c) {
        if (c) insert += ", ";
        const std::string& column = definition.columns[c];
        const std::string* value = column == "id" ? &id : paramText(params, column);
        insert.bind(value ? *value : std::string());
    }
    insert += ")";
    LOG(LOG_INFO, "INSERT query");
    std::string error;
    if (executeSql(database, insert, &error) != SQLITE_OK) {
        LOG(LOG_INFO, "   ERROR: %s", error.c_str());
        if (fresh) deleteId(idNumber(id));
        replyError(reply, error);
        return;
    }
    if (kind) rememberName(id, *name);
    replyInsertSuccess(reply, id, *name);
}

void TunaHandler::tunaTableUpdate(const std::string& table, http_request& request, std::string& reply)
{
    LOG(LOG_INFO, "TUNA[%s]: ", "tunaTableUpdate");
    const TableDefinition& definition = *findTable(table);
    const param_list& params = requestParams(request);
    const std::string* id = paramText(params, "id");
    if (!id) return;
    const std::string* name = paramText(params, "name");
    const NamedKind* kind = namedKind(table);
    if (auto column = unwritableColumn(definition, params)) {
        replyUnwritable(reply, *column);
        return;
    }
    // A form saves over the row it read, never over a change made since in another window.
    if (std::string stale = staleRead(table, *id, params); !stale.empty()) {
        replyError(reply, stale);
        return;
    }

    // A named object may not take a name that another object is known by.
    bool nameTaken = false;
    if (kind && name && !name->empty()) {
        auto holder = idsByName.find(*name);
        nameTaken = (holder != idsByName.end() && holder->second != *id) || checkCollision("name", *name, "ids", *id);
    }
    if (nameTaken || checkCollisionExtended(table, params)) {
        LOG(LOG_INFO, "collision detected");
        replyCollision(reply, *id);
        return;
    }

    // Every column but the id is written: one that the request does not name becomes empty.
    Sql update("UPDATE " + table + " SET ");
    bool first = true;
    for (const std::string& column : definition.columns) {
        if (column == "id") continue;
        if (!first) update += ", ";
        first = false;
        update += column;
        update += " = ";
        const std::string* value = paramText(params, column);
        update.bind(value ? *value : std::string());
    }
    update += "  WHERE id = ";
    update.bind(*id);
    LOG(LOG_INFO, "UPDATE query");
    std::string error;
    if (executeSql(database, update, &error) != SQLITE_OK) {
        LOG(LOG_INFO, "   ERROR: %s", error.c_str());
        replyError(reply, error);
        return;
    }
    if (sqlite3_changes(database) == 0) {
        replyError(reply, "no row with this id");
        return;
    }
    replySuccess(reply);

    if (kind) {
        std::string newName = name ? *name : std::string();
        updateIdName(idNumber(*id), newName);
        LOG(LOG_INFO, " $$ (anti)id map entry! %s %s", id->c_str(), newName.c_str());
        rememberName(*id, newName);
    }

    // Each language keeps its announcements in a directory of its own.
    if (table == "globalOverviewLanguages" && name) {
        if (!is_safe_file_name(*name)) {
            LOG(LOG_ERROR, "no announcement directory for the language name %s", name->c_str());
        } else {
            mkdir("announcements", 0755);
            std::string directory = "announcements/" + *name;
            if (mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST)
                LOG(LOG_ERROR, "cannot create %s: %s", directory.c_str(), strerror(errno));
        }
    }
}

void TunaHandler::tunaTableDelete(const std::string& table, http_request& request, std::string& reply)
{
    const param_list& params = requestParams(request);
    const std::string* id = paramText(params, "id");
    if (!id) return;
    if (std::string stale = staleRead(table, *id, params); !stale.empty()) {
        replyError(reply, stale);
        return;
    }
    tunaTableDelete(table, *id, &reply);
}

void TunaHandler::tunaTableDelete(const std::string& table, const std::string& id, std::string* reply)
{
    LOG(LOG_INFO, "TUNA[%s]: ", "tunaTableDelete");
    Sql remove("DELETE FROM " + table + " WHERE id = ");
    remove.bind(id);
    std::string error;
    if (executeSql(database, remove, &error) != SQLITE_OK) {
        LOG(LOG_INFO, "   ERROR: %s", error.c_str());
        if (reply) replyError(*reply, error);
        return;
    }
    // Rows of other tables that refer to the id stay. An object of another table that shares the
    // id (one name, one id) keeps it, with its ids row and its name.
    if (!idInUse(id)) {
        deleteId(idNumber(id));
        forgetId(id);
    }
    if (reply) replySuccess(*reply);
}

bool TunaHandler::idInUse(const std::string& id)
{
    for (const NamedKind& kind : kNamedKinds) {
        Sql condition("id = ");
        condition.bind(id);
        Statement statement(database, buildSelect(kind.table, condition));
        if (statement.next()) return true;
    }
    return false;
}

bool TunaHandler::checkCollision(const std::string& column, const std::string& value, const std::string& table,
                                 const std::string& id)
{
    const TableDefinition* definition = findTable(table);
    if (!definition || !definition->hasColumn(column) || !definition->hasColumn("type")) return false;
    Sql condition(column + " = ");
    condition.bind(value);
    condition += " AND id <> ";
    if (table == "ids")
        condition.bind(idNumber(id));
    else
        condition.bind(id);
    condition += " AND type <> 'unknown'";
    Sql select = buildSelect(table, condition);
    if (log_enabled(LOG_INFO)) LOG(LOG_INFO, "%s: [%s]\n", "checkCollision", select.render().c_str());
    Statement statement(database, select);
    return statement.next();
}

bool TunaHandler::checkCollisionExtended(const std::string& table, const param_list& params)
{
    const TableDefinition* definition = findTable(table);
    if (!definition || definition->collisionRules.empty()) return false;
    Sql condition;
    for (size_t r = 0; r < definition->collisionRules.size(); ++r) {
        const auto& [column, op] = definition->collisionRules[r];
        const std::string* value = paramText(params, column);
        // A rule the request gives no value for cannot be checked; a column the table lacks never matches.
        if (!value || !definition->hasColumn(column)) return false;
        if (r) condition += " AND ";
        condition += column + " " + op + " ";
        condition.bind(*value);
    }
    Sql select = buildSelect(table, condition);
    if (log_enabled(LOG_INFO))
        LOG(LOG_INFO, "%s: [%s]\n", "checkCollisionExtended", select.render().c_str());
    Statement statement(database, select);
    return statement.next();
}
