#include "handlers/updater.h"

#include "common/logger.h"
#include "common/main_loop.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/manager.h"
#include "include/status_reply.h"

#include <glib.h>
#include <jansson.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Command names are held in 128 bytes: a longer one names no command.
constexpr size_t COMMAND_MAX = 127;

struct JsonReply {
    json_t* object = json_object();
    ~JsonReply() { json_decref(object); }
};

// Unit texts are 8-bit: anything that is not UTF-8 is taken as Latin-1, so every unit stays listed.
json_t* unitText(const std::string& text)
{
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
        return json_stringn(text.data(), text.size());
    gsize written = 0;
    char* converted =
        g_convert(text.data(), static_cast<gssize>(text.size()), "UTF-8", "ISO-8859-1", nullptr, &written, nullptr);
    json_t* value = converted ? json_stringn(converted, written) : json_string("");
    g_free(converted);
    return value;
}

json_t* unitRecord(Brelt* unit, const std::string& unitId)
{
    json_t* record = json_object();
    json_object_set_new(record, "macAddress", unitText(unitId));
    json_object_set_new(record, "status", unitText(unit->getStateText()));
    json_object_set_new(record, "beardLength", json_integer(unit->getBeardLength()));
    json_object_set_new(record, "protocolVersion", json_integer(unit->getProtocolVersion()));
    json_object_set_new(record, "type", unitText(unit->getSetting("type")));
    json_object_set_new(record, "cubCapable", json_boolean(unit->getFlag("cub capable")));
    json_object_set_new(record, "bricked", json_boolean(unit->getFlag("blocked")));
    return record;
}

json_t* unitInformation(Brelt* unit)
{
    json_t* record = json_object();
    json_object_set_new(record, "configuration", unitText(unit->getSetting("name")));
    json_object_set_new(record, "date", unitText(unit->getSetting("date")));
    json_object_set_new(record, "organization", unitText(unit->getSetting("organization")));
    json_object_set_new(record, "description", unitText(unit->getSetting("description")));
    json_object_set_new(record, "ipAddress", unitText(unit->getSetting("ip")));
    json_object_set_new(record, "dis", unitText(unit->getSetting("dis")));
    json_object_set_new(record, "base", unitText(unit->getSetting("base")));
    json_object_set_new(record, "cubMember", json_boolean(unit->getFlag("cub member")));
    json_object_set_new(record, "cubRole", unitText(unit->getSetting("cub role")));
    json_object_set_new(record, "id", unitText(unit->getSetting("id")));
    json_object_set_new(record, "bricked", json_boolean(unit->getFlag("blocked")));
    if (unit->getProtocolVersion() <= 5) {
        json_object_set_new(record, "languages", json_string("unsupported"));
        return record;
    }
    json_t* languages = json_array();
    json_t* available = json_array();
    gchar** pieces = g_strsplit(unit->getSetting("languages").c_str(), "|", -1);
    for (gchar** piece = pieces; *piece; ++piece) {
        const std::string text = *piece;
        const size_t slash = text.rfind('/');
        if (slash == std::string::npos) continue;
        json_array_append_new(languages, unitText(text.substr(0, slash)));
        json_array_append_new(available, json_boolean(slash + 1 >= text.size() || text[slash + 1] != 'x'));
    }
    g_strfreev(pieces);
    json_object_set_new(record, "languages", languages);
    json_object_set_new(record, "availableLanguages", available);
    return record;
}

// The pieces of "macAddress" as strtok gives them: empty pieces vanish, nothing is trimmed.
std::vector<std::string> unitIds(const std::string* parameter)
{
    std::vector<std::string> ids;
    if (!parameter) return ids;
    size_t start = 0;
    while (start <= parameter->size()) {
        size_t comma = parameter->find(',', start);
        if (comma == std::string::npos) comma = parameter->size();
        if (comma > start) ids.push_back(parameter->substr(start, comma - start));
        start = comma + 1;
    }
    return ids;
}

// Builds the reply of one command; runs on the main loop, which owns the units.
void answer(const std::string& command, const std::vector<std::string>& ids, json_t* reply)
{
    std::vector<Brelt*> units;
    for (const std::string& id : ids) {
        auto it = unitMap.find(id);
        if (it != unitMap.end()) units.push_back(it->second);
    }
    if (command == "breltList") {
        json_t* list = json_array();
        for (auto& [unitId, unit] : unitMap) json_array_append_new(list, unitRecord(unit, unitId));
        json_object_set_new(reply, "breltList", list);
    } else if (command == "brelt") {
        if (units.empty()) {
            json_object_set_new(reply, "status", json_string("error"));
            json_object_set_new(reply, "description", json_string("no unit"));
        } else {
            json_object_set_new(reply, "breltInfo", unitInformation(units.front()));
        }
    }
}

} // namespace

void updater_handler(http_request& request)
{
    const std::string& url = request.url;
    const std::string* units = request.params ? get_param(*request.params, "macAddress") : nullptr;
    LOG(LOG_INFO, "UPDATER REQUEST `%s` `%s`", url.c_str(), units ? units->c_str() : "");
    const size_t slash = url.rfind('/');
    const size_t json = url.find(".json");
    if (slash == std::string::npos || json == std::string::npos || json < slash) return;
    std::string command = url.substr(slash + 1, json - slash - 1);
    if (command.size() > COMMAND_MAX) command.clear();

    const std::vector<std::string> ids = unitIds(units);
    JsonReply reply;
    json_t* object = reply.object;
    // The whole reply is built in one main-loop call: no unit can change or vanish while it is read.
    if (!run_on_main([&] { answer(command, ids, object); })) {
        status_reply(request, false, "the server is busy, try again");
        return;
    }
    char* text = json_dumps(reply.object, JSON_PRESERVE_ORDER);
    request.status = 200;
    request.data = text ? text : "{}";
    request.content_type = "application/json; charset=utf-8";
    free(text);
}

void init_updater() {}

void cleanup_updater() {}
