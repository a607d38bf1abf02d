#include "handlers/cup/brelt/operations/pack_announcements.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const char* ANNOUNCEMENT_DIR = "announcements";

struct ArchiveCloser {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

// The entries of a directory but "." and "..", in the order the system lists them.
std::vector<std::string> entriesOf(DIR* dir)
{
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    return names;
}

// Adds one file; false when the archive writer failed (a file that cannot be read is skipped).
bool addFile(archive* a, const std::string& path, const struct stat& status)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return true;
    archive_entry* entry = archive_entry_new();
    archive_entry_copy_stat(entry, &status);
    archive_entry_set_pathname(entry, path.c_str());
    bool ok = archive_write_header(a, entry) == ARCHIVE_OK;
    archive_entry_free(entry);
    char chunk[8192];
    size_t count;
    while (ok && (count = fread(chunk, 1, sizeof chunk, file)) > 0)
        ok = archive_write_data(a, chunk, count) == static_cast<la_ssize_t>(count);
    fclose(file);
    return ok;
}

} // namespace

PackAnnouncements::PackAnnouncements(Brelt* unit) : Operation(unit)
{
    name = "pack announcements";
    progressText = "packing announcements";
    weight = 200;
    progressTotal = 0;
}

int PackAnnouncements::setPackAll(bool value)
{
    packAll = value;
    return 0;
}

int PackAnnouncements::run()
{
    LOG(LOG_BRELT, "brelt %s : local announcements pack\n", unitId());
    progressTotal = 1;
    setProgress(0, progressText);
    std::vector<uint8_t>& package = unit->getAnnouncementPackage();
    package.clear();
    package.shrink_to_fit();

    std::unique_ptr<DIR, DirCloser> top(opendir(ANNOUNCEMENT_DIR));
    if (!top) {
        LOG(LOG_BRELT, "brelt %s : Error, no announcements dir\n", unitId());
        done.emit(false);
        return -10;
    }
    std::set<std::string> languages;
    const std::string available = unit->getSetting("available languages");
    for (size_t start = 0; start <= available.size();) {
        size_t bar = available.find('|', start);
        if (bar == std::string::npos) bar = available.size();
        languages.insert(available.substr(start, bar - start));
        start = bar + 1;
    }

    std::vector<uint8_t> buffer(ANNOUNCEMENT_PACKAGE_SIZE);
    size_t used = 0;
    std::unique_ptr<archive, ArchiveCloser> a(archive_write_new());
    bool ok = archive_write_set_format_ustar(a.get()) == ARCHIVE_OK &&
              archive_write_add_filter_gzip(a.get()) == ARCHIVE_OK &&
              archive_write_open_memory(a.get(), buffer.data(), buffer.size(), &used) == ARCHIVE_OK;

    const std::vector<std::string> entries = entriesOf(top.get());
    progressTotal = 1 + static_cast<int32_t>(entries.size());
    int32_t step = 0;
    for (const std::string& entryName : entries) {
        if (!ok) break;
        const std::string path = std::string(ANNOUNCEMENT_DIR) + "/" + entryName;
        setProgress(++step, "");
        struct stat status;
        if (stat(path.c_str(), &status) != 0) continue;
        if (!S_ISDIR(status.st_mode)) {
            ok = addFile(a.get(), path, status);
            continue;
        }
        if (!packAll && !languages.count(entryName)) continue;
        std::unique_ptr<DIR, DirCloser> language(opendir(path.c_str()));
        if (!language) continue;
        for (const std::string& fileName : entriesOf(language.get())) {
            const std::string filePath = path + "/" + fileName;
            LOG(LOG_BRELT, "brelt %s : %s\n", unitId(), filePath.c_str());
            struct stat fileStatus;
            if (stat(filePath.c_str(), &fileStatus) != 0 || S_ISDIR(fileStatus.st_mode)) continue;
            if (!(ok = addFile(a.get(), filePath, fileStatus))) break;
        }
    }
    // Closing completes the compressed stream; a package that outgrew its buffer fails here.
    ok = ok && archive_write_close(a.get()) == ARCHIVE_OK;
    if (!ok) {
        LOG(LOG_BRELT, "brelt %s : announcements cannot be packed: %s\n", unitId(),
            archive_error_string(a.get()) ? archive_error_string(a.get()) : "archive error");
        done.emit(false);
        return -11;
    }
    buffer.resize(used);
    package = std::move(buffer);
    setProgress(progressTotal, "");
    done.emit(true);
    return 0;
}
