#include "handlers/tuna/lookup_tables.h"
#include "handlers/tuna/schema.h"

#include "tuna_test_support.h"

#include <set>

namespace {

std::vector<std::string> strings(json_t* array)
{
    std::vector<std::string> out;
    size_t i;
    json_t* item;
    json_array_foreach(array, i, item) out.push_back(json_string_value(item));
    return out;
}

} // namespace

// The fixture lists every table as the configuration files and the browser know it.
TEST(TunaSchema, MatchesTheTableListOfTheFixture)
{
    buildTableDefinitions();
    json_error_t error;
    json_t* fixture = json_load_file(TEST_DATA_DIR "/tuna/schema.json", 0, &error);
    ASSERT_NE(fixture, nullptr) << error.text;
    ASSERT_EQ(json_array_size(fixture), 40u);
    EXPECT_EQ(tableDefinitions.size(), 40u);

    size_t i;
    json_t* entry;
    json_array_foreach(fixture, i, entry) {
        std::string name = json_string_value(json_object_get(entry, "table"));
        const TableDefinition* definition = findTable(name);
        ASSERT_NE(definition, nullptr) << name;
        EXPECT_EQ(definition->columns, strings(json_object_get(entry, "columns"))) << name;
        EXPECT_EQ(definition->listColumns, strings(json_object_get(entry, "listColumns"))) << name;
        EXPECT_EQ(definition->aliases, strings(json_object_get(entry, "aliases"))) << name;
        std::vector<std::pair<std::string, std::string>> rules;
        size_t r;
        json_t* rule;
        json_array_foreach(json_object_get(entry, "collisionRules"), r, rule)
            rules.emplace_back(json_string_value(json_array_get(rule, 0)), json_string_value(json_array_get(rule, 1)));
        EXPECT_EQ(definition->collisionRules, rules) << name;
        EXPECT_EQ(definition->columns.front(), "id") << name;
    }
    json_decref(fixture);
}

TEST(TunaSchema, LookupNeverAddsAndUpperCaseNamesComeFirst)
{
    buildTableDefinitions();
    EXPECT_EQ(findTable("nosuchtable"), nullptr);
    EXPECT_EQ(findTable("sipAliases"), nullptr); // aliases are resolved by the store, not the schema
    EXPECT_EQ(tableDefinitions.size(), 40u);
    auto it = tableDefinitions.begin();
    EXPECT_EQ((it++)->first, "Configuration");
    EXPECT_EQ(it->first, "Texts");
}

TEST(TunaLookupTables, HoldTheirFixedRows)
{
    buildLookupTables();
    EXPECT_EQ(daemonIds, (TextMap{{"xjn_server", "1"}, {"xjn_config", "2"}, {"xjnr_server", "3"},
                                  {"xjnr_config", "4"}, {"dis", "5"}}));

    EXPECT_EQ(modelNames.size(), 32u);
    struct Case {
        const char* model;
        const char* product;
    } cases[] = {
        {"BRELT-10TA", "ZT-5200K-CU-10X"}, {"BRELT-10TA-L2", "ZT-5200K-CU-20X"}, {"Central Unit", "ZT-5200K-CU"},
        {"MVQ-2CS ", "ZT-5200K-CS"},       {"MVQ-2CS", "ZT-5200K-CS-10X"},       {"MVQ-2CS-C4", "ZT-5200K-CS-50X"},
        {"MVQ-2FFS-H", "ZT-5200K-FS-20X"}, {"MVQ-2FFS-FK-A", "ZT-5200K-FK-30X"}, {"MVQ-2TS ", "ZT-5200K-TA"},
        {"MVQ-2TS", "ZT-5200K-TA-20X"},    {"MVQ-2TS-A", "ZT-5200K-TA-10X"},     {"PAXU-F", "ZT-5200K-PX-10X"},
        {"-", "10X"},                      {"-C2", "40X"},                       {"MVQ-2GM", "ZT-5200K-SP-10X"},
        {"Speaker", "ZT-5200K-SP-10X"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(modelNames.count(c.model)) << c.model;
        EXPECT_EQ(modelNames.at(c.model), c.product) << c.model;
    }
    // Every product name but the bare variant texts carries the family prefix.
    for (const auto& [model, product] : modelNames)
        EXPECT_TRUE(product.size() == 3 || product.rfind("ZT-5200K-", 0) == 0) << model << " " << product;

    const TextMap a = {{"Enabled", "1"}, {"Inverted", "2"}, {"Falling", "3"}, {"Rising", "4"}};
    const TextMap b = {{"Enabled", "2"}, {"Inverted", "1"}, {"Falling", "4"}, {"Rising", "3"}};
    const std::set<int> slotsA = {0, 1, 5, 6};
    for (int slot = 0; slot < 8; ++slot) {
        const TextMap& expected = slotsA.count(slot) ? a : b;
        EXPECT_EQ(signalModeByName[slot], expected) << slot;
        for (const auto& [word, number] : expected) EXPECT_EQ(signalModeByNumber[slot].at(number), word) << slot;
        EXPECT_EQ(signalModeByNumber[slot].size(), 4u);
    }
}
