// Each unit's last job as the updater started it: what was asked and sent, and how it ended. Kept
// by the server, so every window of the page, and a page reloaded or opened later, reads the same.
#pragma once

#include <jansson.h>

#include <cstdint>
#include <map>
#include <string>

struct UnitJobStart {
    std::string type;                           // the action type
    std::map<std::string, std::string> params;  // what the action needs to run again (never a password)
    std::string sent;                           // what the page said the job sends (file, version, role)
    std::string key;                            // the starting page's own name for the job
};

// Records a job started on the unit; it replaces the unit's previous one. Returns its number.
// Main loop only, as are the two below.
uint64_t unit_job_started(const std::string& unitId, const UnitJobStart& start);
// The end of job `number` on the unit (nothing when a later job replaced it).
void unit_job_ended(const std::string& unitId, uint64_t number, bool failed, int code, const std::string& reason);
// The unit's last job as a JSON object, or null when it had none.
json_t* unit_job_record(const std::string& unitId);
