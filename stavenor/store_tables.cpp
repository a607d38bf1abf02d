// Writes the store's tables and their columns as an ES module, so that the configuration pages
// take the column lists from the same definitions the store is built from.
#include <iostream>
#include <string>

#include "handlers/tuna/schema.h"

int main()
{
    buildTableDefinitions();
    std::cout << "// Written by the build from the store's table definitions; never edited by hand.\n"
                 "/** @type {Record<string, string[]>} */\n"
                 "export const STORE_TABLES = {\n";
    for (const auto& [name, definition] : tableDefinitions) {
        // Names and columns are plain identifiers, so they need no escaping.
        std::string line = "    " + name + ": [";
        for (size_t i = 0; i < definition.columns.size(); ++i) {
            std::string item = "\"" + definition.columns[i] + "\"" + (i + 1 < definition.columns.size() ? "," : "");
            if (line.size() + item.size() + 1 > 100) {
                std::cout << line << "\n";
                line = "        " + item;
            } else {
                line += (i ? " " : "") + item;
            }
        }
        std::cout << line << "],\n";
    }
    std::cout << "};\n";
    return std::cout ? 0 : 1;
}
