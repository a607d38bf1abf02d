// Statements of the store: texts composed from the schema, with every value bound to a '?'
// placeholder instead of being spliced into the text. Table and column names come from the schema only.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// One row of a table: column -> text. A column that the map lacks reads as the empty text.
using RowMap = std::map<std::string, std::string>;

using SqlValue = std::variant<std::string, int64_t>;

// A statement or a condition: its text, with one '?' per value, and the values in order.
struct Sql {
    std::string text;
    std::vector<SqlValue> values;

    Sql() = default;
    explicit Sql(std::string statement) : text(std::move(statement)) {}

    bool empty() const { return text.empty(); }
    // Plain statement text (names and keywords, never a request's value).
    Sql& operator+=(std::string_view more);
    // Another statement part with its values.
    Sql& operator+=(const Sql& more);
    // A '?' bound to the value.
    Sql& bind(std::string value);
    Sql& bind(int64_t value);

    // The text with each value in place, texts between single quotes (a quote doubled): for logs,
    // and the same text that a value spliced in would have given.
    std::string render() const;
};

// A prepared statement with its values bound; finalised on destruction.
class Statement {
public:
    Statement(sqlite3* db, const Sql& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // False when the database refused the text; error() tells why.
    bool ok() const { return stmt_ != nullptr; }
    const std::string& error() const { return error_; }
    // True while a row is available; a failed step sets error().
    bool next();
    // Steps to the end; the final result code (SQLITE_DONE on success).
    int run();
    // The text of a result column; SQL NULL reads as the empty text.
    std::string text(int column) const;
    int columnCount() const;
    sqlite3_stmt* handle() const { return stmt_; }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    std::string error_;
};

// Runs a statement to its end. Returns the result code (SQLITE_OK on success); the message in *error.
int executeSql(sqlite3* db, const Sql& sql, std::string* error = nullptr);

// "SELECT <columns> FROM <table>[ WHERE <condition>];\n", the columns in schema order.
Sql buildSelect(const std::string& table, const Sql& condition = Sql());
// Copies the current row of a statement made by buildSelect(table, ...) into `row`, in schema order.
void fetchRow(const std::string& table, const Statement& statement, RowMap& row);
// "INSERT INTO <table> (<columns>) VALUES (<values>);\n" over every column of the table in schema
// order; a column that `row` lacks gets the empty text, keys of `row` that are no columns are ignored.
Sql buildInsert(const std::string& table, const RowMap& row);
// "DELETE FROM <table>[ WHERE <condition>];\n".
Sql deleteWhere(const std::string& table, const Sql& condition = Sql());

// The row number in an id text: the decimal digits after its first two characters ("id42" -> 42).
int64_t idNumber(const std::string& id);
