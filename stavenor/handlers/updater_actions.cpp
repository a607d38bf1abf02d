// The updater's unit work: actions turned into command lines for every listed unit, the progress
// of a unit's program, the role and module queries, and the blocking run they share with the file
// commands.
#include "common/logger.h"
#include "common/main_loop.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/command_line.h"
#include "handlers/cup/brelt/manager.h"
#include "handlers/updater_jobs.h"
#include "handlers/updater_support.h"
#include "include/configuration.h"

#include <glib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// Longer than the longest time-out of any operation a blocking run holds (a reboot's 40 s): a
// program that has not advanced for this long will not end by itself.
constexpr auto PROGRAM_STALL_LIMIT = std::chrono::seconds(45);

// The end of one program that one request started, told by the main loop to the waiting thread.
struct ProgramWait {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool failed = false;
    Clock::time_point lastAdvance = Clock::now();

    void advance()
    {
        std::lock_guard lock(mutex);
        lastAdvance = Clock::now();
    }
    void end(bool withFailure)
    {
        std::lock_guard lock(mutex);
        done = true;
        failed = withFailure;
        changed.notify_all();
    }
};

// The signal connections of each waiting run, by run number. Main loop only.
std::map<uint64_t, std::vector<sigc::connection>> runConnections;
uint64_t lastRun = 0;

void disconnectRun(uint64_t run)
{
    auto it = runConnections.find(run);
    if (it == runConnections.end()) return;
    for (sigc::connection& connection : it->second) connection.disconnect();
    runConnections.erase(it);
}

// Told the end of a program, with the unit that emitted it (alive for the call only).
using ProgramEnd = std::function<void(Brelt* unit, bool failed)>;

// Ties `wait` to the next end of `unit`'s program, logging that end. Main loop only.
void connectRun(Brelt* unit, const std::shared_ptr<ProgramWait>& wait, ProgramEnd ended = {})
{
    const uint64_t run = ++lastRun;
    std::vector<sigc::connection>& connections = runConnections[run];
    auto end = [wait, run, unit, ended](bool failed) {
        disconnectRun(run);
        if (ended) ended(unit, failed);
        wait->end(failed);
    };
    connections.push_back(unit->programDone.connect([end](const std::string& unitId) {
        LOG(LOG_BRELT, "-- program complete for %s\n", unitId.c_str());
        end(false);
    }));
    connections.push_back(unit->programFailed.connect([end](const std::string& unitId, const std::string&) {
        LOG(LOG_BRELT, "-- program failed for %s\n", unitId.c_str());
        end(true);
    }));
    connections.push_back(
        unit->progress.connect([wait](const std::string&, int current, int total, const std::string& text) {
            LOG(LOG_BRELT, "-- program progress %d/%d %s\n", current, total, text.c_str());
            wait->advance();
        }));
}

// Waits for the program's end; false when it stalled or the server stops.
bool waitForProgram(ProgramWait& wait)
{
    std::unique_lock lock(wait.mutex);
    while (!wait.done) {
        if (main_loop_stopping() || Clock::now() - wait.lastAdvance > PROGRAM_STALL_LIMIT) return false;
        wait.changed.wait_for(lock, std::chrono::milliseconds(100));
    }
    return true;
}

const char* resultText(int code)
{
    switch (code) {
    case -67:
        return "Invalid key";
    case -68:
        return "Try limit exceeded";
    case -69:
        return "Operation not supported";
    default:
        return "Unknown";
    }
}

// A unit id as the frame layer writes it: six hexadecimal pairs joined by ':'.
bool isUnitId(const std::string& id)
{
    if (id.size() != 17) return false;
    for (size_t i = 0; i < id.size(); ++i) {
        if (i % 3 == 2 ? id[i] != ':' : !g_ascii_isxdigit(id[i])) return false;
    }
    return true;
}

struct ActionLine {
    ActionLine(std::string line_, std::string error_, std::string path_ = "")
        : line(std::move(line_)), error(std::move(error_)), path(std::move(path_))
    {
    }
    std::string line;
    std::string error;  // set when the request cannot make its line
    std::string path;   // the local file the line sends, when it sends one
};

ActionLine actionLine(UpdaterRequest& r, const std::string& type)
{
    auto value = [&r](const char* name) { return r.param(name); };
    // The file path: "updaterPath", or the uploaded "fileName" in the temporary directory.
    auto filePath = [&](std::string& path) -> std::string {
        const std::string* fileName = value("fileName");
        if (!fileName) return "no file specified";
        const std::string* updaterPath = value("updaterPath");
        if (!updaterPath) return "no path specified";
        path = updaterPath->empty() ? temporary_directory() + *fileName : *updaterPath;
        return "";
    };
    auto withOptional = [&](const char* word, const char* name) {
        const std::string* extra = value(name);
        return std::string(word) + (extra ? " " + quoted(*extra) : "");
    };
    auto required = [&](const char* word, const char* name, const char* missing) -> ActionLine {
        const std::string* v = value(name);
        if (!v) return {"", missing};
        return {std::string(word) + " " + quoted(*v), ""};
    };
    // The unit empties and fills "/modules/<name>": a module name that leaves that directory is
    // refused before any unit hears of it.
    const ActionLine badModule{"", "invalid module name"};
    auto fileLine = [&](const char* words, bool namesModule = false) -> ActionLine {
        std::string path;
        std::string error = filePath(path);
        if (!error.empty()) return {"", error};
        const std::optional<std::string> module = namesModule ? moduleNameOf(path) : std::nullopt;
        if (module && !isModuleName(*module)) return badModule;
        return {std::string(words) + " " + quoted(path), "", path};
    };

    if (type == "configurationUpload") {
        ActionLine result = fileLine("send configuration");
        if (result.error.empty() && value("role")) result.line += " " + quoted(*value("role"));
        return result;
    }
    if (type == "take") return {"interactive on", ""};
    if (type == "release") return {"interactive off", ""};
    if (type == "reboot") return {"reboot", ""};
    if (type == "lock") return {withOptional("lock", "password"), ""};
    if (type == "unlock") return {withOptional("unlock", "password"), ""};
    if (type == "enable") return {withOptional("unbrick", "password"), ""};
    if (type == "configurationDownload") return {"get configuration", ""};
    if (type == "disUpload") return fileLine("send dis");
    if (type == "setRole") return required("role set", "role", "no role");
    if (type == "setDescription") return required("describe", "description", "no description");
    if (type == "moduleUpload") return fileLine("module add", true);
    if (type == "moduleUpgrade") return fileLine("module upgrade", true);
    if (type == "moduleOverwrite") return fileLine("module overwrite", true);
    if (type == "announcementsUpload") return {"announcements update", ""};
    if (type == "moduleRemove") {
        ActionLine result = required("module remove", "name", "no module name");
        return result.error.empty() && !isModuleName(*value("name")) ? badModule : result;
    }
    if (type == "test") return {"test", ""};
    if (type == "passwd") return {"passwd", ""};
    return {"", "unknown action type"};
}

json_t* statusRecord(const std::string& unitId, const std::string& error = "")
{
    json_t* record = json_object();
    json_object_set_new(record, "macAddress", unitText(unitId));
    json_object_set_new(record, "status", json_string(error.empty() ? "commandAccepted" : "error"));
    if (!error.empty()) json_object_set_new(record, "description", json_string(error.c_str()));
    return record;
}

// What the server keeps of an action for its units' job records: the parameters that make its
// line (the password aside), the page's words for what it sends and its name for the job.
UnitJobStart jobStart(UpdaterRequest& r, const std::string& type)
{
    auto text = [&r](const char* name) { return r.param(name) ? *r.param(name) : std::string(); };
    UnitJobStart start{type, {}, text("sent"), text("jobKey")};
    for (const char* name : {"fileName", "updaterPath", "role", "description", "name"}) {
        if (const std::string* value = r.param(name)) start.params[name] = *value;
    }
    return start;
}

// Starts the line on every listed unit; main loop only.
json_t* runAction(const std::vector<std::string>& ids, const UnitJobStart& start, const std::string& line,
                  const std::string& password)
{
    const std::string& type = start.type;
    json_t* units = json_array();
    json_t* missing = json_array();
    const std::string temporary = temporary_directory();
    UnitManager* manager = UnitManager::instance();
    for (const std::string& id : ids) {
        Brelt* unit = manager ? manager->find(id) : nullptr;
        if (!unit) {
            // An unlock may reach a unit that stays silent after a lock, so it is not listed.
            if (type == "unlock" && manager && isUnitId(id)) {
                manager->sendText(id, password);
                json_array_append_new(missing, statusRecord(id));
            } else {
                json_array_append_new(missing, statusRecord(id, "no unit"));
            }
            continue;
        }
        const std::string answer = unit->check(line);
        if (answer != "ok") {
            json_array_append_new(units, statusRecord(id, answer));
            continue;
        }
        unit->setDownloadDir(temporary);
        if (unit->queueCommand(line) == 0) {
            // Nobody waits here; the page follows the program with "breltProgress", and every
            // window reads its end from the unit's job record.
            const uint64_t number = unit_job_started(id, start);
            connectRun(unit, std::make_shared<ProgramWait>(), [id, number](Brelt* ended, bool failed) {
                unit_job_ended(id, number, failed, ended->getResultCode(), ended->getFailureReason());
            });
            unit->runProgram();
            json_array_append_new(units, statusRecord(id));
        } else {
            json_array_append_new(units, statusRecord(id, "command not supported"));
        }
    }
    json_array_extend(units, missing);
    json_decref(missing);
    return units;
}

} // namespace

void blocking_run(UpdaterRequest& r, const BlockingRun& run)
{
    auto wait = std::make_shared<ProgramWait>();
    std::string unitId;
    std::string refusal;
    const bool reached = run_on_main([&] {
        Brelt* unit = firstUnit(r.ids);
        if (!unit) {
            refusal = "no unit";
            return;
        }
        if (run.check) {
            const std::string answer = unit->check(run.line);
            if (answer != "ok") {
                refusal = answer;
                return;
            }
        } else if (unit->getFlag("program running")) {
            // Its end would not be the end of this line's program.
            refusal = "operation in progress";
            return;
        }
        unitId = unit->getMac();
        connectRun(unit, wait);
        if (!run.downloadDir.empty()) unit->setDownloadDir(run.downloadDir);
        unit->queueCommand(run.line);
        unit->runProgram();
    });
    if (!reached) return setError(r.reply, "the server is busy, try again");
    if (!refusal.empty()) return setError(r.reply, refusal);
    if (!waitForProgram(*wait)) {
        // A program nobody waits for any more must not hold the unit: it ends here, failed.
        run_on_main([&] {
            Brelt* unit = UnitManager::instance() ? UnitManager::instance()->find(unitId) : nullptr;
            if (unit && !wait->done)
                unit->abortProgram(-2, "the unit's program does not advance",
                                   "the job did not advance for " + std::to_string(PROGRAM_STALL_LIMIT.count()) +
                                       " s");
        });
        return setError(r.reply, "the unit's program does not advance");
    }
    if (wait->failed) return setError(r.reply, "some error happened");
    json_t* reply = r.reply;
    const bool answered = run_on_main([&] {
        Brelt* unit = UnitManager::instance() ? UnitManager::instance()->find(unitId) : nullptr;
        if (!unit) return setError(reply, "no unit");
        if (run.succeeded) run.succeeded(unit, reply);
    });
    if (!answered) setError(r.reply, "the server is busy, try again");
}

void updater_action(UpdaterRequest& r)
{
    const std::string* type = r.param("type");
    if (!type) return setError(r.reply, "no action type");
    if (!r.param("macAddress")) return setError(r.reply, "empty unit list");
    const ActionLine action = actionLine(r, *type);
    if (!action.error.empty()) return setError(r.reply, action.error);
    if (!checkLineValues(r, {"role", "description", "password", "name", "fileName", "updaterPath"})) return;
    const UnitJobStart start = jobStart(r, *type);
    if (r.param("fileName") && !isPlainFileName(*r.param("fileName"))) return setError(r.reply, "invalid fileName");
    // A file that no unit can take is refused before any unit is touched.
    if (!action.path.empty()) {
        const std::string refusal = fileRefusal(action.path);
        if (!refusal.empty()) return setError(r.reply, refusal);
    }
    const std::string* password = r.param("password");
    json_t* list = nullptr;
    if (!run_on_main([&] { list = runAction(r.ids, start, action.line, password ? *password : ""); }))
        return setError(r.reply, "the server is busy, try again");
    json_object_set_new(r.reply, "statusList", list);
}

void updater_progress(UpdaterRequest& r)
{
    json_t* reply = r.reply;
    const bool reached = run_on_main([&] {
        Brelt* unit = firstUnit(r.ids);
        if (!unit) return setError(reply, "no unit");
        switch (unit->getProgramState()) {
        case 0:
            json_object_set_new(reply, "status", json_string("success"));
            break;
        case 1:
            json_object_set_new(reply, "status", json_string("error"));
            json_object_set_new(reply, "code", json_integer(unit->getResultCode()));
            json_object_set_new(reply, "description", json_string(resultText(unit->getResultCode())));
            json_object_set_new(reply, "reason", unitText(unit->getFailureReason()));
            break;
        case 2:
            json_object_set_new(reply, "status", json_string("progress"));
            json_object_set_new(reply, "current", json_integer(unit->getOverallCurrent()));
            json_object_set_new(reply, "overall", json_integer(unit->getOverallTotal()));
            json_object_set_new(reply, "description", unitText(unit->getProgressText()));
            break;
        default:
            json_object_set_new(reply, "status", json_string("unknown, sorry"));
        }
    });
    if (!reached) setError(r.reply, "the server is busy, try again");
}

void updater_roles(UpdaterRequest& r)
{
    std::optional<std::string> refusal = run_on_main([&]() -> std::string {
        Brelt* unit = firstUnit(r.ids);
        if (!unit) return "no unit";
        return unit->getStateText() == "busy" ? "busy" : "";
    });
    if (!refusal) return setError(r.reply, "the server is busy, try again");
    if (!refusal->empty()) return setError(r.reply, *refusal);
    BlockingRun run;
    run.line = "role list";
    run.check = false;
    run.succeeded = [](Brelt* unit, json_t* reply) {
        json_t* roles = json_array();
        gchar** pieces = g_strsplit(unit->getSetting("roles").c_str(), "|", -1);
        for (gchar** piece = pieces; *piece; ++piece) json_array_append_new(roles, unitText(*piece));
        g_strfreev(pieces);
        json_object_set_new(reply, "roleList", roles);
    };
    blocking_run(r, run);
}

void updater_modules(UpdaterRequest& r)
{
    BlockingRun run;
    run.line = "module list";
    run.succeeded = [](Brelt* unit, json_t* reply) {
        json_t* list = json_array();
        for (const UnitModule& module : unit->getModules()) {
            json_t* record = json_object();
            json_object_set_new(record, "name", unitText(module.name));
            json_object_set_new(record, "displayName", unitText(module.displayName));
            json_object_set_new(record, "version", unitText(module.version));
            json_object_set_new(record, "description", unitText(module.description));
            json_object_set_new(record, "configurable", json_boolean(module.configurable));
            json_object_set_new(record, "removable", json_boolean(module.removable));
            json_array_append_new(list, record);
        }
        json_object_set_new(reply, "moduleList", list);
    };
    blocking_run(r, run);
}
