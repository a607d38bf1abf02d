// The global phone book, the languages in use (with their announcement directories), conferences,
// events, and the texts with their translations.
#include "handlers/tuna/import/import.h"

#include "common/logger.h"
#include "common/paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace tuna_import {

void readGlobalPhoneBook(ImportContext& im, const ConfigNode& book)
{
    for (const auto& entry : book.children) {
        if (!entry->get("type")) continue; // not a phone book entry
        RowMap row;
        row["id"] = im.freshId();
        row["name"] = entry->key;
        readText(*entry, "type", row, "contactType");
        readText(*entry, "telephone number", row, "contactNumber");
        readText(*entry, "sip address", row, "sipAddress");
        im.insert("globalOverviewPhoneBook", row);
    }
}

namespace {

// Makes the language's announcement directory. True only when it was made now. A name that is not
// a plain directory name makes nothing.
bool makeLanguageDirectory(const std::string& language)
{
    if (!is_safe_file_name(language)) {
        LOG(LOG_ERROR, "no announcement directory for the language name %s", language.c_str());
        return false;
    }
    mkdir("announcements", 0755);
    std::string directory = "announcements/" + language;
    if (mkdir(directory.c_str(), 0755) == 0) return true;
    if (errno != EEXIST) LOG(LOG_ERROR, "cannot create %s: %s", directory.c_str(), strerror(errno));
    return false;
}

} // namespace

void readLanguages(ImportContext& im, const ConfigNode* languages)
{
    im.languageIdsByName.clear();
    if (!languages) return;
    for (const auto& language : languages->children) {
        RowMap row;
        row["id"] = im.freshId();
        row["name"] = language->key;
        // A language whose directory exists already has its row from the announcement scan.
        if (makeLanguageDirectory(language->key)) {
            RowMap overview;
            overview["id"] = im.freshId();
            overview["name"] = language->key;
            im.insert("globalOverviewLanguages", overview);
        }
        im.languageIdsByName[language->key] = row["id"];
        im.insert("languagesUsed", row);
    }
}

void readConferences(ImportContext& im, const ConfigNode& conferences)
{
    for (const auto& conference : conferences.children) {
        RowMap row;
        row["id"] = im.objectId(IdKind::Conference, conference->key);
        row["name"] = conference->key;
        readText(*conference, "type", row, "conferenceType");
        readText(*conference, "multicast group", row, "multicastGroup");
        readText(*conference, "port", row, "port");
        readText(*conference, "description", row, "description");
        readText(*conference, "ttl", row, "ttl");
        im.insert("globalOverviewConferences", row);
    }
}

void readEvents(ImportContext& im, const ConfigNode& events)
{
    for (const auto& event : events.children) {
        RowMap row;
        row["name"] = event->key;
        row["id"] = im.objectId(IdKind::Event, event->key);
        readText(*event, "description", row, "description");
        readText(*event, "text message", row, "textMessage");
        readText(*event, "audio file", row, "audioFile");
        readText(*event, "repetitions", row, "repeats");
        readText(*event, "volume", row, "volume");
        im.insert("globalEvents", row);
    }
}

void readTranslations(ImportContext& im, const ConfigNode& translations)
{
    for (const auto& text : translations.children) {
        RowMap row;
        row["id"] = im.freshId();
        row["name"] = text->key;
        im.insert("Texts", row);
        for (const auto& translation : text->children) {
            RowMap entry;
            entry["id"] = im.freshId();
            entry["name"] = text->key;
            entry["translation"] = translation->value;
            entry["languageId"] = translation->key;
            im.insert("globalAudioSetupTranslations", entry);
        }
    }
}

} // namespace tuna_import
