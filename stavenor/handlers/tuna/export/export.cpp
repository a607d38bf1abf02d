// The export driver: the sections in their fixed order, then the tree written as ".conf" text.
#include "handlers/tuna/export/export.h"

#include "common/logger.h"

namespace tuna_export {

void ExportContext::forEachRow(const std::string& table, const Sql& condition,
                               const std::function<void(RowMap&)>& visit) const
{
    Statement statement(store.database, buildSelect(table, condition));
    if (!statement.ok()) {
        LOG(LOG_ERROR, "export: cannot read %s: %s", table.c_str(), statement.error().c_str());
        return;
    }
    RowMap row;
    while (statement.next()) {
        row.clear();
        fetchRow(table, statement, row);
        visit(row);
    }
}

void ExportContext::forEachRowWhere(const std::string& table, const std::string& columnName, const std::string& value,
                                    const std::function<void(RowMap&)>& visit) const
{
    Sql condition(columnName + "=");
    condition.bind(value);
    forEachRow(table, condition, visit);
}

std::string ExportContext::nameOf(const std::string& id) const
{
    auto found = store.namesById.find(id);
    return found == store.namesById.end() ? std::string() : found->second;
}

const std::string& column(const RowMap& row, const std::string& name)
{
    static const std::string empty;
    auto found = row.find(name);
    return found == row.end() ? empty : found->second;
}

const char* flag(const std::string& text) { return text == "true" ? "1" : "0"; }

void buildConfigurationTree(ExportContext& ex)
{
    TunaHandler& store = ex.store;
    store.endpointNames.clear();
    store.unitInterfaces.clear();
    store.pppInterfaceNames.clear();
    ex.forEachRow("endpoint", [&](RowMap& row) { store.endpointNames[column(row, "id")] = column(row, "name"); });

    ConfigNode& system = *ex.root.makePath("system");
    ConfigNode& nodes = *ex.root.makePath("nodes");

    // The devices of all units, once, and only beside the settings.
    if (writeSystemSettings(ex, system)) writeDevices(ex, system, nodes);
    writeDate(ex, system);
    writeTransceivers(ex, system);
    writeMicrophones(ex, system);
    writeGlobalPhoneBook(ex, system);
    writeLanguages(ex, system);
    writeConferences(ex, system);
    writeEvents(ex, system);
    writeTranslations(ex, system);

    ex.forEachRow("centralUnits", [&](RowMap& row) {
        const std::string& unitId = column(row, "id");
        const char* name = column(row, "name").c_str();
        ConfigNode& unit = *nodes.makePath(column(row, "name"));
        writeUnitNode(ex, row, unit);
        LOG(LOG_INFO, "  cu %s : writeDevices", name);
        writeInterfaces(ex, unitId, unit);
        LOG(LOG_INFO, "  cu %s : writeDaemons", name);
        writeDaemons(ex, unitId, unit);
        LOG(LOG_INFO, "  cu %s : writeEndpoints", name);
        writeEndpoints(ex, unitId, unit);
        LOG(LOG_INFO, "  cu %s : writeSipAliases", name);
        writeSipAliases(ex, unit, unitId);
        LOG(LOG_INFO, "  cu %s : writeSipTrunks", name);
        writeSipTrunks(ex, unitId, unit);
        LOG(LOG_INFO, "  cu %s : writeDynamicRouting", name);
        writeDynamicRouting(ex, unitId, unit);
        LOG(LOG_INFO, "  cu %s : other", name);
        writeServices(ex, unitId, unit);
    });

    ConfigNode& users = *ex.root.makePath("users");
    ex.forEachRow("operatorGeneral", [&](RowMap& row) {
        writeOperators(ex, row, *users.addChild(column(row, "name")));
    });

    ConfigNode& network = *ex.root.makePath("network");
    writeRoutes(ex, network);
    ConfigNode& aliases = *ex.root.makePath("system", "sip aliases");
    writeSipAliases(ex, aliases, std::string());
    writeIcons(ex, ex.root);
}

} // namespace tuna_export

int TunaHandler::writeConfiguration(const std::string& path)
{
    tuna_export::ExportContext ex(*this);
    tuna_export::buildConfigurationTree(ex);
    int result = ex.root.saveToFile(path);
    if (result != ConfigNode::kSaved) LOG(LOG_ERROR, "cannot write %s (%d)", path.c_str(), result);
    return result;
}
