#include "handlers/tuna/translations.h"

#include "common/logger.h"
#include "handlers/tuna/json_text.h"

// One element per row of "Texts": with a "languageId" (the empty text is a language too) the name,
// its translation and the translation's id, empty where that language has none; without one the
// name and an empty text.
void TunaHandler::tunaGlobalAudioSetupTranslations(http_request& request, std::string& reply)
{
    const request_param* language = find_param(requestParams(request), "languageId");
    Sql select;
    if (language) {
        select += "SELECT Texts.name, globalAudioSetupTranslations.translation, globalAudioSetupTranslations.id"
                  " FROM Texts LEFT JOIN globalAudioSetupTranslations"
                  " ON globalAudioSetupTranslations.name = Texts.name"
                  " AND globalAudioSetupTranslations.languageId = ";
        select.bind(language->value.value_or(""));
    } else {
        select += "SELECT name FROM Texts";
    }

    Statement statement(database, select);
    reply += "[";
    if (language && log_enabled(LOG_INFO))
        LOG(LOG_INFO, ">>>>>>>> %p [%s]\n", static_cast<void*>(statement.handle()), select.render().c_str());
    for (bool first = true; statement.next(); first = false) {
        if (!first) reply += ", ";
        reply += "[";
        appendJsonString(reply, statement.text(0));
        reply += ", ";
        if (language) {
            appendJsonString(reply, statement.text(1));
            reply += ", ";
            appendJsonString(reply, statement.text(2));
        } else {
            reply += "\"\"";
        }
        reply += "]";
    }
    reply += "]\n";
}
