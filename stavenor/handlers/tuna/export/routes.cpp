// The audio routes between endpoints of the whole installation, one route per source endpoint.
#include "handlers/tuna/endpoint_unit.h"
#include "handlers/tuna/export/export.h"

#include <map>
#include <set>
#include <utility>
#include <vector>

namespace tuna_export {

namespace {

// An endpoint as a route names it: its name, and its unit's name when other units have an
// endpoint of that name too (else empty).
using EndpointName = std::pair<std::string, std::string>;

class EndpointNames {
public:
    explicit EndpointNames(ExportContext& ex) : ex_(ex)
    {
        ex.forEachRow("centralUnits", [&](RowMap& row) { unitNames_.emplace(column(row, "id"), column(row, "name")); });
        Statement select(ex.store.database, Sql(std::string("SELECT id, name, ") + kEndpointUnitSql + " FROM endpoint"));
        while (select.next()) {
            unitOf_[select.text(0)] = select.text(2);
            unitsByName_[select.text(1)].insert(select.text(2));
        }
    }

    EndpointName operator()(const std::string& id) const
    {
        auto named = ex_.store.endpointNames.find(id);
        if (named == ex_.store.endpointNames.end()) return {};
        const std::string& name = named->second;
        auto units = unitsByName_.find(name);
        if (units == unitsByName_.end() || units->second.size() < 2) return {name, {}};
        auto unit = unitOf_.find(id);
        auto unitName = unit == unitOf_.end() ? unitNames_.end() : unitNames_.find(unit->second);
        return {name, unitName == unitNames_.end() ? std::string() : unitName->second};
    }

private:
    ExportContext& ex_;
    TextMap unitNames_;                                    // unit id -> name
    TextMap unitOf_;                                       // endpoint id -> unit id
    std::map<std::string, std::set<std::string>> unitsByName_; // endpoint name -> units with one of that name
};

} // namespace

void writeRoutes(ExportContext& ex, ConfigNode& network)
{
    EndpointNames endpointName(ex);
    std::map<EndpointName, std::vector<EndpointName>> groups; // by source, its destinations in row order
    ex.forEachRow("route", [&](RowMap& row) {
        groups[endpointName(column(row, "sourceId"))].push_back(endpointName(column(row, "destinationId")));
    });

    ConfigNode& routes = *network.makePath("routes");
    int number = 0;
    for (const auto& [source, destinations] : groups) {
        ConfigNode& route = *routes.addChild(std::to_string(number++));
        route.addChild("source", source.first);
        route.addValue("source unit", source.second);
        if (destinations.size() == 1) {
            route.addChild("destination", destinations.front().first);
            route.addValue("destination unit", destinations.front().second);
        } else {
            ConfigNode& list = *route.addChild("destinations");
            for (const auto& destination : destinations) list.addChild(destination.first, destination.second);
        }
    }
}

} // namespace tuna_export
