#include "handlers/updater.h"

#include "common/logger.h"
#include "common/main_loop.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/manager.h"
#include "handlers/default.h"
#include "handlers/updater_jobs.h"
#include "handlers/network_status.h"
#include "handlers/updater_support.h"

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
    if (json_t* job = unit_job_record(unitId)) json_object_set_new(record, "lastJob", job);
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

// The two commands that only read unit data; main loop only.
void listUnits(json_t* reply)
{
    json_t* list = json_array();
    for (auto& [unitId, unit] : unitMap) json_array_append_new(list, unitRecord(unit, unitId));
    json_object_set_new(reply, "breltList", list);
}

void describeUnit(const std::vector<std::string>& ids, json_t* reply)
{
    Brelt* unit = firstUnit(ids);
    if (!unit) return setError(reply, "no unit");
    json_object_set_new(reply, "breltInfo", unitInformation(unit));
}

const request_param* postParam(const param_list* params, const char* name)
{
    const request_param* param = params ? find_param(*params, name) : nullptr;
    return param && param->kind == PARAM_POST ? param : nullptr;
}

void dispatch(UpdaterRequest& r, const std::string& command)
{
    const request_param* fileSent = postParam(r.request.params, "fileSent");
    const request_param* fileUploaded = postParam(r.request.params, "fileUploaded");
    auto uploadPath = [](const request_param* param) { return param->upload_path.value_or(param->value.value_or("")); };
    if (fileSent) return updater_file_sent(r, uploadPath(fileSent));
    if (command == "buttonData") return updater_button_data(r);
    if (fileUploaded) return updater_file_uploaded(r, uploadPath(fileUploaded));
    if (command == "breltList" || command == "brelt") {
        json_t* reply = r.reply;
        const bool reached = run_on_main([&] {
            if (command == "breltList") listUnits(reply);
            else describeUnit(r.ids, reply);
        });
        if (!reached) setError(r.reply, "the server is busy, try again");
        return;
    }
    if (command == "networkStatus") return updater_network_status(r);
    if (command == "modLsDir") return updater_ls_dir(r);
    if (command == "modRmFile") return updater_rm_file(r);
    if (command == "modDownload") return updater_download(r);
    if (command == "prepareLog") return updater_prepare_log(r);
    if (command == "downloadLog") return updater_download_log(r);
    if (command == "action") return updater_action(r);
    if (command == "breltProgress") return updater_progress(r);
    if (command == "downloadConfigurationFile") return updater_download_configuration(r);
    if (command == "passModuleFile") return updater_pass_module_file(r);
    if (command == "breltRoles") return updater_roles(r);
    if (command == "breltModules") return updater_modules(r);
}

} // namespace

const std::string* UpdaterRequest::param(const char* name) const
{
    return request.params ? get_param(*request.params, name) : nullptr;
}

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

void setError(json_t* reply, const std::string& description)
{
    json_object_set_new(reply, "status", json_string("error"));
    json_object_set_new(reply, "description", unitText(description));
}

Brelt* firstUnit(const std::vector<std::string>& ids)
{
    for (const std::string& id : ids) {
        auto it = unitMap.find(id);
        if (it != unitMap.end()) return it->second;
    }
    return nullptr;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

bool fitsCommandLine(const std::string& value)
{
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || byte < 0x20 || byte == 0x7F) return false;
    }
    return true;
}

bool isPlainFileName(const std::string& value)
{
    return fitsCommandLine(value) && value.find('/') == std::string::npos && value != "." && value != "..";
}

bool checkLineValues(UpdaterRequest& r, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const std::string* value = r.param(name);
        if (value && !fitsCommandLine(*value)) {
            setError(r.reply, std::string("invalid ") + name);
            return false;
        }
    }
    return true;
}

void updater_handler(http_request& request)
{
    const std::string& url = request.url;
    const std::string* units = request.params ? get_param(*request.params, "macAddress") : nullptr;
    LOG(LOG_INFO, "UPDATER REQUEST `%s` `%s`", url.c_str(), units ? units->c_str() : "");
    const size_t slash = url.rfind('/');
    const size_t json = url.find(".json");
    // A path that names no command is unknown to the server as a whole.
    if (slash == std::string::npos || json == std::string::npos || json < slash) return not_found(request);
    std::string command = url.substr(slash + 1, json - slash - 1);
    if (command.size() > COMMAND_MAX) command.clear();

    JsonReply reply;
    UpdaterRequest r{request, unitIds(units), reply.object};
    dispatch(r, command);
    if (r.attachment) return;
    char* text = json_dumps(reply.object, JSON_PRESERVE_ORDER);
    request.status = 200;
    request.data = text ? text : "{}";
    request.content_type = "application/json; charset=utf-8";
    free(text);
}

void init_updater() {}

void cleanup_updater() {}
