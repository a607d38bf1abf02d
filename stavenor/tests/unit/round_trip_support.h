// The configuration round trip, for any fixture: load f, save s1, load s1, save s2. s1 and s2 must
// be equal byte for byte but for the date, and every table, with ids replaced by names, must be
// equal after the two loads.
//
//     class MySection : public round_trip::WorkingDirectory {};
//     TEST_F(MySection, RoundTrip) { round_trip::expectRoundTrip(fixture("my_section.conf")); }
//
// Loads go through the "configurationFile.json" command ("load_file"), as the browser's do.
#pragma once

#include "common/store_lock.h"
#include "handlers/tuna/schema.h"
#include "handlers/tuna/tuna.h"
#include "handlers/tuna/tuna_handler.h"
#include "tuna_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace round_trip {

using tuna_test::tableRows;

// table -> its rows, each as "column=value" lines, sorted.
using TableDump = std::map<std::string, std::vector<std::string>>;

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// A ".conf" text without its header line and its "date" key.
inline std::string withoutDate(const std::string& text)
{
    std::string out;
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (first) {
            first = false;
            if (line.rfind("# config file ", 0) == 0) continue;
        }
        if (line.rfind("\t|date| = |", 0) == 0) continue;
        out += line;
        out += '\n';
    }
    return out;
}

// Every table of the store (ids included), with each id text replaced by what it stands for: the
// name of a named object, else the table and name of the row that bears it.
inline TableDump dumpTables(TunaHandler& store)
{
    auto lock = lock_store();
    std::map<std::string, std::string> labels;
    for (const auto& [table, definition] : tableDefinitions) {
        if (table == "ids" || !definition.hasColumn("id")) continue;
        Statement select(store.database, buildSelect(table));
        RowMap row;
        while (select.next()) {
            fetchRow(table, select, row);
            const std::string& id = row["id"];
            auto named = store.namesById.find(id);
            std::string label = named != store.namesById.end() ? "<" + named->second + ">"
                                                               : "<" + table + ":" + row["name"] + ">";
            labels.emplace(id, label);
        }
    }
    static const std::regex idText("^id[0-9]+$");
    TableDump dump;
    for (const auto& [table, definition] : tableDefinitions) {
        Statement select(store.database, buildSelect(table));
        RowMap row;
        while (select.next()) {
            fetchRow(table, select, row);
            std::string line;
            for (const std::string& column : definition.columns) {
                std::string value = row[column];
                if (table == "ids" && column == "id") continue; // row numbers: order of creation
                if (std::regex_match(value, idText)) {
                    auto label = labels.find(value);
                    value = label != labels.end() ? label->second : "<unknown id>";
                }
                line += column + "=" + value + "\n";
            }
            dump[table].push_back(line);
        }
        std::sort(dump[table].begin(), dump[table].end());
    }
    return dump;
}

// Loads the file as the browser does: copied into the temporary directory, then "load_file".
// Returns the reply body.
inline std::string loadFile(const std::string& path)
{
    std::filesystem::create_directories("tmp");
    std::string name = std::filesystem::path(path).filename().string();
    std::filesystem::copy_file(path, "tmp/" + name, std::filesystem::copy_options::overwrite_existing);
    param_list params;
    add_param(params, "command", std::string("load_file"), PARAM_GET);
    add_param(params, "fileName", name, PARAM_GET);
    http_request request;
    request.url = "/tuna/configurationFile.json";
    request.params = &params;
    tuna_handler(request);
    return request.data;
}

inline int saveFile(const std::string& path)
{
    auto lock = lock_store();
    return tunaStore()->writeConfiguration(path);
}

struct Result {
    std::string s1, s2;       // the two saved texts
    TableDump afterF, afterS1; // the tables after each load
};

// Runs the round trip in the working directory (which must be writable; see WorkingDirectory).
inline Result runRoundTrip(const std::string& fixture)
{
    Result result;
    const std::string success = "{\n\t\"status\" : \"success\"\n}\n";
    EXPECT_EQ(loadFile(fixture), success) << fixture;
    result.afterF = dumpTables(*tunaStore());
    EXPECT_EQ(saveFile("s1.conf"), 0);
    result.s1 = readFile("s1.conf");
    EXPECT_EQ(loadFile("s1.conf"), success);
    result.afterS1 = dumpTables(*tunaStore());
    EXPECT_EQ(saveFile("s2.conf"), 0);
    result.s2 = readFile("s2.conf");
    return result;
}

// `normalised`: tables that a load of f may fill otherwise than a load of s1, where the file holds
// what the export writes otherwise (a default, an empty value it leaves out, a section it always
// writes). They must hold still from s1 on: a load of s2 fills them as the load of s1 did.
inline void expectRoundTrip(const std::string& fixture, const std::set<std::string>& normalised = {})
{
    Result r = runRoundTrip(fixture);
    EXPECT_EQ(withoutDate(r.s1), withoutDate(r.s2)) << fixture;
    for (const auto& [table, rows] : r.afterF) {
        if (normalised.count(table) == 0) {
            EXPECT_EQ(rows, r.afterS1[table]) << fixture << ": table " << table;
        }
    }
    if (normalised.empty()) return;
    EXPECT_EQ(loadFile("s2.conf"), "{\n\t\"status\" : \"success\"\n}\n");
    TableDump afterS2 = dumpTables(*tunaStore());
    for (const std::string& table : normalised) EXPECT_EQ(r.afterS1[table], afterS2[table]) << fixture << ": table " << table;
}

// A fresh store in a fresh working directory of its own (removed afterwards), so that the files
// and announcement directories an import makes stay inside it.
class WorkingDirectory : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = std::filesystem::current_path();
        char pattern[] = "/tmp/stavenor-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        std::filesystem::current_path(directory_);
        stop_store();
        start_store();
        ASSERT_NE(tunaStore(), nullptr);
    }
    void TearDown() override
    {
        stop_store();
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    // A fixture of tests/data/config.
    static std::string fixture(const std::string& name) { return std::string(TEST_DATA_DIR) + "/config/" + name; }
    TunaHandler& store() { return *tunaStore(); }

    std::filesystem::path previous_;
    std::filesystem::path directory_;
};

} // namespace round_trip
