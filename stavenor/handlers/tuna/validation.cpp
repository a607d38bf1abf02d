// Validation: drops rows that the export could not write (a crew station without its unit, a unit
// without a name).
#include "common/logger.h"
#include "handlers/tuna/json_text.h"
#include "handlers/tuna/tuna_handler.h"

#include <vector>

void TunaHandler::tunaValidate(http_request&, std::string& reply)
{
    LOG(LOG_INFO, "configuration validation...");
    LOG(LOG_INFO, " crew stations...");
    // Rows are collected first: deleting under a running select of the same table is not reliable.
    std::vector<RowMap> orphans;
    {
        Statement select(database, buildSelect("crewStation"));
        while (select.next()) {
            RowMap row;
            fetchRow("crewStation", select, row);
            orphans.push_back(std::move(row));
        }
    }
    for (RowMap& row : orphans) {
        if (fetchRowById(row["breltID"])) continue;
        LOG(LOG_INFO, "  removing crew station %s [%s] (no parent)", row["name"].c_str(), row["id"].c_str());
        tunaTableDelete("crewStation", row["id"], nullptr);
    }

    LOG(LOG_INFO, " central units...");
    std::vector<std::string> unnamed;
    {
        Statement select(database, buildSelect("centralUnits"));
        while (select.next()) {
            RowMap row;
            fetchRow("centralUnits", select, row);
            if (row["name"].empty()) unnamed.push_back(row["id"]);
        }
    }
    for (const std::string& id : unnamed) {
        LOG(LOG_INFO, "  removing central unit [%s] (empty name)", id.c_str());
        tunaTableDelete("centralUnits", id, nullptr);
    }
    replyProbablySuccess(reply);
}
