// The configuration import: a loaded configuration tree turned into database rows, section by
// section, the twin of the export.
//
// One file per section or group of sections; each section is a free function that takes the
// import's context and the tree node it reads. The driver (import.cpp) calls them in a fixed order.
// A new section: write its file here, declare it below, and add its call line to the driver.
#pragma once

#include "handlers/tuna/sql.h"
#include "handlers/tuna/tuna_handler.h"
#include "tree/config_node.h"

#include <sqlite3.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tuna_import {

// The kinds of named objects. Names are per kind: a unit and an operator of the same name are two
// objects with two ids.
enum class IdKind { Unit, Radio, Speaker, Telephone, PhoneLine, Operator, Conference, Event };

// One import run. Made afresh for every import, so every map below starts empty.
class ImportContext {
public:
    explicit ImportContext(TunaHandler& store);
    ~ImportContext();
    ImportContext(const ImportContext&) = delete;
    ImportContext& operator=(const ImportContext&) = delete;

    TunaHandler& store;
    std::string result; // the configuration's file name as the file records it

    // --- Ids ---
    // A new ids row for a named object of that kind (the id pass). A name met before in the same
    // kind keeps its id. Records the pair here and in store.idsByName / store.namesById.
    std::string registerObject(IdKind kind, const std::string& name);
    // The id of that kind's object by that name; a new, recorded one when the kind has no such name.
    std::string objectId(IdKind kind, const std::string& name);
    // Lookup only: the id, or the empty text. A miss adds nothing.
    std::string idOf(IdKind kind, const std::string& name) const;
    // The first kind, in the order given, that knows the name; the empty text when none does.
    std::string idOfAny(const std::string& name, std::initializer_list<IdKind> kinds) const;
    // A new ids row for a thing that is not looked up by name (list entries, endpoints, routes...).
    std::string freshId();

    // --- Rows ---
    // Inserts the row (every schema column; those the map lacks are empty). False when the
    // database refused it: the row is missing and the import goes on.
    bool insert(const std::string& table, const RowMap& row);

    // --- Maps that live for one import ---
    TextMap endpointIdsByName;                          // endpoint name -> id
    std::map<std::string, TextMap> interfaceNames;      // unit id -> interface key ("br0", "ppp0") -> name
    std::map<std::string, TextMap> pppLinkIds;          // unit id -> its PPP link's key ("ppp12") -> pppProperties id
    TextMap headsetIdsByName;                           // headset name -> id
    TextMap languageIdsByName;                          // language name -> languagesUsed id

    int insertsRefused = 0;

private:
    std::string newId(const char* cbm, const char* type, const std::string& name);
    sqlite3_stmt* prepared(const std::string& table);

    std::map<IdKind, TextMap> idsByKind_;
    std::map<std::string, sqlite3_stmt*> inserts_; // prepared INSERT per table
    sqlite3_stmt* insertId_ = nullptr;
};

// --- Reading keys ---
// The value of `key` into row[column] when the key is present with a value (else the row keeps
// what it had: its default, or nothing).
void readText(const ConfigNode& node, const char* key, RowMap& row, const char* column);
// "true" when the text is exactly "1", else "false".
const char* boolText(const std::string& text);
// The value of `key` read as a decimal number within [min, max]; false (and `out` untouched) when
// missing, not a number or out of range.
bool readInt(const ConfigNode& node, const char* key, int min, int max, int& out);
// The entries of a numbered list (children keyed 0, 1, 2, ...) in the numeric order of their keys,
// whatever order the file lists them in: the writer sorts keys as text, so "10" comes before "2".
// Entries of equal number keep their file order; keys that are no number follow, in file order.
std::vector<const ConfigNode*> numberedEntries(const ConfigNode& list);

// --- Sections, in the order the driver calls them ---

// Every named object of the file gets its id before any row is written.
void readIds(ImportContext& im, const ConfigNode& root);
// "system": the settings row (and the result), then the icon pages.
void readSystemSettings(ImportContext& im, const ConfigNode& system);
void readIcons(ImportContext& im, const ConfigNode& system);
void readTransceivers(ImportContext& im, const ConfigNode& transceivers);
void readMicrophones(ImportContext& im, const ConfigNode& microphones);
void readGlobalPhoneBook(ImportContext& im, const ConfigNode& book);
void readLanguages(ImportContext& im, const ConfigNode* languages); // null: no languages
void readConferences(ImportContext& im, const ConfigNode& conferences);
void readEvents(ImportContext& im, const ConfigNode& events);
void readTranslations(ImportContext& im, const ConfigNode& translations);

// First pass over "nodes", per unit: its centralUnits row (returns the unit id) ...
std::string readUnitNode(ImportContext& im, const std::string& unitName, const ConfigNode& unit);
void readDaemons(ImportContext& im, const std::string& unitId, const ConfigNode& run);          // "rundis"/"run"
void readEndpoints(ImportContext& im, const std::string& unitId, const ConfigNode& endpoints);  // "network"/"endpoints"
void readServices(ImportContext& im, const std::string& unitId, const ConfigNode& services);    // "services"
// Under a unit ("sip"/"accounts", unitId its id) or "system"/"sip aliases" (unitId empty).
void readSipAliases(ImportContext& im, const ConfigNode& aliases, const std::string& unitId);
void readSipTrunks(ImportContext& im, const std::string& unitId, const ConfigNode& trunks);     // "sip"/"trunks"
// Once for all units, after the first pass: "system"/"devices" and the units' port nodes.
void readDevices(ImportContext& im, const ConfigNode& root);
// Second pass over "nodes", per unit.
void readInterfaces(ImportContext& im, const std::string& unitId, const ConfigNode& network);
// "network"/"routing": a row for each of the unit's routable interfaces, with the node's settings.
void readDynamicRouting(ImportContext& im, const std::string& unitId, const ConfigNode& routing);
// Top-level "network": the audio routes.
void readRoutes(ImportContext& im, const ConfigNode& network);
// The endpoint of that name: of that unit (its name) and its devices, or, without a unit, the one
// read last; the empty text when there is none.
std::string endpointIdInUnit(ImportContext& im, const std::string& name, const std::string& unitName);
// One child of "users".
void readOperators(ImportContext& im, const std::string& name, const ConfigNode& user);
// An operator's lists (operatorId: its id): "settings menu", "microphones", "private phone book",
// "fk menu" (parentButtonId "-1" at the top, a submenu key's id below) and "ffs menu".
void readSettingsMenu(ImportContext& im, const std::string& operatorId, const ConfigNode& menu);
void readOperatorHeadsets(ImportContext& im, const std::string& operatorId, const ConfigNode& headsets);
void readPrivatePhoneBook(ImportContext& im, const std::string& operatorId, const ConfigNode& book);
void readKeypadButtons(ImportContext& im, const std::string& operatorId, const std::string& parentButtonId,
                       const ConfigNode& menu);
void readRotaryDialButtons(ImportContext& im, const std::string& operatorId, const ConfigNode& menu);
// A "monitors" node of an operator (its id as both ids), a rotary dial position (the position's id,
// the operator's id) or a speaker (its id as both ids).
void readSelectedMonitors(ImportContext& im, const std::string& parentId, const std::string& destinationId,
                          const ConfigNode& monitors);
// The id of an object that an operator's list names: as idOfAny, but the empty text for the empty
// name (no reference), even when some object bears it.
std::string referencedId(const ImportContext& im, const std::string& name, std::initializer_list<IdKind> kinds);
// The id of the endpoint of that name; the empty text for the empty name or an unknown one.
std::string referencedEndpoint(const ImportContext& im, const std::string& name);

// Every section of a loaded tree into the store's database, which the caller has just made afresh
// (and whose lock it holds). Returns the configuration's file name as the file records it.
std::string importTree(TunaHandler& store, const ConfigNode& root);

// Reads the whole file and checks it: 0, or the reader's negative code with `errorLine` set (0
// when no line is to blame); kUnwritableText when a key or value holds a CR or NUL byte, which
// could never be written back; kNotConfiguration when it has none of the top-level sections.
constexpr int kUnwritableText = -5;
// The file reads, but holds none of the sections of a configuration.
constexpr int kNotConfiguration = -6;
int loadConfigurationTree(const std::string& path, ConfigNode& root, int* errorLine);

} // namespace tuna_import
