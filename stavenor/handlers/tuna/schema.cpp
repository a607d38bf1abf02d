#include "handlers/tuna/schema.h"

#include <algorithm>
#include <mutex>

namespace {
TableDefinitions definitions;
std::once_flag built;
} // namespace

const TableDefinitions& tableDefinitions = definitions;

bool TableDefinition::hasColumn(const std::string& column) const
{
    return std::find(columns.begin(), columns.end(), column) != columns.end();
}

namespace schema {

const std::vector<std::pair<std::string, std::string>> kNameRules = {{"name", "=="}, {"id", "<>"}};

TableDefinition table(std::vector<std::string> columns, std::vector<std::pair<std::string, std::string>> rules)
{
    TableDefinition definition;
    definition.columns = std::move(columns);
    definition.listColumns = {"id", "name"};
    definition.collisionRules = std::move(rules);
    return definition;
}

} // namespace schema

void buildTableDefinitions()
{
    std::call_once(built, [] {
        schema::addSystemTables(definitions);
        schema::addGlobalTables(definitions);
        schema::addDeviceTables(definitions);
        schema::addUnitTables(definitions);
        schema::addOperatorTables(definitions);
    });
}

const TableDefinition* findTable(const std::string& name)
{
    auto it = tableDefinitions.find(name);
    return it == tableDefinitions.end() ? nullptr : &it->second;
}
