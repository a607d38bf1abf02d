// The configuration schema: every table of the store with its columns, the columns of its list
// reply, the other names requests may use for it, and its collision rules. Fixed at build time.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct TableDefinition {
    std::vector<std::string> columns;                              // first is always "id"
    std::vector<std::string> listColumns;                          // arrays of the ".json" list reply
    std::vector<std::string> aliases;                              // further names in request paths
    std::vector<std::pair<std::string, std::string>> collisionRules; // (column, "==" or "<>")

    bool hasColumn(const std::string& column) const;
};

using TableDefinitions = std::map<std::string, TableDefinition>;

// Filled once by buildTableDefinitions (start_store), read-only afterwards.
extern const TableDefinitions& tableDefinitions;

// Idempotent: the first call fills the map, later calls do nothing.
void buildTableDefinitions();

// The definition of a table by its exact name; none for a name the schema lacks (never adds one).
const TableDefinition* findTable(const std::string& name);

// The tables of each group, entered by buildTableDefinitions.
namespace schema {
void addSystemTables(TableDefinitions& tables);   // ids, Configuration, settings, languages, texts, announcements
void addGlobalTables(TableDefinitions& tables);   // conferences, events, headsets, phone book, radio models, SIP
void addDeviceTables(TableDefinitions& tables);   // central units and their devices
void addUnitTables(TableDefinitions& tables);     // programs, services, PPP, routing, routes, SIP trunks
void addOperatorTables(TableDefinitions& tables); // operators, menus, buttons, monitors, private phone book

// The usual rule list: another row of the same table with the same name.
extern const std::vector<std::pair<std::string, std::string>> kNameRules;
TableDefinition table(std::vector<std::string> columns,
                      std::vector<std::pair<std::string, std::string>> rules = kNameRules);
} // namespace schema
