#include "handlers/tuna/announcements.h"

#include "common/logger.h"
#include "handlers/tuna/tuna_handler.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
void scanFile(TunaHandler& store, const std::string& path, const std::string& entry, const struct stat& status,
              const std::string& languageId)
{
    unsigned char header[kWavHeaderBytes];
    int64_t got = readWholeFile(path, header, sizeof header);
    if (languageId == kCommonLanguage) LOG(LOG_INFO, "Readfile %d\n", static_cast<int>(got));

    int format = 0;
    int rate = 0;
    int32_t declared = got == static_cast<int64_t>(sizeof header)
                           ? checkWavFile(header, sizeof header, static_cast<uint64_t>(status.st_size), format, rate)
                           : 0;
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

// Only regular files are read: a link never leads the scan, or its deletions, out of the repository,
// and a pipe or device never blocks it.
bool statEntry(const std::string& path, struct stat& status)
{
    return lstat(path.c_str(), &status) == 0;
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

int32_t checkWavFile(const unsigned char* header, size_t count, uint64_t fileSize, int& format, int& rate)
{
    int32_t declared = checkWavHeader(header, count, format, rate);
    if (declared <= 0) return declared;
    if (fileSize <= kWavHeaderBytes) return 0;
    if (static_cast<uint64_t>(declared) != fileSize) {
        LOG(LOG_INFO, "RIFF size %d != file size %llu!\n", declared, static_cast<unsigned long long>(fileSize));
        return kWavWrongSize;
    }
    return declared;
}

int64_t wavDuration(int64_t size, int rate, int format)
{
    int64_t perMillisecond = static_cast<int64_t>(rate / 1000) * (format == kWavPcm ? 2 : 1);
    if (perMillisecond == 0) return 0;
    return (size - static_cast<int64_t>(kWavHeaderBytes)) / perMillisecond;
}

const char* wavTypeName(int format) { return format == kWavPcm ? "PCM" : "u-Law"; }

void TunaHandler::scanAnnouncements()
{
    audioFileCounts.clear();
    DIR* root = opendir(kAnnouncementDirectory);
    if (!root) return;
    while (struct dirent* entry = readdir(root)) {
        if (entry->d_name[0] == '.') continue;
        std::string path = std::string(kAnnouncementDirectory) + "/" + entry->d_name;
        struct stat status;
        if (!statEntry(path, status)) continue;

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
                if (!statEntry(filePath, fileStatus) || !S_ISREG(fileStatus.st_mode)) continue;
                scanFile(*this, filePath, file->d_name, fileStatus, language);
            }
            closedir(directory);
        } else if (S_ISREG(status.st_mode)) {
            scanFile(*this, path, entry->d_name, status, kCommonLanguage);
        }
    }
    closedir(root);
}
