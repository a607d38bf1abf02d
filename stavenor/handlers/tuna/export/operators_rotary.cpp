// An operator's rotary dial: one node per programmed position, in the order of the position numbers.
#include "handlers/tuna/export/export.h"

#include <cstdlib>
#include <map>

namespace tuna_export {

void writeRotaryDialButtons(ExportContext& ex, const std::string& operatorId, ConfigNode& menu)
{
    menu.keepOrder = true;
    // One row per position number; of two rows for one number, the later one counts.
    std::map<long long, RowMap> positions;
    ex.forEachRowWhere("rotaryDialButton", "operatorId", operatorId, [&](RowMap& row) {
        positions[std::strtoll(column(row, "buttonNumber").c_str(), nullptr, 10)] = row;
    });

    auto endpoint = [&](const std::string& id) {
        auto found = ex.store.endpointNames.find(id);
        return found == ex.store.endpointNames.end() ? std::string() : found->second;
    };

    for (const auto& [number, row] : positions) {
        ConfigNode& position = *menu.makePath("position " + column(row, "buttonNumber"));
        // A partner, radio or route that names nothing is left out with all its keys: the import
        // takes them only beside the names.
        const std::string& type = column(row, "type");
        const std::string phoneLine = ex.nameOf(column(row, "phoneLine"));
        const std::string conference = ex.nameOf(column(row, "conference"));
        const std::string radio = ex.nameOf(column(row, "radioChosen"));
        const std::string radio2 = ex.nameOf(column(row, "radio2Chosen"));
        if (type == "Talk to") {
            position.addValue("user", ex.nameOf(column(row, "user")));
        } else if (type == "Phone" && !phoneLine.empty()) {
            position.addValue("phone line", phoneLine);
            position.addValue("phone number", column(row, "phoneNumber"));
        } else if (type == "Conference" && !conference.empty()) {
            position.addValue("conference", conference);
            position.addValue("auto call", flag(column(row, "autoCall")));
        }

        if (column(row, "radio") == "true" && !radio.empty()) {
            position.addValue("radio", radio);
            position.addValue("radio priority", column(row, "radioPriority"));
            position.addValue("radio crosstalk", flag(column(row, "radioCrosstalk")));
            position.addValue("radio mode", column(row, "radioExclusive") == "true" ? "exclusive" : "shared");
            if (column(row, "retransmission") == "true") position.addValue("set retranslation", "1");
        }
        if (column(row, "radio2") == "true" && !radio2.empty()) {
            position.addValue("radio 2", radio2);
            position.addValue("radio 2 priority", column(row, "radio2Priority"));
            position.addValue("radio 2 crosstalk", flag(column(row, "radio2Crosstalk")));
            position.addValue("radio 2 mode", column(row, "radio2Exclusive") == "true" ? "exclusive" : "shared");
        }
        const std::string source = endpoint(column(row, "routeSource"));
        const std::string destination = endpoint(column(row, "routeDestination"));
        if (column(row, "route") == "true" && !source.empty() && !destination.empty()) {
            position.addValue("source endpoint", source);
            position.addValue("destination endpoint", destination);
        }

        writeSelectedMonitors(ex, column(row, "id"), *position.makePath("monitors"));
    }
}

} // namespace tuna_export
