// The import driver: the passes over a loaded configuration tree in their fixed order, and the
// context they share.
#include "handlers/tuna/import/import.h"

#include "common/logger.h"
#include "handlers/tuna/schema.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <functional>
#include <optional>
#include <string_view>

namespace tuna_import {

namespace {

struct KindIds {
    const char* type;
    const char* cbm;
};

KindIds kindIds(IdKind kind)
{
    switch (kind) {
    case IdKind::Unit: return {"unknown", "false"};
    case IdKind::Radio: return {"transceiver", "true"};
    case IdKind::Speaker: return {"speaker", "true"};
    case IdKind::Telephone: return {"telephone", "false"};
    case IdKind::PhoneLine: return {"phone", "true"};
    case IdKind::Operator: return {"operator", "true"};
    case IdKind::Conference: return {"conference", "true"};
    case IdKind::Event: return {"event", "false"};
    }
    return {"unknown", "false"};
}

void bindText(sqlite3_stmt* statement, int index, const std::string& text)
{
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Runs a prepared statement once and makes it ready for the next values.
bool runOnce(sqlite3_stmt* statement)
{
    int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return rc == SQLITE_DONE;
}

} // namespace

ImportContext::ImportContext(TunaHandler& store) : store(store) {}

ImportContext::~ImportContext()
{
    for (auto& [table, statement] : inserts_) sqlite3_finalize(statement);
    sqlite3_finalize(insertId_);
}

std::string ImportContext::newId(const char* cbm, const char* type, const std::string& name)
{
    if (!insertId_ &&
        sqlite3_prepare_v2(store.database, "INSERT INTO ids (type,cbm,name) VALUES (?,?,?)", -1, &insertId_, nullptr) !=
            SQLITE_OK) {
        LOG(LOG_ERROR, "import: %s", sqlite3_errmsg(store.database));
        sqlite3_finalize(insertId_);
        insertId_ = nullptr;
        return {};
    }
    bindText(insertId_, 1, type);
    bindText(insertId_, 2, cbm);
    bindText(insertId_, 3, name);
    if (!runOnce(insertId_)) {
        LOG(LOG_ERROR, "import: no id: %s", sqlite3_errmsg(store.database));
        return {};
    }
    char id[32];
    snprintf(id, sizeof id, "id%" PRId64, static_cast<int64_t>(sqlite3_last_insert_rowid(store.database)));
    return id;
}

std::string ImportContext::freshId() { return newId("false", "unknown", "name"); }

std::string ImportContext::registerObject(IdKind kind, const std::string& name)
{
    TextMap& ids = idsByKind_[kind];
    auto known = ids.find(name);
    if (known != ids.end()) return known->second;
    KindIds k = kindIds(kind);
    // A unit's ids row carries no name of its own.
    std::string id = newId(k.cbm, k.type, kind == IdKind::Unit ? std::string("name") : name);
    if (id.empty()) return id;
    ids[name] = id;
    store.idsByName[name] = id;
    store.namesById[id] = name;
    return id;
}

std::string ImportContext::objectId(IdKind kind, const std::string& name)
{
    LOG(LOG_INFO, "%s", "getOrCreateId");
    std::string id = idOf(kind, name);
    if (!id.empty()) {
        LOG(LOG_INFO, "%s vs %s", name.c_str(), name.c_str());
        LOG(LOG_INFO, "already exists!");
        return id;
    }
    return registerObject(kind, name);
}

std::string ImportContext::idOf(IdKind kind, const std::string& name) const
{
    auto ids = idsByKind_.find(kind);
    if (ids == idsByKind_.end()) return {};
    auto found = ids->second.find(name);
    return found == ids->second.end() ? std::string() : found->second;
}

std::string ImportContext::idOfAny(const std::string& name, std::initializer_list<IdKind> kinds) const
{
    for (IdKind kind : kinds) {
        std::string id = idOf(kind, name);
        if (!id.empty()) return id;
    }
    return {};
}

sqlite3_stmt* ImportContext::prepared(const std::string& table)
{
    auto found = inserts_.find(table);
    if (found != inserts_.end()) return found->second;
    const TableDefinition* definition = findTable(table);
    if (!definition) return nullptr;
    Sql insert = buildInsert(table, RowMap());
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(store.database, insert.text.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        LOG(LOG_ERROR, "import: %s: %s", table.c_str(), sqlite3_errmsg(store.database));
        sqlite3_finalize(statement);
        statement = nullptr;
    }
    inserts_[table] = statement;
    return statement;
}

bool ImportContext::insert(const std::string& table, const RowMap& row)
{
    sqlite3_stmt* statement = prepared(table);
    if (!statement) {
        ++insertsRefused;
        return false;
    }
    const std::vector<std::string>& columns = findTable(table)->columns;
    static const std::string empty;
    for (size_t i = 0; i < columns.size(); ++i) {
        auto value = row.find(columns[i]);
        bindText(statement, static_cast<int>(i) + 1, value == row.end() ? empty : value->second);
    }
    if (runOnce(statement)) return true;
    LOG(LOG_ERROR, "import: row of %s refused: %s", table.c_str(), sqlite3_errmsg(store.database));
    ++insertsRefused;
    return false;
}

void readText(const ConfigNode& node, const char* key, RowMap& row, const char* column)
{
    std::string value;
    if (node.getString(key, value)) row[column] = std::move(value);
}

const char* boolText(const std::string& text) { return text == "1" ? "true" : "false"; }

bool readInt(const ConfigNode& node, const char* key, int min, int max, int& out)
{
    int number = 0;
    if (!node.getInt(key, number) || number < min || number > max) return false;
    out = number;
    return true;
}

std::vector<const ConfigNode*> numberedEntries(const ConfigNode& list)
{
    // A number's key without its leading zeros; none for a key that is not a number.
    auto digits = [](const std::string& key) -> std::optional<std::string_view> {
        if (key.empty() || key.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
        std::string_view text = key;
        while (text.size() > 1 && text[0] == '0') text.remove_prefix(1);
        return text;
    };
    std::vector<const ConfigNode*> entries;
    for (const auto& child : list.children) entries.push_back(child.get());
    std::stable_sort(entries.begin(), entries.end(), [&](const ConfigNode* a, const ConfigNode* b) {
        auto x = digits(a->key), y = digits(b->key);
        if (!x || !y) return x.has_value() && !y.has_value();
        // Compared as text of equal length, numbers of any size keep their order.
        return x->size() != y->size() ? x->size() < y->size() : *x < *y;
    });
    return entries;
}

namespace {

void runPasses(ImportContext& im, const ConfigNode& root)
{
    readIds(im, root);

    if (const ConfigNode* system = root.get("system")) {
        readSystemSettings(im, *system);
        readIcons(im, *system);
        if (const ConfigNode* node = system->get("transceivers")) readTransceivers(im, *node);
        if (const ConfigNode* node = system->get("microphones")) readMicrophones(im, *node);
        if (const ConfigNode* node = system->get("global phone book")) readGlobalPhoneBook(im, *node);
        readLanguages(im, system->get("languages"));
        if (const ConfigNode* node = system->get("conferences")) readConferences(im, *node);
        if (const ConfigNode* node = system->get("events")) readEvents(im, *node);
        if (const ConfigNode* node = system->get("translations")) readTranslations(im, *node);
    }

    const ConfigNode* nodes = root.get("nodes");
    if (nodes) {
        for (const auto& unit : nodes->children) {
            std::string unitId = readUnitNode(im, unit->key, *unit);
            if (const ConfigNode* node = unit->get("rundis", "run")) readDaemons(im, unitId, *node);
            if (const ConfigNode* node = unit->get("network", "endpoints")) readEndpoints(im, unitId, *node);
            if (const ConfigNode* node = unit->get("services")) readServices(im, unitId, *node);
            if (const ConfigNode* node = unit->get("sip", "accounts")) readSipAliases(im, *node, unitId);
            if (const ConfigNode* node = unit->get("sip", "trunks")) readSipTrunks(im, unitId, *node);
        }
    }

    readDevices(im, root);

    if (nodes) {
        for (const auto& unit : nodes->children) {
            std::string unitId = im.objectId(IdKind::Unit, unit->key);
            if (const ConfigNode* node = unit->get("network")) readInterfaces(im, unitId, *node);
            if (const ConfigNode* node = unit->get("network", "routing")) readDynamicRouting(im, unitId, *node);
        }
    }

    if (const ConfigNode* node = root.get("network")) readRoutes(im, *node);
    if (const ConfigNode* users = root.get("users"))
        for (const auto& user : users->children) readOperators(im, user->key, *user);
    if (const ConfigNode* node = root.get("system", "sip aliases")) readSipAliases(im, *node, std::string());
}

// True when every key and value below `node` can be written back; else `where` names the first
// that cannot.
bool allWritable(const ConfigNode& node, std::string& where)
{
    for (const auto& child : node.children) {
        if (!ConfigNode::isWritableText(child->key) || !ConfigNode::isWritableText(child->value)) {
            where = child->key;
            return false;
        }
        if (!allWritable(*child, where)) return false;
    }
    return true;
}

} // namespace

std::string importTree(TunaHandler& store, const ConfigNode& root)
{
    store.idsByName.clear();
    store.namesById.clear();
    std::string result;
    // One transaction: the rows of a whole file are written at once.
    std::string error;
    bool inTransaction = executeSql(store.database, Sql("BEGIN"), &error) == SQLITE_OK;
    if (!inTransaction) LOG(LOG_ERROR, "import: %s", error.c_str());
    {
        ImportContext im(store);
        runPasses(im, root);
        result = im.result;
        if (im.insertsRefused) LOG(LOG_ERROR, "import: %d rows refused", im.insertsRefused);
    }
    if (inTransaction && executeSql(store.database, Sql("COMMIT"), &error) != SQLITE_OK)
        LOG(LOG_ERROR, "import: %s", error.c_str());
    return result;
}

int loadConfigurationTree(const std::string& path, ConfigNode& root, int* errorLine)
{
    int result = root.loadFromFile(path, errorLine);
    if (result != ConfigNode::kRead) return result;
    std::string where;
    if (!allWritable(root, where)) {
        fprintf(stderr, "Error (%d) reading configuration: a CR or NUL byte in [%s]\n", kUnwritableText, where.c_str());
        if (errorLine) *errorLine = 0;
        return kUnwritableText;
    }
    // A file with none of the top-level sections (a text file renamed, say) would replace the
    // configuration in use with an empty one.
    bool anySection = false;
    for (const char* section : {"system", "nodes", "network", "users"}) anySection = anySection || root.get(section);
    if (!anySection) return kNotConfiguration;
    return result;
}

} // namespace tuna_import

std::string TunaHandler::readConfiguration(const std::string& path)
{
    endpointNames.clear();
    pppInterfaceNames.clear();
    ConfigNode root;
    if (tuna_import::loadConfigurationTree(path, root, nullptr) != ConfigNode::kRead) return {};
    return tuna_import::importTree(*this, root);
}
