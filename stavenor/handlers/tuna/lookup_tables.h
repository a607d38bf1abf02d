// Constant tables that the export and the import read: daemon positions, product model names and
// the alarm-input signal modes. Filled by start_store before anything can import, read-only after.
#pragma once

#include <array>
#include <map>
#include <string>

using TextMap = std::map<std::string, std::string>;

extern const TextMap& daemonIds;   // daemon name -> its fixed position in a unit's run list
extern const TextMap& modelNames;  // internal unit model name -> product model name
// Per alarm input slot 0..7: mode word -> number, and number -> mode word.
extern const std::array<TextMap, 8>& signalModeByName;
extern const std::array<TextMap, 8>& signalModeByNumber;

// Idempotent: the first call fills the four tables.
void buildLookupTables();
