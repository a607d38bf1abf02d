// The installation-wide register and settings: ids, the configuration's name, system settings,
// languages, translatable texts and the announcement files.
#include "handlers/tuna/schema.h"

namespace schema {

void addSystemTables(TableDefinitions& tables)
{
    tables["ids"] = table({
        "id", "name", "type", "cbm"}, {});
    tables["ids"].listColumns = {"id", "type", "name"};
    tables["Configuration"] = table({
        "id", "name"}, {});
    tables["cubSettings"] = table({
        "id", "name", "filename", "organization", "language", "networkKey", "multicastAddress",
        "sipTrunkAddress", "multicastTtl", "broadcastTimeout", "timeout"});
    tables["globalOverviewLanguages"] = table({
        "id", "name"});
    tables["languagesUsed"] = table({
        "id", "name", "languageId"});
    tables["Texts"] = table({
        "id", "name"});
    tables["globalAudioSetupTranslations"] = table({
        "id", "name", "translation", "languageId"}, {});
    tables["audioFiles"] = table({
        "id", "name"});
    tables["globalAudioSetupAudioRepository"] = table({
        "id", "name", "languageId", "rate", "size", "type", "duration"});
}

} // namespace schema
