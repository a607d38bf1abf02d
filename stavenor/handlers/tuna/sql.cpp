#include "handlers/tuna/sql.h"

#include "handlers/tuna/schema.h"

#include <cstdlib>

namespace {

const std::vector<std::string>& columnsOf(const std::string& table)
{
    static const std::vector<std::string> none;
    const TableDefinition* definition = findTable(table);
    return definition ? definition->columns : none;
}

void appendColumns(std::string& text, const std::vector<std::string>& columns)
{
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) text += ", ";
        text += columns[i];
    }
}

} // namespace

Sql& Sql::operator+=(std::string_view more)
{
    text += more;
    return *this;
}

Sql& Sql::operator+=(const Sql& more)
{
    text += more.text;
    values.insert(values.end(), more.values.begin(), more.values.end());
    return *this;
}

Sql& Sql::bind(std::string value)
{
    text += '?';
    values.emplace_back(std::move(value));
    return *this;
}

Sql& Sql::bind(int64_t value)
{
    text += '?';
    values.emplace_back(value);
    return *this;
}

std::string Sql::render() const
{
    std::string out;
    out.reserve(text.size() + 16 * values.size());
    size_t next = 0;
    for (char c : text) {
        if (c != '?' || next >= values.size()) {
            out += c;
            continue;
        }
        const SqlValue& value = values[next++];
        if (const auto* number = std::get_if<int64_t>(&value)) {
            out += std::to_string(*number);
            continue;
        }
        out += '\'';
        for (char v : std::get<std::string>(value)) {
            if (v == '\'') out += '\'';
            out += v;
        }
        out += '\'';
    }
    return out;
}

Statement::Statement(sqlite3* db, const Sql& sql) : db_(db)
{
    if (!db) {
        error_ = "no database";
        return;
    }
    if (sqlite3_prepare_v2(db, sql.text.c_str(), static_cast<int>(sql.text.size()), &stmt_, nullptr) != SQLITE_OK) {
        error_ = sqlite3_errmsg(db);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        return;
    }
    if (!stmt_) { // only blanks or a comment
        error_ = "empty statement";
        return;
    }
    if (sqlite3_bind_parameter_count(stmt_) != static_cast<int>(sql.values.size())) {
        error_ = "wrong number of values for the statement";
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        return;
    }
    for (size_t i = 0; i < sql.values.size(); ++i) {
        int index = static_cast<int>(i) + 1;
        int rc;
        if (const auto* number = std::get_if<int64_t>(&sql.values[i])) {
            rc = sqlite3_bind_int64(stmt_, index, *number);
        } else {
            const std::string& text = std::get<std::string>(sql.values[i]);
            rc = sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) {
            error_ = sqlite3_errmsg(db);
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
            return;
        }
    }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

bool Statement::next()
{
    if (!stmt_) return false;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) error_ = sqlite3_errmsg(db_);
    return false;
}

int Statement::run()
{
    if (!stmt_) return SQLITE_ERROR;
    int rc;
    while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) error_ = sqlite3_errmsg(db_);
    return rc;
}

std::string Statement::text(int column) const
{
    const unsigned char* value = sqlite3_column_text(stmt_, column);
    if (!value) return {};
    return std::string(reinterpret_cast<const char*>(value), static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

int Statement::columnCount() const { return stmt_ ? sqlite3_column_count(stmt_) : 0; }

int executeSql(sqlite3* db, const Sql& sql, std::string* error)
{
    Statement statement(db, sql);
    if (!statement.ok()) {
        if (error) *error = statement.error();
        return SQLITE_ERROR;
    }
    int rc = statement.run();
    if (rc != SQLITE_DONE) {
        if (error) *error = statement.error();
        return rc;
    }
    return SQLITE_OK;
}

// The table, an optional WHERE condition and the statement's end, shared by SELECT and DELETE.
static Sql finishStatement(Sql sql, const std::string& table, const Sql& condition)
{
    sql += table;
    if (!condition.empty()) {
        sql += " WHERE ";
        sql += condition;
    }
    sql += ";\n";
    return sql;
}

Sql buildSelect(const std::string& table, const Sql& condition)
{
    Sql sql("SELECT ");
    appendColumns(sql.text, columnsOf(table));
    sql += " FROM ";
    return finishStatement(std::move(sql), table, condition);
}

void fetchRow(const std::string& table, const Statement& statement, RowMap& row)
{
    const std::vector<std::string>& columns = columnsOf(table);
    int available = statement.columnCount();
    for (size_t i = 0; i < columns.size() && static_cast<int>(i) < available; ++i)
        row[columns[i]] = statement.text(static_cast<int>(i));
}

Sql buildInsert(const std::string& table, const RowMap& row)
{
    const std::vector<std::string>& columns = columnsOf(table);
    Sql sql("INSERT INTO ");
    sql += table;
    sql += " (";
    appendColumns(sql.text, columns);
    sql += ") VALUES (";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) sql += ", ";
        auto it = row.find(columns[i]);
        sql.bind(it == row.end() ? std::string() : it->second);
    }
    sql += ");\n";
    return sql;
}

Sql deleteWhere(const std::string& table, const Sql& condition)
{
    Sql sql("DELETE FROM ");
    return finishStatement(std::move(sql), table, condition);
}

int64_t idNumber(const std::string& id)
{
    if (id.size() <= 2) return 0;
    return std::strtoll(id.c_str() + 2, nullptr, 10);
}
