// What every window of the pages must agree on lives here, in the store: a revision raised by every
// change, the count of changes since the configuration was opened or saved, the names of the undo
// steps, and the newest changes with the window that made them. Pages read it ("state.json") when
// an answer's revision is not one they know.
#include "common/store_revision.h"
#include "handlers/tuna/json_text.h"
#include "handlers/tuna/schema.h"
#include "handlers/tuna/tuna_handler.h"

#include <cstdlib>

namespace {

// Enough for every change a window can miss between two heartbeats.
constexpr size_t kChangeLogDepth = 64;

const char* const kReadPrefix = "read.";

} // namespace

void TunaHandler::recordChange(const std::string& words, const std::string& window, bool saved)
{
    changeRecorded = true;
    if (changeLog.size() >= kChangeLogDepth) changeLog.pop_front();
    changeLog.push_back({raise_store_revision(), words, window, saved});
}

void TunaHandler::noteRowsChanged(const std::string& window)
{
    ++unsavedChanges;
    if (!savepoints.empty() && !savepoints.back().counted) {
        savepoints.back().counted = true;
        recordChange(savepoints.back().label, window);
    } else {
        // Rows changed without a step of their own (a client that sets no savepoint).
        recordChange("a change that Undo cannot name", window);
    }
}

void TunaHandler::noteOtherChange(const std::string& words, const std::string& window)
{
    ++unsavedChanges;
    recordChange(words, window);
}

void TunaHandler::markSaved(const std::string& words, const std::string& window)
{
    unsavedChanges = 0;
    for (UndoStep& step : savepoints) step.sinceSave = false;
    recordChange(words, window, true);
}

void TunaHandler::markReplaced(const std::string& words, const std::string& window)
{
    savepoints.clear(); // they lived in the connection that is gone
    unsavedChanges = 0;
    recordChange(words, window);
}

std::string TunaHandler::staleRead(const std::string& table, const std::string& id, const param_list& params)
{
    const TableDefinition& definition = *findTable(table);
    bool any = false;
    for (int i = 0; i < param_count(params) && !any; ++i) any = param_name_at(params, i)->starts_with(kReadPrefix);
    if (!any) return {};
    Sql condition("id = ");
    condition.bind(id);
    Statement select(database, buildSelect(table, condition));
    if (!select.next()) return "no row with this id";
    RowMap row;
    fetchRow(table, select, row);
    for (int i = 0; i < param_count(params); ++i) {
        const std::string& name = *param_name_at(params, i);
        if (!name.starts_with(kReadPrefix)) continue;
        std::string column = name.substr(std::string_view(kReadPrefix).size());
        const std::string* read = param_value_at(params, i);
        if (definition.hasColumn(column) && row[column] != (read ? *read : std::string()))
            return "the row was changed elsewhere after it was read (" + column + " now holds \"" + row[column] +
                   "\"); nothing was saved";
    }
    return {};
}

void TunaHandler::tunaState(http_request& request, std::string& reply)
{
    const std::string* sinceText = get_param(requestParams(request), "since");
    uint64_t since = sinceText ? std::strtoull(sinceText->c_str(), nullptr, 10) : store_revision();
    reply = "{\n\t\"status\" : \"success\",\n\t\"revision\" : " + std::to_string(store_revision()) +
            ",\n\t\"unsaved\" : " + std::to_string(unsavedChanges) + ",\n\t\"steps\" : [";
    for (size_t i = 0; i < savepoints.size(); ++i) {
        if (i) reply += ", ";
        appendJsonString(reply, savepoints[i].label);
    }
    reply += "],\n\t\"undoStep\" : ";
    appendJsonString(reply, savepoints.empty() ? std::string() : savepoints.back().name);
    // Whether every change after `since` is still in the log.
    bool complete = changeLog.empty() ? since >= store_revision() : since + 1 >= changeLog.front().revision;
    reply += ",\n\t\"complete\" : ";
    reply += complete ? "true" : "false";
    reply += ",\n\t\"changes\" : [";
    bool first = true;
    for (const StoreChange& change : changeLog) {
        if (change.revision <= since) continue;
        reply += first ? "\n\t\t{" : ",\n\t\t{";
        first = false;
        reply += "\"revision\" : " + std::to_string(change.revision) + ", \"words\" : ";
        appendJsonString(reply, change.words);
        reply += ", \"window\" : ";
        appendJsonString(reply, change.window);
        reply += change.saved ? ", \"saved\" : true}" : ", \"saved\" : false}";
    }
    reply += first ? "]\n}\n" : "\n\t]\n}\n";
}
