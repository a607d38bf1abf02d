// A central unit's run list: the programs its start-up service runs, in their order.
#include "handlers/tuna/import/import.h"

namespace tuna_import {

void readDaemons(ImportContext& im, const std::string& unitId, const ConfigNode& run)
{
    // The well-known programs have fixed positions, the others are numbered from 6 on; a program
    // that would land before the one ahead of it in the file is moved up behind it, so that the
    // export writes the list in the file's order.
    int counter = 6;
    long long previous = 0;
    for (const auto& daemon : run.children) {
        RowMap row;
        row["id"] = im.freshId();
        row["breltID"] = unitId;
        row["name"] = daemon->key;
        row["enabled"] = "true";
        long long position;
        auto fixed = daemonIds.find(daemon->key);
        if (fixed != daemonIds.end())
            position = std::stoll(fixed->second);
        else
            position = counter++;
        if (position <= previous) position = previous + 1;
        previous = position;
        row["position"] = std::to_string(position);

        readText(*daemon, "name", row, "application");
        readText(*daemon, "path", row, "path");
        readText(*daemon, "parameters", row, "parameters");
        readText(*daemon, "mode", row, "mode");
        readText(*daemon, "delay", row, "delay");
        std::string noAuto;
        daemon->getString("noauto", noAuto);
        row["noAuto"] = boolText(noAuto);
        im.insert("daemons", row);
    }
}

} // namespace tuna_import
