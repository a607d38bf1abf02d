// The audio routes between endpoints: one row per source and destination.
#include "handlers/tuna/endpoint_unit.h"
#include "handlers/tuna/import/import.h"

#include <utility>
#include <vector>

namespace tuna_import {

std::string endpointIdInUnit(ImportContext& im, const std::string& name, const std::string& unitName)
{
    if (unitName.empty()) {
        auto found = im.endpointIdsByName.find(name);
        return found == im.endpointIdsByName.end() ? std::string() : found->second;
    }
    std::string unitId = im.idOf(IdKind::Unit, unitName);
    if (unitId.empty()) return {};
    // As by name alone, the endpoint read last wins.
    Sql select(std::string("SELECT id FROM endpoint WHERE name="));
    select.bind(name);
    select += std::string(" AND ") + kEndpointUnitSql + "=";
    select.bind(unitId);
    select += " ORDER BY rowid DESC LIMIT 1";
    Statement statement(im.store.database, select);
    return statement.next() ? statement.text(0) : std::string();
}

void readRoutes(ImportContext& im, const ConfigNode& network)
{
    const ConfigNode* routes = network.get("routes");
    if (!routes) return;
    for (const ConfigNode* route : numberedEntries(*routes)) {
        // An endpoint is its name, with its unit's name where other units have one of that name.
        std::string source, sourceUnit;
        if (const ConfigNode* node = route->get("source")) source = node->value;
        route->getString("source unit", sourceUnit);
        std::vector<std::pair<std::string, std::string>> destinations;
        if (const ConfigNode* node = route->get("destination")) {
            std::string unit;
            route->getString("destination unit", unit);
            destinations.emplace_back(node->value, unit);
        }
        if (const ConfigNode* list = route->get("destinations"))
            for (const auto& destination : list->children) destinations.emplace_back(destination->key, destination->value);
        if (source.empty() || destinations.empty()) continue;
        std::string sourceId = endpointIdInUnit(im, source, sourceUnit);
        if (sourceId.empty()) continue;

        for (const auto& [name, unit] : destinations) {
            std::string destinationId = endpointIdInUnit(im, name, unit);
            if (destinationId.empty()) continue;
            RowMap row;
            row["id"] = im.freshId();
            row["name"] = name;
            row["sourceId"] = sourceId;
            row["destinationId"] = destinationId;
            im.insert("route", row);
        }
    }
}

} // namespace tuna_import
