// The life of a configuration file in the store: "default.conf" in and "saved.conf" out at start,
// and the "configurationFile.json" command that loads, saves, saves under a name and starts anew.
//
// "save_file" without a file of the user's to write offers the configuration as a download.
// A configuration that the user saves goes where the control centre's save dialog pointed, and Save
// writes back the file that was loaded; a bare name (no "/") lands in the working directory. An
// upload is read from the temporary directory by its base name.
#include "common/attachment.h"
#include "common/logger.h"
#include "common/paths.h"
#include "common/store_revision.h"
#include "handlers/icon_store.h"
#include "handlers/tuna/export/export.h"
#include "handlers/tuna/import/import.h"
#include "handlers/tuna/json_text.h"
#include "handlers/tuna/tuna_handler.h"
#include "include/configuration.h"

#include <cstdio>

namespace {

const char* const kDefaultFile = "default.conf";
const char* const kSavedFile = "saved.conf";

bool endsWithConf(const std::string& name) { return name.size() >= 5 && name.compare(name.size() - 5, 5, ".conf") == 0; }

std::string withConf(std::string name)
{
    if (!endsWithConf(name)) name += ".conf";
    return name;
}

// A client's file path as a file name of ours: its base name, when that is a plain file name that a
// configuration file can also carry as its name.
std::optional<std::string> configurationFileName(const std::string& clientPath)
{
    auto base = safe_base_name(clientPath);
    if (!base || !ConfigNode::isWritableText(*base)) return std::nullopt;
    return base;
}

// The file that a path from the user's side names: a path with a "/" as it stands, a bare name as its
// base name in the working directory. Its last element must be a name the configuration can carry.
std::optional<std::string> userFile(const std::string& clientPath)
{
    size_t slash = clientPath.rfind('/');
    if (slash == std::string::npos) return configurationFileName(clientPath);
    if (!is_user_file_path(clientPath) || !ConfigNode::isWritableText(clientPath.substr(slash + 1)))
        return std::nullopt;
    return clientPath;
}

// The configuration's name for a file: its last path element.
std::string lastElement(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Why a file cannot be loaded, in words, with the line to blame when there is one.
std::string readerError(const std::string& file, int code, int line)
{
    std::string what;
    switch (code) {
    case ConfigNode::kCannotRead: what = "the file cannot be opened or read"; break;
    case ConfigNode::kKeyUnclosed: what = "a key lacks its closing \"|\""; break;
    case ConfigNode::kValueUnclosed: what = "a value lacks its closing \"|\""; break;
    case ConfigNode::kDepthJump: what = "a line is indented more than one TAB deeper than the line before it"; break;
    case tuna_import::kUnwritableText: what = "a key or value holds a carriage return or NUL byte"; break;
    case tuna_import::kNotConfiguration:
        what = "it is not a configuration: it has none of the sections \"system\", \"nodes\", \"network\" or \"users\"";
        break;
    default: what = "the file cannot be read (reader code " + std::to_string(code) + ")"; break;
    }
    if (line > 0) what += " (line " + std::to_string(line) + ")";
    return "cannot load " + file + ": " + what + ". The configuration in use is kept.";
}

} // namespace

void TunaHandler::resetConfiguration()
{
    openDatabase();
    scanAnnouncements();
    endpointNames.clear();
    pppInterfaceNames.clear();
    unitInterfaces.clear();
}

int TunaHandler::loadConfiguration(const std::string& path, std::string* name, int* errorLine)
{
    ConfigNode root;
    int result = tuna_import::loadConfigurationTree(path, root, errorLine);
    if (result != ConfigNode::kRead) return result;
    resetConfiguration();
    std::string found = tuna_import::importTree(*this, root);
    if (name) *name = found;
    return result;
}

std::string TunaHandler::configurationName()
{
    std::string name;
    Statement select(database, buildSelect("Configuration"));
    RowMap row;
    while (select.next()) {
        fetchRow("Configuration", select, row);
        name = row["name"];
    }
    return name;
}

void TunaHandler::setConfigurationName(const std::string& name)
{
    Sql update("UPDATE Configuration SET name = ");
    update.bind(name);
    std::string error;
    if (executeSql(database, update, &error) != SQLITE_OK) LOG(LOG_ERROR, "configuration name: %s", error.c_str());
}

void TunaHandler::startConfiguration()
{
    // The database was opened a moment ago: it only needs the repository, and the template when
    // it reads.
    ConfigNode root;
    int line = 0;
    int result = tuna_import::loadConfigurationTree(kDefaultFile, root, &line);
    scanAnnouncements();
    if (result == ConfigNode::kRead)
        tuna_import::importTree(*this, root);
    else if (result == ConfigNode::kCannotRead)
        LOG(LOG_STARTUP, "no %s: an empty configuration", kDefaultFile);
    else
        LOG(LOG_ERROR, "%s", readerError(kDefaultFile, result, line).c_str());
    writeConfiguration(kSavedFile);
    currentFileName.clear();
}

void TunaHandler::tunaConfigurationFile(http_request& request, std::string& reply)
{
    request.content_type.reset();
    const param_list& params = requestParams(request);
    LOG(LOG_INFO, "%s: %d\n", "tunaConfigurationFile", param_count(params));
    const std::string* command = get_param(params, "command");
    const std::string directory = temporary_directory();
    LOG(LOG_INFO, "PATH %s [%s]\n", command ? command->c_str() : "", directory.c_str());
    if (!command) return;

    if (*command == "load_file") {
        const std::string* fileName = get_param(params, "fileName");
        if (!fileName) return;
        if (!is_safe_file_name(*fileName) || !ConfigNode::isWritableText(*fileName)) {
            replyError(reply, "file name refused: " + *fileName);
            return;
        }
        const std::string* filePath = get_param(params, "filePath");
        auto current = filePath ? userFile(*filePath) : std::string();
        if (!current) {
            replyError(reply, "file path refused: " + *filePath);
            return;
        }
        // The whole file is read and checked before the current configuration is given up.
        std::string name;
        int line = 0;
        int result = loadConfiguration(directory + *fileName, &name, &line);
        if (result != ConfigNode::kRead) {
            replyError(reply, readerError(*fileName, result, line));
            return;
        }
        markReplaced("Opened " + *fileName, request.window);
        setConfigurationName(name.empty() ? *fileName : name);
        currentFileName = *current;
        if (writeConfiguration(kSavedFile) != ConfigNode::kSaved) {
            replyError(reply, std::string("configuration loaded, but ") + kSavedFile + " could not be written");
            return;
        }
        replySuccess(reply);
        return;
    }

    if (*command == "save_file") {
        if (!currentFileName.empty() && !find_param(params, "saveAs")) {
            currentFileName = withConf(currentFileName);
            if (writeConfiguration(currentFileName) != ConfigNode::kSaved) {
                replyError(reply, "cannot write " + currentFileName);
            } else {
                ++filesWritten;
                markSaved("Saved to " + lastElement(currentFileName), request.window);
            }
            return; // written: no reply text
        }
        // The configuration text with its download name: a web engine offers only a successful
        // reply as a download.
        tuna_export::ExportContext ex(*this);
        tuna_export::buildConfigurationTree(ex);
        int result = ConfigNode::kSaved;
        std::string text = ex.root.saveToText(&result);
        if (result != ConfigNode::kSaved) {
            replyError(reply, "the configuration cannot be written as text");
            return;
        }
        request.content_disposition = attachment_disposition(withConf(configurationName()));
        request.content_type = "text/plain; charset=utf-8";
        reply = std::move(text);
        return;
    }

    if (*command == "save_as") {
        const std::string* file = get_param(params, "file");
        if (!file) {
            replyError(reply, "no file name");
            return;
        }
        auto target = userFile(*file);
        if (!target) {
            replyError(reply, "file name refused: " + *file);
            return;
        }
        std::string path = withConf(*target);
        std::string oldName = configurationName();
        setConfigurationName(lastElement(path));
        if (writeConfiguration(path) != ConfigNode::kSaved) {
            setConfigurationName(oldName);
            changeRecorded = true; // the name is as it was: nothing changed
            replyError(reply, "cannot write " + path);
            return;
        }
        currentFileName = path;
        ++filesWritten;
        markSaved("Saved as " + lastElement(path), request.window);
        return; // written: no reply text
    }

    // The file that Save writes and how many files of the user's were written: a page learns from it
    // whether a save that the control centre carried out (its save dialog, then "save_as") happened.
    if (*command == "file_state") {
        reply = "{\n\t\"status\" : \"success\",\n\t\"file\" : " + jsonString(currentFileName) +
                ",\n\t\"written\" : " + std::to_string(filesWritten) + "\n}\n";
        return;
    }

    if (*command == "new_file") {
        int line = 0;
        int result = loadConfiguration(kDefaultFile, nullptr, &line);
        if (result == ConfigNode::kCannotRead) {
            resetConfiguration(); // no template: an empty configuration
        } else if (result != ConfigNode::kRead) {
            replyError(reply, readerError(kDefaultFile, result, line));
            return;
        }
        import_icons(nullptr);
        markReplaced("Started a new configuration", request.window);
        return;
    }

    // A browser cannot tell whether it kept a download: the user says that the file arrived. It
    // counts as saved only when nothing changed since the download ("revision": its answer's).
    if (*command == "download_kept") {
        const std::string* revision = get_param(params, "revision");
        if (!revision || *revision != std::to_string(store_revision())) {
            replyError(reply, "the configuration changed after that download, so the file does not hold every change: "
                              "save again");
            return;
        }
        markSaved("Saved as a download", request.window);
        replySuccess(reply);
        return;
    }
}
