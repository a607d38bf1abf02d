// Drives the "tuna" handler in-process: a fresh store per test and requests built by hand.
#pragma once

#include "common/store_lock.h"
#include "handlers/tuna/sql.h"
#include "handlers/tuna/tuna.h"
#include "handlers/tuna/tuna_handler.h"

#include <gtest/gtest.h>
#include <jansson.h>

#include <string>
#include <utility>
#include <vector>

namespace tuna_test {

struct Reply {
    int status = 0;
    std::string body;
    std::string contentType;
    std::string disposition;
};

using Params = std::vector<std::pair<std::string, std::string>>;

// `window`: the page window that sends it (its X-Window header).
inline Reply call(const std::string& url, const Params& params = {}, const std::string& window = {})
{
    param_list list;
    for (const auto& [name, value] : params) add_param(list, name, value, PARAM_GET);
    http_request request;
    request.url = url;
    request.params = &list;
    request.window = window;
    tuna_handler(request);
    return {request.status, request.data, request.content_type.value_or(""), request.content_disposition.value_or("")};
}

// Every row of one table, in the database's order or in the order of an ORDER BY term.
inline std::vector<RowMap> tableRows(TunaHandler& store, const std::string& table, const std::string& orderBy = {})
{
    auto lock = lock_store();
    Sql select = buildSelect(table);
    if (!orderBy.empty()) {
        select.text.resize(select.text.size() - 2); // ";\n"
        select += " ORDER BY " + orderBy;
    }
    std::vector<RowMap> out;
    Statement statement(store.database, select);
    while (statement.next()) {
        RowMap row;
        fetchRow(table, statement, row);
        out.push_back(std::move(row));
    }
    return out;
}

// True when `text` is one whole JSON value.
inline bool isJson(const std::string& text)
{
    json_error_t error;
    json_t* value = json_loadb(text.data(), text.size(), JSON_DECODE_ANY | JSON_ALLOW_NUL, &error);
    if (!value) return false;
    json_decref(value);
    return true;
}

// A JSON object's string member, or "<missing>".
inline std::string member(const std::string& text, const char* name)
{
    json_error_t error;
    json_t* value = json_loadb(text.data(), text.size(), 0, &error);
    std::string out = "<missing>";
    if (value) {
        json_t* field = json_object_get(value, name);
        if (json_is_string(field)) out = json_string_value(field);
        json_decref(value);
    }
    return out;
}

// The strings of one array member of a list reply.
inline std::vector<std::string> column(const std::string& text, const char* name)
{
    std::vector<std::string> out;
    json_error_t error;
    json_t* value = json_loadb(text.data(), text.size(), 0, &error);
    if (!value) return out;
    json_t* array = json_object_get(value, name);
    size_t i;
    json_t* item;
    json_array_foreach(array, i, item) out.push_back(json_string_value(item) ? json_string_value(item) : "<not a string>");
    json_decref(value);
    return out;
}

class Store : public ::testing::Test {
protected:
    void SetUp() override
    {
        stop_store();
        start_store();
        ASSERT_NE(tunaStore(), nullptr);
    }
    void TearDown() override { stop_store(); }

    TunaHandler& store() { return *tunaStore(); }

    // Inserts a row and returns its id.
    std::string insert(const std::string& table, const Params& params)
    {
        Reply reply = call("/tuna/insert/" + table + ".json", params);
        EXPECT_EQ(member(reply.body, "status"), "success") << reply.body;
        return member(reply.body, "id");
    }

    std::vector<std::string> names(const std::string& table)
    {
        return column(call("/tuna/list/" + table + ".json").body, "name");
    }
};

} // namespace tuna_test
