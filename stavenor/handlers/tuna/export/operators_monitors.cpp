// A monitor list: the sources that an operator, one rotary dial position or a speaker hears in the
// background, under the owner's "monitors" node.
#include "handlers/tuna/export/export.h"

namespace tuna_export {

namespace {

const std::string kMonitorPrefix = "monitor_";

const char* monitorType(const std::string& type)
{
    if (type == "transceiver") return "monitor radio";
    if (type == "conference") return "monitor conference";
    return "monitor user";
}

} // namespace

void writeSelectedMonitors(ExportContext& ex, const std::string& ownerId, ConfigNode& monitors)
{
    ex.forEachRowWhere("selectedMonitors", "parentId", ownerId, [&](RowMap& row) {
        // A list entry is named by its source behind a prefix; a name without the prefix is the
        // source's name as it stands.
        const std::string& name = column(row, "name");
        bool prefixed = name.compare(0, kMonitorPrefix.size(), kMonitorPrefix) == 0;
        ConfigNode& monitor = *monitors.makePath(prefixed ? name.substr(kMonitorPrefix.size()) : name);
        monitor.addValue("gain", column(row, "gain"));
        monitor.addValue("monitor mode", column(row, "mode"));
        monitor.addChild("type", monitorType(column(row, "type")));
    });
}

} // namespace tuna_export
