// The updater's file commands: uploads described for the page's buttons, module uploads, listings,
// removals and fetches on a unit, the page's log, and files a unit sent handed back as attachments.
#include "common/attachment.h"
#include "common/logger.h"
#include "common/main_loop.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/operations/send_file.h"
#include "handlers/updater_support.h"
#include "include/configuration.h"
#include "tree/tree_file.h"

#include <glib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

namespace {

// What the page last uploaded for each of its buttons; guarded by its own lock.
struct ButtonStore {
    std::mutex mutex;
    std::map<std::string, std::string> names;
    std::map<std::string, std::string> paths;
    std::map<std::string, json_t*> descriptions;  // owned copies

    ~ButtonStore()
    {
        for (auto& [button, description] : descriptions) json_decref(description);
    }
};

ButtonStore& buttons()
{
    static ButtonStore store;
    return store;
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The fields of a firmware or module file name, cut at '_' and ended by the next '.'; none when
// the name has too few of them. The name must end in `extension`, which it holds only once.
std::optional<std::vector<std::string>> nameFields(const std::string& path, const std::string& extension,
                                                   size_t underscores)
{
    const size_t at = path.find(extension);
    if (at == std::string::npos || at + extension.size() != path.size()) return std::nullopt;
    const std::string name = baseName(path);
    std::vector<size_t> cuts;
    for (size_t i = 0; i < name.size() && cuts.size() < underscores; ++i) {
        if (name[i] == '_') cuts.push_back(i);
    }
    if (cuts.size() < underscores) return std::nullopt;
    const size_t dot = name.find('.', cuts.back() + 1);
    if (dot == std::string::npos) return std::nullopt;
    cuts.push_back(dot);
    std::vector<std::string> fields{name.substr(0, cuts[0])};
    for (size_t i = 1; i < cuts.size(); ++i) fields.push_back(name.substr(cuts[i - 1] + 1, cuts[i] - cuts[i - 1] - 1));
    return fields;  // fields[1] (between the first two '_') carries nothing the page uses
}

bool describeConfiguration(const std::string& path, json_t* reply)
{
    TreeFile tree;
    if (!tree_load(path, tree)) return false;
    const int nodes = tree_find(tree, -1, {"nodes"});
    if (nodes >= 0) {
        json_t* roles = json_array();
        std::string name;
        for (int cursor = 0; tree_next_child(tree, nodes, cursor, name);) {
            json_t* role = json_object();
            json_object_set_new(role, "name", unitText(name));
            json_object_set_new(role, "type", json_string("full"));
            json_array_append_new(roles, role);
        }
        json_object_set_new(reply, "roles", roles);
    }
    LOG(LOG_ERROR, "c1 %d\n", nodes);
    const int system = tree_find(tree, -1, {"system"});
    for (const char* key : {"name", "date", "organization"}) {
        std::string value;
        if (system >= 0 && tree_find_child(tree, system, key, value)) json_object_set_new(reply, key, unitText(value));
    }
    return true;
}

std::optional<std::string> readFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return bytes.str();
}

void sendAttachment(UpdaterRequest& r, std::string body, const char* contentType, const std::string& name)
{
    r.attachment = true;
    r.request.status = 200;
    r.request.data = std::move(body);
    r.request.content_type = contentType;
    r.request.content_disposition = attachment_disposition(name);
}

// The file the first unit last sent to the PC, with the name it was sent under; none without a unit.
std::optional<std::pair<std::string, std::string>> fetchedFile(UpdaterRequest& r)
{
    std::optional<std::pair<std::string, std::string>> file;
    run_on_main([&] {
        Brelt* unit = firstUnit(r.ids);
        if (!unit) return;
        std::string dir = unit->getSetting("downloaded file path");
        if (!dir.empty() && dir.back() != '/') dir += '/';
        const std::string name = unit->getSetting("downloaded file");
        file.emplace(dir + name, name);
    });
    return file;
}

// Describes the upload for its button; false, with an error set, for a file the button cannot use.
bool describeUpload(UpdaterRequest& r, const std::string& type, const std::string& uploadPath, bool empty)
{
    if (type == "configuration" || type == "dis" || type == "module") {
        const std::string refusal = empty ? "the file is empty" : fileRefusal(uploadPath);
        if (!refusal.empty()) {
            setError(r.reply, refusal);
            return false;
        }
    }
    if (type == "configuration") {
        if (describeConfiguration(uploadPath, r.reply)) return true;
        setError(r.reply, "cannot access file");
        return false;
    }
    if (type == "dis") {
        const auto fields = nameFields(uploadPath, ".dis", 3);
        if (!fields) {
            setError(r.reply, "wrong file");
            return false;
        }
        json_object_set_new(r.reply, "organization", unitText((*fields)[0]));
        json_object_set_new(r.reply, "version", unitText((*fields)[3]));
        json_object_set_new(r.reply, "type", unitText((*fields)[2]));
    } else if (type == "module") {
        const auto fields = nameFields(uploadPath, ".mod", 4);
        if (!fields) {
            setError(r.reply, "wrong file");
            return false;
        }
        json_object_set_new(r.reply, "organization", unitText((*fields)[0]));
        json_object_set_new(r.reply, "name", unitText((*fields)[2]));
        json_object_set_new(r.reply, "version", unitText((*fields)[4]));
        json_object_set_new(r.reply, "type", unitText((*fields)[3]));
    }
    return true;
}

} // namespace

std::string fileRefusal(const std::string& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::is_regular_file(status)) {
        const std::filesystem::path where = std::filesystem::absolute(path, error);
        return "the PC has no file " + (error ? path : where.lexically_normal().string());
    }
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return "the file " + path + " cannot be read";
    if (size == 0) return "the file is empty";
    return uploadRefusal(size, baseName(path));
}

void updater_file_sent(UpdaterRequest& r, const std::string& uploadPath)
{
    LOG(LOG_BRELT, "got file: %s", uploadPath.c_str());
    const std::string* type = r.param("type");
    const std::string* buttonId = r.param("buttonId");
    const std::string* updaterName = r.param("updaterName");
    if (!type) return setError(r.reply, "unknown file type");
    if (!buttonId) return setError(r.reply, "no button id");
    if (!updaterName) return setError(r.reply, "unknown file name");
    const request_param* upload = r.request.params ? find_param(*r.request.params, "fileSent") : nullptr;
    // The daemon stores nothing of an empty upload.
    const bool empty = upload && upload->upload_path && upload->size == 0;
    if (!describeUpload(r, *type, uploadPath, empty)) {
        // A refused file is of no use to any job: it leaves the temporary directory at once.
        if (upload && upload->upload_path) {
            std::error_code ignored;
            std::filesystem::remove(*upload->upload_path, ignored);
        }
        return;
    }
    json_object_set_new(r.reply, "status", json_string("success"));
    const std::string* updaterPath = r.param("updaterPath");
    ButtonStore& store = buttons();
    std::lock_guard lock(store.mutex);
    store.names[*buttonId] = *updaterName;
    store.paths[*buttonId] = updaterPath ? *updaterPath : "";
    json_t*& description = store.descriptions[*buttonId];
    json_decref(description);
    description = json_deep_copy(r.reply);
}

void updater_button_data(UpdaterRequest& r)
{
    const std::string* buttonId = r.param("buttonId");
    if (!buttonId) return setError(r.reply, "unknown button id");
    ButtonStore& store = buttons();
    std::lock_guard lock(store.mutex);
    json_t* description = store.descriptions[*buttonId];
    // The stored description keeps the name and path the page gave, as the reply does.
    if (description) {
        json_object_set_new(description, "updaterName", unitText(store.names[*buttonId]));
        json_object_set_new(description, "updaterPath", unitText(store.paths[*buttonId]));
        json_t* copy = json_deep_copy(description);
        json_object_update(r.reply, copy);
        json_decref(copy);
    } else {
        json_object_set_new(r.reply, "updaterName", unitText(store.names[*buttonId]));
        json_object_set_new(r.reply, "updaterPath", unitText(store.paths[*buttonId]));
    }
}

void updater_file_uploaded(UpdaterRequest& r, const std::string& uploadPath)
{
    const std::string* path = r.param("path");
    const std::string* units = r.param("macAddress");
    LOG(LOG_ERROR, "%s\n", path ? path->c_str() : "");
    LOG(LOG_ERROR, "%s\n", units ? units->c_str() : "");
    LOG(LOG_ERROR, "%s\n", uploadPath.c_str());
    if (!path) return setError(r.reply, "no path specified");
    if (!checkLineValues(r, {"path"})) return;
    if (!fitsCommandLine(uploadPath)) return setError(r.reply, "invalid file name");
    BlockingRun run;
    run.line = "modadd " + quoted(uploadPath) + " " + quoted(*path);
    run.succeeded = [](Brelt*, json_t* reply) { json_object_set_new(reply, "status", json_string("commandAccepted")); };
    blocking_run(r, run);
}

void updater_ls_dir(UpdaterRequest& r)
{
    const std::string* path = r.param("path");
    if (!path) return setError(r.reply, "no path specified");
    if (!checkLineValues(r, {"path"})) return;
    const std::string dir = *path;
    BlockingRun run;
    run.line = "ls " + quoted(dir);
    run.succeeded = [dir](Brelt* unit, json_t* reply) {
        json_object_set_new(reply, "path", unitText(dir));
        json_object_set_new(reply, "status", json_string("commandAccepted"));
        json_t* contents = json_array();
        // Units end their entries with '|' or with line ends.
        gchar** pieces = g_strsplit_set(unit->getSetting("dir content").c_str(), "|\r\n", -1);
        for (gchar** piece = pieces; *piece; ++piece) {
            const std::string text = *piece;
            const size_t slash = text.rfind('/');
            if (slash == std::string::npos) continue;
            json_t* entry = json_object();
            json_object_set_new(entry, "name", unitText(text.substr(0, slash)));
            json_object_set_new(entry, "directory", json_boolean(slash + 1 < text.size() && text[slash + 1] == 'd'));
            json_array_append_new(contents, entry);
        }
        g_strfreev(pieces);
        json_object_set_new(reply, "contents", contents);
    };
    blocking_run(r, run);
}

void updater_rm_file(UpdaterRequest& r)
{
    const std::string* path = r.param("path");
    const std::string* fileName = r.param("fileName");
    if (!path) return setError(r.reply, "no path specified");
    if (!fileName) return setError(r.reply, "no filename specified");
    if (!checkLineValues(r, {"path", "fileName"})) return;
    if (!isPlainFileName(*fileName)) return setError(r.reply, "invalid fileName");
    BlockingRun run;
    run.line = "rm " + quoted(*fileName) + " " + quoted(*path);
    run.succeeded = [](Brelt*, json_t* reply) { json_object_set_new(reply, "status", json_string("commandAccepted")); };
    blocking_run(r, run);
}

void updater_download(UpdaterRequest& r)
{
    const std::string* filePath = r.param("filePath");
    if (!filePath) return setError(r.reply, "no path specified");
    if (!checkLineValues(r, {"filePath"})) return;
    BlockingRun run;
    run.line = "get " + quoted(*filePath);
    run.downloadDir = temporary_directory();
    run.succeeded = [](Brelt*, json_t* reply) { json_object_set_new(reply, "status", json_string("commandAccepted")); };
    blocking_run(r, run);
}

void updater_prepare_log(UpdaterRequest& r)
{
    const std::string* entries = r.param("logEntries");
    if (!entries) return setError(r.reply, "no log specified");
    const std::string path = temporary_directory() + "log.log";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out << *entries;
    out.close();  // a full disk often shows only when the last bytes leave the buffer
    if (out) return;
    LOG(LOG_ERROR, "updater: the log could not be written to %s\n", path.c_str());
    // A cut log must not be served as the page's log.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    setError(r.reply, "the log could not be written");
}

void updater_download_log(UpdaterRequest& r)
{
    std::optional<std::string> log = readFile(temporary_directory() + "log.log");
    if (!log) return setError(r.reply, "no log present");
    sendAttachment(r, std::move(*log), "text/logger-content; charset=utf-8", "updater.log");
}

void updater_download_configuration(UpdaterRequest& r)
{
    const auto file = fetchedFile(r);
    if (!file) return setError(r.reply, "no unit");
    std::optional<std::string> bytes = readFile(file->first);
    if (!bytes) {
        // No file to give: the server frame answers with its error page.
        r.attachment = true;
        return;
    }
    std::string name = file->second;
    TreeFile tree;
    if (tree_load(file->first, tree)) {
        std::string filename;
        if (tree_value(tree, tree_find(tree, -1, {"system", "filename"}), filename)) name = filename;
        if (!g_str_has_suffix(name.c_str(), ".conf")) name += ".conf";
    }
    sendAttachment(r, std::move(*bytes), "text/updater-content; charset=utf-8", name);
}

void updater_pass_module_file(UpdaterRequest& r)
{
    const auto file = fetchedFile(r);
    if (!file) return setError(r.reply, "no unit");
    LOG(LOG_ERROR, "full path %s\n", file->first.c_str());
    std::optional<std::string> bytes = readFile(file->first);
    if (!bytes) return;
    sendAttachment(r, std::move(*bytes), "text/updater-content; charset=utf-8", file->second);
}
