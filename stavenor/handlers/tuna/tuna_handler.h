// The one store object: the in-memory configuration database and the bookkeeping that the tuna
// commands, the export and the import share. Every use happens under lock_store().
#pragma once

#include "handlers/tuna/lookup_tables.h"
#include "handlers/tuna/sql.h"
#include "include/daemon.h"

#include <sqlite3.h>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>

// An automatic savepoint and the change it stands before, named as the page named it for Undo.
struct UndoStep {
    std::string name;  // "save%09d"
    std::string label; // "Radio 0042 deleted"
    bool counted = false;  // a change followed it and is counted as unsaved
    bool sinceSave = true; // made after the last save: taking it back brings the store closer to the file
};

// What raised the store's revision, for windows that did not make it.
struct StoreChange {
    uint64_t revision = 0;
    std::string words;  // "Radio 0042 deleted", "Undone: Radio 0042 deleted", "Opened a.conf"
    std::string window; // the page window that made it; empty for other clients
    bool saved = false; // a save: the count changed, what the store holds did not
};

class TunaHandler {
public:
    // A command of the "tuna" handler: reads the request, appends its reply text (nothing: 404 page).
    using Command = void (TunaHandler::*)(http_request& request, std::string& reply);

    TunaHandler();  // opens the database
    ~TunaHandler(); // closes it
    TunaHandler(const TunaHandler&) = delete;
    TunaHandler& operator=(const TunaHandler&) = delete;

    // Commands: rows of the tables.
    void tunaList(http_request& request, std::string& reply);
    void tunaInsert(http_request& request, std::string& reply);
    void tunaUpdate(http_request& request, std::string& reply);
    void tunaDelete(http_request& request, std::string& reply);
    // Commands: savepoints, validation, SIP phone book.
    void tunaSavepoint(http_request& request, std::string& reply);
    void tunaRollback(http_request& request, std::string& reply);
    void tunaSave(http_request& request, std::string& reply);
    void tunaUndo(http_request& request, std::string& reply);
    void tunaValidate(http_request& request, std::string& reply);
    void tunaExportSipPhonebook(http_request& request, std::string& reply);
    // What every window must agree on: revision, unsaved count, undo steps, changes since a revision.
    void tunaState(http_request& request, std::string& reply);

    // The store's own account of changes. A command that changed rows without saying so is noted
    // as the newest step's change (or a change of its own) by the handler.
    void noteRowsChanged(const std::string& window);
    // A change outside the database (a button icon): unsaved, but no Undo step.
    void noteOtherChange(const std::string& words, const std::string& window);
    void recordChange(const std::string& words, const std::string& window, bool saved = false);
    // A file holds every change now: nothing unsaved, every step from before the save.
    void markSaved(const std::string& words, const std::string& window);
    // A configuration replaced the old one: no steps, nothing unsaved.
    void markReplaced(const std::string& words, const std::string& window);
    // Why a change sent by a form cannot be made: the row it read ("read.<column>" parameters)
    // is gone or no longer holds what the form read. Empty when it can.
    std::string staleRead(const std::string& table, const std::string& id, const param_list& params);
    // Rebuilds the announcement tables from the repository on disk; runs after every openDatabase.
    void scanAnnouncements();
    void tunaGlobalAudioSetupAudioRepository(http_request& request, std::string& reply);
    void tunaGlobalAudioSetupTranslations(http_request& request, std::string& reply);

    // The database and its ids.
    void openDatabase();
    void createSchema();
    void createTable(const std::string& name);
    // A new ids row; its id text, or the empty text when the row could not be inserted.
    std::string insertId(const std::string& cbm, const std::string& type, const std::string& name);
    // The id that idsByName holds for a non-empty name, else a new one from insertId.
    std::string getOrCreateId(const std::string& name, const std::string& cbm, const std::string& type);
    int updateIdName(int64_t id, const std::string& name);
    int deleteId(int64_t id);
    // True when ids holds the row of that id text.
    bool fetchRowById(const std::string& id);

    // Table operations behind the commands; `table` is a table of the schema.
    void tunaTableList(const std::string& table, http_request& request, std::string& reply);
    void tunaTableListJson(const std::string& table, http_request& request, std::string& reply);
    void tunaTableInsert(const std::string& table, http_request& request, std::string& reply);
    void tunaTableUpdate(const std::string& table, http_request& request, std::string& reply);
    void tunaTableDelete(const std::string& table, http_request& request, std::string& reply);
    // Deletes the row and its ids entry; appends a status reply when `reply` is given.
    void tunaTableDelete(const std::string& table, const std::string& id, std::string* reply);
    bool checkCollision(const std::string& column, const std::string& value, const std::string& table,
                        const std::string& id);
    bool checkCollisionExtended(const std::string& table, const param_list& params);

    // Keeps idsByName and namesById true for an object that now bears `name` (empty: no name).
    void rememberName(const std::string& id, const std::string& name);
    void forgetId(const std::string& id);
    // True while a row of a named-object table bears the id.
    bool idInUse(const std::string& id);

    // Configuration files: the command "configurationFile.json", the start-up, the import and the export.
    void tunaConfigurationFile(http_request& request, std::string& reply);
    // At start: "default.conf" imported (an empty configuration without it), "saved.conf" written.
    void startConfiguration();
    // A fresh database with the announcement repository in it and the export's maps emptied.
    void resetConfiguration();
    // Reads and checks the whole file first; only then resets the database and imports it. 0 with
    // the name the file records in *name, or the reader's code with the line to blame in *errorLine
    // (the configuration is then untouched).
    int loadConfiguration(const std::string& path, std::string* name, int* errorLine);
    // The file's configuration name; the empty text when the file cannot be read.
    std::string readConfiguration(const std::string& path);
    // The whole configuration as a ".conf" file: ConfigNode::saveToFile's result.
    int writeConfiguration(const std::string& path);
    // The name in table Configuration (its last row), and a new one for every row.
    std::string configurationName();
    void setConfigurationName(const std::string& name);

    sqlite3* database = nullptr;
    TextMap idsByName; // object name -> id text
    TextMap namesById; // id text -> object name
    TextMap endpointNames;                               // export: endpoint id -> name
    std::map<std::string, TextMap> pppInterfaceNames;    // export: unit id -> link description -> interface
    std::multimap<std::pair<std::string, std::string>, std::string> unitInterfaces; // (unit id, label) -> device
    std::map<std::string, int32_t> audioFileCounts;     // announcement name -> languages holding it
    std::deque<UndoStep> savepoints;                     // automatic savepoints, oldest first
    int32_t saveCounter = 0;
    int32_t unsavedChanges = 0;         // changes since the configuration was opened or saved
    std::deque<StoreChange> changeLog;  // the newest changes, oldest first
    bool changeRecorded = false;        // the running command gave its own account of its change
    TextMap tableAliases; // name in a request path -> table
    std::string currentFileName;
    int32_t filesWritten = 0; // configuration files of the user's written by "save_file" and "save_as"
};

// The store object between start_store and stop_store; none outside that time.
TunaHandler* tunaStore();

// The request's parameters; an empty list when it has none.
const param_list& requestParams(const http_request& request);
