#include "handlers/updater_jobs.h"

#include "handlers/updater_support.h"

#include <chrono>

namespace {

struct UnitJob {
    uint64_t number = 0;
    UnitJobStart start;
    std::string state = "running";  // "running", "success" or "error"
    int code = 0;
    std::string reason;
    int64_t startedMs = 0;
    int64_t endedMs = 0;
};

std::map<std::string, UnitJob> lastJobs;
uint64_t lastNumber = 0;

int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

uint64_t unit_job_started(const std::string& unitId, const UnitJobStart& start)
{
    UnitJob& job = lastJobs[unitId];
    job = UnitJob{};
    job.number = ++lastNumber;
    job.start = start;
    job.startedMs = nowMs();
    return job.number;
}

void unit_job_ended(const std::string& unitId, uint64_t number, bool failed, int code, const std::string& reason)
{
    auto it = lastJobs.find(unitId);
    if (it == lastJobs.end() || it->second.number != number) return;
    UnitJob& job = it->second;
    job.state = failed ? "error" : "success";
    job.code = failed ? code : 0;
    job.reason = failed ? reason : "";
    job.endedMs = nowMs();
}

json_t* unit_job_record(const std::string& unitId)
{
    auto it = lastJobs.find(unitId);
    if (it == lastJobs.end()) return nullptr;
    const UnitJob& job = it->second;
    json_t* params = json_object();
    for (const auto& [name, value] : job.start.params) json_object_set_new(params, name.c_str(), unitText(value));
    json_t* record = json_object();
    json_object_set_new(record, "number", json_integer(static_cast<json_int_t>(job.number)));
    json_object_set_new(record, "type", unitText(job.start.type));
    json_object_set_new(record, "params", params);
    json_object_set_new(record, "sent", unitText(job.start.sent));
    json_object_set_new(record, "key", unitText(job.start.key));
    json_object_set_new(record, "state", json_string(job.state.c_str()));
    json_object_set_new(record, "started", json_integer(job.startedMs));
    if (job.state != "running") {
        json_object_set_new(record, "ended", json_integer(job.endedMs));
        json_object_set_new(record, "code", json_integer(job.code));
        json_object_set_new(record, "reason", unitText(job.reason));
    }
    return record;
}
