#include "handlers/tuna/tuna.h"

#include "common/logger.h"
#include "common/store_lock.h"
#include "include/daemon.h"
#include "handlers/tuna/json_text.h"
#include "handlers/tuna/schema.h"
#include "handlers/tuna/tuna_handler.h"

#include <map>
#include <memory>
#include <mutex>
#include <string_view>

namespace {

std::unique_ptr<TunaHandler> store; // guarded by lock_store()

// Command text -> operation, tried in ascending key order; the first key that begins the command
// text wins. No key begins another, so at most one matches.
std::map<std::string, TunaHandler::Command> tunaCommands;
std::once_flag commandsBuilt;

void buildCommands()
{
    std::call_once(commandsBuilt, [] {
        tunaCommands["list"] = &TunaHandler::tunaList;
        tunaCommands["insert"] = &TunaHandler::tunaInsert;
        tunaCommands["update"] = &TunaHandler::tunaUpdate;
        tunaCommands["delete"] = &TunaHandler::tunaDelete;
        tunaCommands["configurationFile.json"] = &TunaHandler::tunaConfigurationFile;
        tunaCommands["exportSipPhonebook"] = &TunaHandler::tunaExportSipPhonebook;
        tunaCommands["globalAudioSetupTranslations.json"] = &TunaHandler::tunaGlobalAudioSetupTranslations;
        tunaCommands["globalAudioSetupAudioRepository.json"] = &TunaHandler::tunaGlobalAudioSetupAudioRepository;
        tunaCommands["validate.json"] = &TunaHandler::tunaValidate;
        tunaCommands["savepoint"] = &TunaHandler::tunaSavepoint;
        tunaCommands["rollback"] = &TunaHandler::tunaRollback;
        tunaCommands["save.json"] = &TunaHandler::tunaSave;
        tunaCommands["undo.json"] = &TunaHandler::tunaUndo;
        tunaCommands["state.json"] = &TunaHandler::tunaState;
    });
}

// Runs one command and keeps the store's account: rows that changed without the command saying
// how are counted as the newest step's change.
void runCommand(TunaHandler& store, TunaHandler::Command operation, http_request& request, std::string& reply)
{
    sqlite3* database = store.database;
    int before = sqlite3_total_changes(database);
    store.changeRecorded = false;
    (store.*operation)(request, reply);
    if (!store.changeRecorded && store.database == database && sqlite3_total_changes(database) != before)
        store.noteRowsChanged(request.window);
}

const char* const kNotFoundPage = "<html><head><title>Error 404</title></head><body>Page not found</body></html>\n";

} // namespace

TunaHandler* tunaStore() { return store.get(); }

const param_list& requestParams(const http_request& request)
{
    static const param_list none;
    return request.params ? *request.params : none;
}

void start_store()
{
    buildTableDefinitions();
    buildLookupTables();
    buildCommands();
    auto lock = lock_store();
    if (store) return;
    store = std::make_unique<TunaHandler>();
    store->startConfiguration();
}

void stop_store()
{
    auto lock = lock_store();
    store.reset();
}

void tuna_handler(http_request& request)
{
    const param_list& params = requestParams(request);
    LOG(LOG_INFO, "TUNA REQUEST %s", request.url.c_str());
    const std::string* id = get_param(params, "id");
    LOG(LOG_INFO, "val is %s\n", id ? id->c_str() : "");

    std::string reply;
    {
        auto lock = lock_store();
        std::string_view url = request.url;
        const std::string* run = get_param(params, "run");
        if (store && url.starts_with("/tuna/") && run && *run != start_token()) {
            // A page that read its rows from an earlier run must not write them into this one's.
            replyError(reply, "the server restarted since this was read: what it was meant for went with the earlier "
                              "run; nothing was changed");
        } else if (store && url.starts_with("/tuna/")) {
            std::string_view command = url.substr(6);
            for (const auto& [key, operation] : tunaCommands) {
                if (command.starts_with(key)) {
                    runCommand(*store, operation, request, reply);
                    break;
                }
            }
        }
    }

    if (reply.empty()) {
        request.status = 404;
        request.data = kNotFoundPage;
        request.content_type = "text/html; charset=utf-8";
        return;
    }
    request.status = 200;
    request.data = std::move(reply);
    if (!request.content_type) request.content_type = "application/json; charset=utf-8";
}

void init_tuna() { LOG(LOG_INFO, "init"); }

void cleanup_tuna() { LOG(LOG_INFO, "cleanup"); }
