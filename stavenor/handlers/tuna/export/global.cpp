// The global phone book, the languages in use, conferences, events and the translations of texts.
#include "handlers/tuna/export/export.h"

#include <set>

namespace tuna_export {

void writeGlobalPhoneBook(ExportContext& ex, ConfigNode& system)
{
    ConfigNode& book = *system.makePath("global phone book");
    ex.forEachRow("globalOverviewPhoneBook", [&](RowMap& row) {
        ConfigNode& entry = *book.addChild(column(row, "name"));
        entry.addValue("type", column(row, "contactType"));
        entry.addValue("telephone number", column(row, "contactNumber"));
        entry.addValue("sip address", column(row, "sipAddress"));
    });
}

void writeLanguages(ExportContext& ex, ConfigNode& system)
{
    ConfigNode& languages = *system.makePath("languages");
    ex.forEachRow("languagesUsed", [&](RowMap& row) { languages.addChild(column(row, "name")); });
}

void writeConferences(ExportContext& ex, ConfigNode& system)
{
    ConfigNode& conferences = *system.makePath("conferences");
    ex.forEachRow("globalOverviewConferences", [&](RowMap& row) {
        ConfigNode& conference = *conferences.addChild(column(row, "name"));
        conference.addValue("type", column(row, "conferenceType"));
        conference.addValue("multicast group", column(row, "multicastGroup"));
        conference.addValue("port", column(row, "port"));
        conference.addValue("description", column(row, "description"));
        conference.addValue("ttl", column(row, "ttl"));
    });
}

void writeEvents(ExportContext& ex, ConfigNode& system)
{
    ConfigNode& events = *system.makePath("events");
    ex.forEachRow("globalEvents", [&](RowMap& row) {
        ConfigNode& event = *events.addChild(column(row, "name"));
        event.addValue("description", column(row, "description"));
        event.addValue("text message", column(row, "textMessage"));
        event.addValue("audio file", column(row, "audioFile"));
        event.addValue("repetitions", column(row, "repeats"));
        event.addValue("volume", column(row, "volume"));
    });
}

void writeTranslations(ExportContext& ex, ConfigNode& system)
{
    ConfigNode& translations = *system.makePath("translations");
    std::set<std::string> written;
    ex.forEachRow("Texts", [&](RowMap& row) {
        const std::string& name = column(row, "name");
        ConfigNode& text = *translations.addChild(name);
        // Translations belong to a text by name: a second text of that name must not repeat them,
        // or every load would add them once more.
        if (!written.insert(name).second) return;
        Sql select("SELECT languageId, translation FROM globalAudioSetupTranslations WHERE name=");
        select.bind(name);
        Statement statement(ex.store.database, select);
        while (statement.next()) text.addChild(statement.text(0), statement.text(1));
    });
}

} // namespace tuna_export
