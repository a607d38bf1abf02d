// The configuration export: the database written out as a configuration tree, section by section.
//
// One file per section or group of sections; each section is a free function that takes the
// export's context and the tree node it fills. The driver (export.cpp) calls them in a fixed order.
// A new section: write its file here, declare it below, and add its call line to the driver.
#pragma once

#include "handlers/tuna/sql.h"
#include "handlers/tuna/tuna_handler.h"
#include "tree/config_node.h"

#include <functional>
#include <string>

namespace tuna_export {

// One export run: the store it reads (its lock is held by the caller) and the tree it builds.
struct ExportContext {
    explicit ExportContext(TunaHandler& store) : store(store) {}

    TunaHandler& store;
    ConfigNode root;

    // Every row of `table` (all schema columns), optionally narrowed by `condition`, in the order
    // the database returns them. A table that cannot be read gives no rows.
    void forEachRow(const std::string& table, const Sql& condition, const std::function<void(RowMap&)>& visit) const;
    void forEachRow(const std::string& table, const std::function<void(RowMap&)>& visit) const
    {
        forEachRow(table, Sql(), visit);
    }
    // The rows of `table` whose `column` holds `value`.
    void forEachRowWhere(const std::string& table, const std::string& column, const std::string& value,
                         const std::function<void(RowMap&)>& visit) const;
    // The name of the object with this id, or the empty text.
    std::string nameOf(const std::string& id) const;
};

// A row's column; the empty text when the row lacks it.
const std::string& column(const RowMap& row, const std::string& name);
// A yes/no column as the file writes it: "1" for exactly "true", else "0".
const char* flag(const std::string& text);

// --- Sections, in the order the driver calls them ---

// "system": "filename" per Configuration row, then the settings of the first cubSettings row.
// True when there is such a row.
bool writeSystemSettings(ExportContext& ex, ConfigNode& system);
// The devices of every central unit, under "system"/"devices" and the units' port nodes; fills
// store.unitInterfaces and store.pppInterfaceNames for the unit steps.
void writeDevices(ExportContext& ex, ConfigNode& system, ConfigNode& nodes);
// "system"/"date": today's local date.
void writeDate(ExportContext& ex, ConfigNode& system);
void writeTransceivers(ExportContext& ex, ConfigNode& system);
void writeMicrophones(ExportContext& ex, ConfigNode& system);
void writeGlobalPhoneBook(ExportContext& ex, ConfigNode& system);
void writeLanguages(ExportContext& ex, ConfigNode& system);
void writeConferences(ExportContext& ex, ConfigNode& system);
void writeEvents(ExportContext& ex, ConfigNode& system);
void writeTranslations(ExportContext& ex, ConfigNode& system);

// Per central unit: its node's header keys (and its Ethernet interface in store.pppInterfaceNames),
// then the unit steps below in this order.
void writeUnitNode(ExportContext& ex, const RowMap& unitRow, ConfigNode& unit);
void writeInterfaces(ExportContext& ex, const std::string& unitId, ConfigNode& unit);
void writeDaemons(ExportContext& ex, const std::string& unitId, ConfigNode& unit);
void writeEndpoints(ExportContext& ex, const std::string& unitId, ConfigNode& unit);
// Under a unit (unitId its id) or "system"/"sip aliases" (unitId empty: the operators' aliases).
void writeSipAliases(ExportContext& ex, ConfigNode& node, const std::string& unitId);
void writeSipTrunks(ExportContext& ex, const std::string& unitId, ConfigNode& unit);
void writeDynamicRouting(ExportContext& ex, const std::string& unitId, ConfigNode& unit);
void writeServices(ExportContext& ex, const std::string& unitId, ConfigNode& unit);

// One operator (its operatorGeneral row) into its node under "users".
void writeOperators(ExportContext& ex, const RowMap& operatorRow, ConfigNode& user);
// An operator's branches (operatorId: its id): "fk menu", "settings menu", "ffs menu",
// "microphones" and "private phone book".
void writeKeypadButtons(ExportContext& ex, const std::string& operatorId, ConfigNode& menu);
void writeSettingsMenu(ExportContext& ex, const std::string& operatorId, ConfigNode& menu);
void writeRotaryDialButtons(ExportContext& ex, const std::string& operatorId, ConfigNode& menu);
void writeOperatorHeadsets(ExportContext& ex, const std::string& operatorId, ConfigNode& headsets);
void writePrivatePhoneBook(ExportContext& ex, const std::string& operatorId, ConfigNode& book);
// The monitor list of an operator, a rotary dial position or a speaker (ownerId: its id) into the
// owner's "monitors" node.
void writeSelectedMonitors(ExportContext& ex, const std::string& ownerId, ConfigNode& monitors);
// "network": the audio routes.
void writeRoutes(ExportContext& ex, ConfigNode& network);
// "system"/"icons": the icon store.
void writeIcons(ExportContext& ex, ConfigNode& root);

// The whole tree of the store's configuration into ex.root (the driver's steps, without saving).
void buildConfigurationTree(ExportContext& ex);

} // namespace tuna_export
