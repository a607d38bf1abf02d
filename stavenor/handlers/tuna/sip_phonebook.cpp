// The SIP phone book: every central unit with its crew stations, their operators and its
// transceivers, as a plain-text download.
#include "common/logger.h"
#include "handlers/tuna/tuna_handler.h"

#include <vector>

namespace {

std::string lookup(const TextMap& map, const std::string& key)
{
    auto it = map.find(key);
    return it == map.end() ? std::string() : it->second;
}

std::vector<RowMap> selectRows(sqlite3* database, const std::string& table, const Sql& condition = Sql())
{
    std::vector<RowMap> rows;
    Statement select(database, buildSelect(table, condition));
    while (select.next()) {
        RowMap row;
        fetchRow(table, select, row);
        rows.push_back(std::move(row));
    }
    return rows;
}

Sql equals(const char* column, const std::string& value)
{
    Sql condition(std::string(column) + " = ");
    condition.bind(value);
    return condition;
}

} // namespace

void TunaHandler::tunaExportSipPhonebook(http_request& request, std::string& reply)
{
    LOG(LOG_INFO, "%s: %d\n", "tunaExportSipPhonebook", param_count(requestParams(request)));

    TextMap aliases; // owner id -> SIP alias
    for (RowMap& row : selectRows(database, "globalOverviewSipAliases")) aliases[row["parentId"]] = row["alias"];

    std::string text;
    for (RowMap& unit : selectRows(database, "centralUnits")) {
        text += "\n---\nName: " + unit["name"] + "\nPart Number: " + lookup(modelNames, unit["type"]) +
                "\nPrefix: " + unit["sipExchangeNumber"] + "\n\nCrew Stations:\n";
        for (RowMap& station : selectRows(database, "crewStation", equals("breltID", unit["id"]))) {
            text += "\t- Name: " + station["name"] + "\n\t  Part Number: " + lookup(modelNames, station["type"]) +
                    "\n\t  Operators:\n";
            Sql operators = equals("id", station["slaveOperator"]);
            operators += " OR ";
            operators += equals("id", station["masterOperator"]);
            for (RowMap& op : selectRows(database, "operatorGeneral", operators))
                text += "\t\t- Name: " + op["name"] + "\n\t\t  Extension: " + lookup(aliases, op["id"]) + "\n";
        }
        text += "\nTransceivers:\n";
        for (RowMap& radio : selectRows(database, "radio", equals("breltID", unit["id"])))
            text += "\t- Name: " + radio["name"] + "\n\t  Part Number: " + lookup(modelNames, radio["type"]) +
                    "\n\t  Extension: " + lookup(aliases, radio["id"]) + "\n";
    }
    if (text.empty()) text = "\n---\n";

    reply += text;
    request.content_type = "text/plain; charset=utf-8";
    request.content_disposition = "attachment; filename=\"phonebook.txt\"";
}
