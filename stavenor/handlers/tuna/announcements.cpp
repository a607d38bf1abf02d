#include "handlers/tuna/announcements.h"

#include "common/logger.h"
#include "common/paths.h"
#include "handlers/tuna/json_text.h"
#include "handlers/tuna/tuna_handler.h"
#include "include/configuration.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace {

uint32_t le32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

int le16(const unsigned char* p) { return p[0] | p[1] << 8; }

// A new repository row for an accepted file, and the "audioFiles" row when its name is new.
// False when the database refused a statement.
bool registerAnnouncement(TunaHandler& store, const std::string& name, const std::string& languageId, int64_t size,
                          int rate, int format)
{
    RowMap row;
    row["id"] = store.insertId("false", "unknown", "name");
    row["name"] = name;
    bool ok = !row["id"].empty();
    std::string error;

    auto count = store.audioFileCounts.find(name);
    if (count == store.audioFileCounts.end()) {
        store.audioFileCounts[name] = 1;
        if (executeSql(store.database, buildInsert("audioFiles", row), &error) != SQLITE_OK) {
            LOG(LOG_ERROR, "audioFiles %s: %s", name.c_str(), error.c_str());
            ok = false;
        }
    } else {
        ++count->second;
    }

    row["size"] = std::to_string(size);
    row["rate"] = std::to_string(rate);
    row["languageId"] = languageId;
    row["type"] = wavTypeName(format);
    row["duration"] = std::to_string(wavDuration(size, rate, format));
    if (executeSql(store.database, buildInsert("globalAudioSetupAudioRepository", row), &error) != SQLITE_OK) {
        LOG(LOG_ERROR, "globalAudioSetupAudioRepository %s: %s", name.c_str(), error.c_str());
        ok = false;
    }
    return ok;
}

// One file found by the scan: registered when it is an acceptable WAV file named "<name>.wav...",
// kept unregistered when acceptable but named otherwise, deleted when not acceptable.
void scanFile(TunaHandler& store, const std::string& path, const std::string& entry, const std::string& languageId)
{
    unsigned char header[kWavHeaderBytes];
    int64_t got = readWholeFile(path, header, sizeof header);
    if (languageId == kCommonLanguage) LOG(LOG_INFO, "Readfile %d\n", static_cast<int>(got));

    int format = 0;
    int rate = 0;
    int32_t declared =
        got == static_cast<int64_t>(sizeof header) ? checkWavHeader(header, sizeof header, format, rate) : 0;
    if (declared <= 0) {
        LOG(LOG_INFO, "unlink %s\n", path.c_str());
        if (unlink(path.c_str()) != 0) LOG(LOG_ERROR, "unlink %s: %s", path.c_str(), strerror(errno));
        return;
    }
    size_t suffix = entry.find(".wav");
    if (suffix == std::string::npos) return;
    std::string name = entry.substr(0, std::min<size_t>(suffix, 127));
    registerAnnouncement(store, name, languageId, declared, rate, format);
}

} // namespace

int64_t readWholeFile(const std::string& path, unsigned char* buffer, size_t length)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return 0;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return 0;
    }
    size_t done = 0;
    while (done < length) {
        ssize_t n = read(fd, buffer + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    return static_cast<int64_t>(done);
}

int32_t checkWavHeader(const unsigned char* header, size_t count, int& format, int& rate)
{
    if (count < kWavHeaderBytes) return -1;
    if (memcmp(header, "RIFF", 4) != 0) return -2;
    if (memcmp(header + 8, "WAVE", 4) != 0) return -3;
    if (memcmp(header + 12, "fmt ", 4) != 0) return -4;
    format = le16(header + 20);
    if (format != kWavPcm && format != kWavUlaw) {
        LOG(LOG_INFO, "Wrong data format %d (pcm and ulaw only)!\n", format);
        return -5;
    }
    int channels = le16(header + 22);
    if (channels != 1) {
        LOG(LOG_INFO, "No channels %d != 1!\n", channels);
        return -6;
    }
    uint32_t sampleRate = le32(header + 24);
    if (sampleRate != 8000 && sampleRate != 16000) {
        LOG(LOG_INFO, "Wrong rate (%d)!\n", static_cast<int>(sampleRate));
        return -7;
    }
    rate = static_cast<int>(sampleRate);
    int bits = le16(header + 34);
    if ((format == kWavPcm && bits != 16) || (format == kWavUlaw && bits != 8)) {
        LOG(LOG_INFO, "BitsPerSample %d must be 16 for pcm or 8 for ulaw!\n", bits);
        return -8;
    }
    return static_cast<int32_t>(le32(header + 4) + 8u);
}

int64_t wavDuration(int64_t size, int rate, int format)
{
    int64_t perMillisecond = static_cast<int64_t>(rate / 1000) * (format == kWavPcm ? 2 : 1);
    if (perMillisecond == 0) return 0;
    return (size - static_cast<int64_t>(kWavHeaderBytes)) / perMillisecond;
}

const char* wavTypeName(int format) { return format == kWavPcm ? "PCM" : "u-Law"; }

// Entries are looked at without following links, and only directories and regular files count:
// a link never leads the scan, or its deletions, out of the repository, and a pipe never blocks it.
void TunaHandler::scanAnnouncements()
{
    audioFileCounts.clear();
    DIR* root = opendir(kAnnouncementDirectory);
    if (!root) return;
    while (struct dirent* entry = readdir(root)) {
        if (entry->d_name[0] == '.') continue;
        std::string path = std::string(kAnnouncementDirectory) + "/" + entry->d_name;
        struct stat status;
        if (lstat(path.c_str(), &status) != 0) continue;

        if (S_ISDIR(status.st_mode)) {
            std::string language = entry->d_name;
            RowMap row;
            row["id"] = insertId("false", "unknown", "name");
            row["name"] = language;
            std::string error;
            if (executeSql(database, buildInsert("globalOverviewLanguages", row), &error) != SQLITE_OK)
                LOG(LOG_ERROR, "globalOverviewLanguages %s: %s", language.c_str(), error.c_str());

            DIR* directory = opendir(path.c_str());
            if (!directory) continue;
            while (struct dirent* file = readdir(directory)) {
                if (file->d_name[0] == '.') continue;
                std::string filePath = path + "/" + file->d_name;
                struct stat fileStatus;
                if (lstat(filePath.c_str(), &fileStatus) != 0 || !S_ISREG(fileStatus.st_mode)) continue;
                scanFile(*this, filePath, file->d_name, language);
            }
            closedir(directory);
        } else if (S_ISREG(status.st_mode)) {
            scanFile(*this, path, entry->d_name, kCommonLanguage);
        }
    }
    closedir(root);
}

namespace {

// A parameter's text; the empty text when it is missing or has no value.
std::string paramOrEmpty(const param_list& params, const char* name)
{
    const std::string* value = get_param(params, name);
    return value ? *value : std::string();
}

// "name=? AND languageId=?" for one file of one language.
Sql fileCondition(const std::string& name, const std::string& languageId)
{
    Sql condition("name=");
    condition.bind(name);
    condition += " AND languageId=";
    condition.bind(languageId);
    return condition;
}

// A language code or an announcement name becomes one directory entry of the repository: it may
// not leave its directory, and may not be hidden, as the scan never sees hidden entries.
bool isRepositoryName(const std::string& name) { return is_safe_file_name(name) && name[0] != '.'; }

// An announcement name and language code that stay inside the repository; otherwise the error reply.
bool checkNameAndLanguage(const std::string& name, const std::string& code, std::string& reply)
{
    if (!isRepositoryName(name) || !is_safe_file_name(name + ".wav")) {
        replyError(reply, "invalid name");
        return false;
    }
    if (!code.empty() && !isRepositoryName(code)) {
        replyError(reply, "invalid language");
        return false;
    }
    return true;
}

// The path of the uploaded file, when the request carries one that lies in the temporary directory.
std::optional<std::string> uploadedFile(const param_list& params)
{
    const request_param* file = find_param(params, "file");
    if (!file || !file->upload_path || file->upload_path->find('/') == std::string::npos) return std::nullopt;
    const std::string& path = *file->upload_path;
    std::string temporary = temporary_directory();
    if (path.compare(0, temporary.size(), temporary) != 0 || !is_safe_file_name(path.substr(temporary.size())))
        return std::nullopt;
    return path;
}

std::string uploadError(int32_t result)
{
    switch (result) {
    case -2:
    case -3:
    case -4: return "not WAV file";
    case -5: return "not pcm nor ulaw";
    case -6: return "not mono";
    case -7: return "wrong sampling rate";
    case -8: return "wrong bits per sample";
    default: return "unknown (" + std::to_string(result) + ")";
    }
}

// Writes the bytes to `target` through a temporary file beside it, so that the target is either
// the old file or the whole new one.
bool writeAnnouncement(const std::string& directory, const std::string& target, const std::vector<unsigned char>& bytes)
{
    std::string temp = directory + "/.upload-XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        LOG(LOG_ERROR, "%s: %s", temp.c_str(), strerror(errno));
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bool ok = done == bytes.size() && fchmod(fd, 0644) == 0;
    if (close(fd) != 0) ok = false;
    LOG(LOG_INFO, "finish %d\n", static_cast<int>(done));
    if (ok && rename(temp.c_str(), target.c_str()) == 0) return true;
    LOG(LOG_ERROR, "%s: %s", target.c_str(), strerror(errno));
    unlink(temp.c_str());
    return false;
}

void uploadAnnouncement(TunaHandler& store, const param_list& params, std::string& reply)
{
    std::string code = paramOrEmpty(params, "code");
    if (code == kCommonLanguage) code.clear();

    std::optional<std::string> upload = uploadedFile(params);
    if (!upload) {
        replyError(reply, "no file");
        return;
    }

    // One byte more than the limit tells a file that is too large from one that just fits.
    std::vector<unsigned char> bytes(kMaxAnnouncementBytes + 1);
    int64_t got = readWholeFile(*upload, bytes.data(), bytes.size());
    if (got > static_cast<int64_t>(kMaxAnnouncementBytes)) {
        replyError(reply, "file too large");
        return;
    }
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    int format = 0;
    int rate = 0;
    int32_t result = bytes.size() < kWavHeaderBytes ? 0 : checkWavHeader(bytes.data(), bytes.size(), format, rate);
    if (result <= 0) {
        replyError(reply, uploadError(result));
        return;
    }

    std::string name;
    if (const std::string* given = get_param(params, "name")) {
        name = *given;
    } else {
        std::string fileName = upload->substr(upload->rfind('/') + 1);
        name = fileName.substr(0, std::min<size_t>(fileName.find('.'), 63));
    }
    if (!checkNameAndLanguage(name, code, reply)) return;

    std::string directory = kAnnouncementDirectory;
    if (!code.empty()) {
        directory += "/" + code;
        mkdir(directory.c_str(), 0777); // usually there already
    }
    std::string target = directory + "/" + name + ".wav";
    int size = static_cast<int>(bytes.size());
    LOG(LOG_INFO, "Writing [%s][%d] as [%s]\n", name.c_str(), size, target.c_str());
    if (!writeAnnouncement(directory, target, bytes)) {
        replyError(reply, "file is already in repository");
        return;
    }
    LOG(LOG_INFO, "%s: [%s] %d %d %d\n", "tunaGlobalAudioSetupAudioRepository", name.c_str(), result, size, rate);

    // The file is in the repository; now its row.
    std::string languageId = code.empty() ? kCommonLanguage : code;
    bool registered;
    {
        Sql sql = buildSelect("globalAudioSetupAudioRepository", fileCondition(name, languageId));
        if (log_enabled(LOG_INFO)) LOG(LOG_INFO, "SELECT [%s]\n", sql.render().c_str());
        Statement select(store.database, sql);
        registered = select.next();
    }
    LOG(LOG_INFO, "REPLACE %d\n", registered ? 1 : 0);

    bool ok;
    if (!registered) {
        ok = registerAnnouncement(store, name, languageId, size, rate, format);
    } else {
        Sql update("UPDATE globalAudioSetupAudioRepository SET size=");
        update.bind(std::to_string(size));
        update += ", rate=";
        update.bind(std::to_string(rate));
        update += ", type=";
        update.bind(wavTypeName(format));
        update += ", duration=";
        update.bind(std::to_string(wavDuration(size, rate, format)));
        update += " WHERE ";
        update += fileCondition(name, languageId);
        LOG(LOG_INFO, "AUDIO w:%d rate:%d type:%d\n", size, rate, format);
        std::string error;
        int rc = executeSql(store.database, update, &error);
        if (log_enabled(LOG_INFO)) LOG(LOG_INFO, "UPDATE [%s] = %d\n", update.render().c_str(), rc);
        ok = rc == SQLITE_OK;
    }
    if (!ok) {
        // The file stays: the next scan registers it.
        replyError(reply, sqlite3_errmsg(store.database));
        return;
    }
    replySuccess(reply);
}

void deleteAnnouncement(TunaHandler& store, const param_list& params, std::string& reply)
{
    std::string code = paramOrEmpty(params, "code");
    if (code == kCommonLanguage) code.clear();
    std::string name = paramOrEmpty(params, "name");
    if (!checkNameAndLanguage(name, code, reply)) return;

    std::string path = std::string(kAnnouncementDirectory) + "/" + (code.empty() ? "" : code + "/") + name + ".wav";
    LOG(LOG_INFO, "Delete file [%s]\n", path.c_str());
    if (unlink(path.c_str()) != 0) {
        replyError(reply, "could not remove file (" + std::string(strerror(errno)) + ")(" + path + ")");
        return;
    }

    std::string languageId = code.empty() ? kCommonLanguage : code;
    std::string error;
    if (executeSql(store.database, deleteWhere("globalAudioSetupAudioRepository", fileCondition(name, languageId)),
                   &error) != SQLITE_OK) {
        replyError(reply, error);
        return;
    }
    // Only a file that had its row counts: one the scan left unregistered never raised the count.
    if (sqlite3_changes(store.database) > 0) {
        auto count = store.audioFileCounts.find(name);
        if (count != store.audioFileCounts.end() && --count->second <= 0) store.audioFileCounts.erase(count);
    }
    replySuccess(reply);
}

void listAnnouncements(TunaHandler& store, const param_list& params, std::string& reply)
{
    std::string language = paramOrEmpty(params, "languageId");
    if (language.empty()) language = kCommonLanguage;
    Sql select("SELECT audioFiles.name, globalAudioSetupAudioRepository.id, globalAudioSetupAudioRepository.duration"
               " FROM audioFiles LEFT JOIN globalAudioSetupAudioRepository"
               " ON globalAudioSetupAudioRepository.name = audioFiles.name"
               " AND globalAudioSetupAudioRepository.languageId = ");
    select.bind(language);
    Statement statement(store.database, select);
    reply += "[";
    for (bool first = true; statement.next(); first = false) {
        if (!first) reply += ", ";
        reply += "[";
        appendJsonString(reply, statement.text(0));
        reply += ", ";
        appendJsonString(reply, statement.text(1));
        reply += ", ";
        appendJsonString(reply, statement.text(2));
        reply += "]";
    }
    reply += "]\n";
}

} // namespace

void TunaHandler::tunaGlobalAudioSetupAudioRepository(http_request& request, std::string& reply)
{
    const param_list& params = requestParams(request);
    std::string command = paramOrEmpty(params, "command");
    if (command == "new_file")
        uploadAnnouncement(*this, params, reply);
    else if (command == "delete_file")
        deleteAnnouncement(*this, params, reply);
    else
        listAnnouncements(*this, params, reply);
}
