// Savepoints around the browser's edits: named by the browser, or numbered by the store for undo.
#include "common/logger.h"
#include "handlers/tuna/json_text.h"
#include "handlers/tuna/tuna_handler.h"

#include <cstdio>

namespace {

// Automatic savepoints kept for undo: deep enough for a long editing session; beyond it the
// oldest name is forgotten (never released, which would release every newer one with it).
constexpr size_t kUndoDepth = 64;

// Savepoint names are spliced into the statement (they cannot be bound), so only plain names pass.
bool isSavepointName(const std::string& name)
{
    if (name.empty() || name.size() > 128) return false;
    for (char c : name) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                     c == '-' || c == '.';
        if (!plain) return false;
    }
    return true;
}

int runSavepointStatement(sqlite3* database, const char* verb, const std::string& name, std::string* error)
{
    return executeSql(database, Sql(std::string(verb) + " '" + name + "'"), error);
}

// The browser's own savepoints: "savepoint" opens one, "rollback" returns to it.
void namedSavepointCommand(sqlite3* database, http_request& request, std::string& reply, const char* verb)
{
    const std::string* name = get_param(requestParams(request), "savepoint");
    if (!name) {
        replyError(reply, "no savepoint");
        return;
    }
    if (!isSavepointName(*name)) {
        replyError(reply, "invalid savepoint name");
        return;
    }
    std::string error;
    if (runSavepointStatement(database, verb, *name, &error) != SQLITE_OK) {
        replyError(reply, error);
        return;
    }
    replyProbablySuccess(reply);
}

} // namespace

void TunaHandler::tunaSavepoint(http_request& request, std::string& reply)
{
    namedSavepointCommand(database, request, reply, "SAVEPOINT");
}

void TunaHandler::tunaRollback(http_request& request, std::string& reply)
{
    namedSavepointCommand(database, request, reply, "ROLLBACK TO SAVEPOINT");
}

void TunaHandler::tunaSave(http_request& request, std::string& reply)
{
    char name[32];
    snprintf(name, sizeof name, "save%09d", saveCounter);
    saveCounter = saveCounter == INT32_MAX ? 0 : saveCounter + 1;
    std::string error;
    if (runSavepointStatement(database, "SAVEPOINT", name, &error) != SQLITE_OK) {
        replyError(reply, error);
        return;
    }
    // A page that names its step learns the savepoint's name, so that it can take back only its own.
    const std::string* label = get_param(requestParams(request), "label");
    if (label)
        reply = "{\n\t\"status\" : \"probably success\",\n\t\"step\" : " + jsonString(name) + "\n}\n";
    else
        replyProbablySuccess(reply);
    // The oldest name only leaves the undo list: releasing it would release every newer savepoint
    // with it and leave the list naming savepoints that no longer exist.
    if (savepoints.size() >= kUndoDepth) savepoints.pop_front();
    savepoints.push_back({name, label && !label->empty() ? *label : "the last change"});
}

void TunaHandler::tunaUndo(http_request& request, std::string& reply)
{
    if (savepoints.empty()) {
        replyError(reply, "no more savepoints");
        return;
    }
    // Undo takes back the step the page named, never one that another window made meanwhile.
    const std::string* expected = get_param(requestParams(request), "step");
    UndoStep step = savepoints.back();
    if (expected && *expected != step.name) {
        replyError(reply, "the last change is now \"" + step.label + "\" (made elsewhere); nothing was undone");
        return;
    }
    savepoints.pop_back();
    std::string error;
    if (runSavepointStatement(database, "ROLLBACK TO SAVEPOINT", step.name, &error) != SQLITE_OK) {
        replyError(reply, error);
        return;
    }
    // The savepoint has served; releasing it keeps the connection's stack in step with the list.
    if (runSavepointStatement(database, "RELEASE SAVEPOINT", step.name, &error) != SQLITE_OK)
        LOG(LOG_ERROR, "undo: %s", error.c_str());
    replyProbablySuccess(reply);
    changeRecorded = true;
    // A step that changed nothing (its change failed) is taken back without a word.
    if (!step.counted) return;
    unsavedChanges += step.sinceSave ? -1 : 1;
    recordChange("Undone: " + step.label, request.window);
}
