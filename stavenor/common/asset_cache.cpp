#include "common/asset_cache.h"

#include "common/file_read.h"
#include "common/logger.h"
#include "common/paths.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <set>

namespace {

std::mutex cache_mutex;
std::set<std::string> extracted_directories; // guarded by cache_mutex

std::string directory_of(const std::string& cacheDir)
{
    return cacheDir.empty() || cacheDir.back() == '/' ? cacheDir : cacheDir + "/";
}

// The archive as libarchive reads it: the file's bytes, but "7z" where the file holds "XJ".
struct PackedFile {
    int fd = -1;
    la_int64_t offset = 0;
    char block[64 * 1024];
};

la_ssize_t read_packed(struct archive* reader, void* client, const void** buffer)
{
    auto* file = static_cast<PackedFile*>(client);
    ssize_t got = pread(file->fd, file->block, sizeof file->block, file->offset);
    if (got < 0) {
        archive_set_error(reader, errno, "read error");
        return -1;
    }
    for (la_int64_t i = file->offset; i < 2 && i < file->offset + got; ++i) file->block[i - file->offset] = "7z"[i];
    file->offset += got;
    *buffer = file->block;
    return got;
}

la_int64_t seek_packed(struct archive*, void* client, la_int64_t offset, int whence)
{
    auto* file = static_cast<PackedFile*>(client);
    la_int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = file->offset;
    } else if (whence == SEEK_END) {
        struct stat st;
        if (fstat(file->fd, &st) != 0) return ARCHIVE_FATAL;
        base = st.st_size;
    }
    if (base + offset < 0) return ARCHIVE_FATAL;
    file->offset = base + offset;
    return file->offset;
}

la_int64_t skip_packed(struct archive*, void* client, la_int64_t request)
{
    static_cast<PackedFile*>(client)->offset += request;
    return request;
}

// The entry's name in 8-bit characters: one '_' for every character beyond ASCII.
std::string narrow_name(struct archive_entry* entry)
{
    const char* utf8 = archive_entry_pathname_utf8(entry);
    if (!utf8) utf8 = archive_entry_pathname(entry);
    std::string name;
    for (const char* p = utf8 ? utf8 : ""; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x80)
            name += static_cast<char>(c);
        else if ((c & 0xC0) != 0x80)
            name += '_';
    }
    return name;
}

bool write_all(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t done = write(fd, bytes, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        bytes += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

bool extract_entry(struct archive* reader, int cache_fd, const std::string& name)
{
    // O_NOFOLLOW and a name without separators keep every write inside the cache directory.
    int out = openat(cache_fd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (out < 0) {
        LOG(LOG_ERROR, "asset cache: cannot create [%s]", name.c_str());
        return false;
    }
    bool ok = true;
    const void* block;
    size_t size;
    la_int64_t offset;
    int status;
    while ((status = archive_read_data_block(reader, &block, &size, &offset)) == ARCHIVE_OK)
        if (!write_all(out, block, size)) {
            ok = false;
            break;
        }
    if (ok && status != ARCHIVE_EOF) {
        LOG(LOG_ERROR, "asset cache: cannot extract [%s]: %s", name.c_str(), archive_error_string(reader));
        ok = false;
    }
    return close(out) == 0 && ok;
}

} // namespace

void cacheFileName(std::string& name)
{
    for (char& c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u == '.' || u == '/')
            c = 'b';
        else if (u >= 0x3E && u <= 0x77)
            c = static_cast<char>(u + 3);
        else
            c = '_';
    }
}

// A rewritten name holds no '/', '.' or control character, so it is one directory entry as long as
// it fits; a '\\' (from 'Y') is an ordinary character on this system.
static bool isCacheName(const std::string& name) { return !name.empty() && name.size() <= kMaxFileName; }

void extractAssetCache(const std::string& dataFile, const std::string& cacheDir)
{
    const std::string directory = directory_of(cacheDir);
    std::lock_guard lock(cache_mutex);
    if (extracted_directories.count(directory)) return;

    PackedFile file;
    file.fd = open(dataFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (file.fd < 0) return;

    struct archive* reader = archive_read_new();
    archive_read_support_format_7zip(reader);
    archive_read_set_read_callback(reader, read_packed);
    archive_read_set_seek_callback(reader, seek_packed);
    archive_read_set_skip_callback(reader, skip_packed);
    archive_read_set_callback_data(reader, &file);
    bool opened = archive_read_open1(reader) == ARCHIVE_OK;

    remove_tree(directory, true);
    std::string bare = directory;
    while (bare.size() > 1 && bare.back() == '/') bare.pop_back();
    mkdir(bare.c_str(), 0755);
    // Only a real directory, never a link planted in its place.
    int cache_fd = open(bare.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);

    bool failed = !opened || cache_fd < 0;
    if (!opened) LOG(LOG_ERROR, "asset cache: cannot open [%s]: %s", dataFile.c_str(), archive_error_string(reader));
    struct archive_entry* entry;
    int status = ARCHIVE_OK;
    while (!failed && (status = archive_read_next_header(reader, &entry)) == ARCHIVE_OK) {
        if (archive_entry_filetype(entry) == AE_IFDIR) continue;
        std::string name = narrow_name(entry);
        cacheFileName(name);
        failed = !isCacheName(name) || !extract_entry(reader, cache_fd, name);
    }
    if (!failed && status != ARCHIVE_EOF) {
        LOG(LOG_ERROR, "asset cache: cannot read [%s]: %s", dataFile.c_str(), archive_error_string(reader));
        failed = true;
    }

    if (cache_fd >= 0) close(cache_fd);
    archive_read_free(reader);
    close(file.fd);
    if (!failed) extracted_directories.insert(directory);
}

int readCachedFile(const std::string& name, std::string& data, const std::string& cacheDir)
{
    std::string key = name.substr(0, 1024);
    cacheFileName(key);
    if (!isCacheName(key)) return ASSET_NOT_CACHED;
    int fd = open((directory_of(cacheDir) + key).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return ASSET_NOT_CACHED;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return ASSET_NOT_CACHED;
    }
    size_t size = std::min<uint64_t>(static_cast<uint64_t>(st.st_size), kMaxCachedAssetSize);
    bool whole = read_exactly(fd, size, data);
    close(fd);
    return whole ? ASSET_READ : ASSET_NOT_CACHED;
}

void purgeAssetCache(const std::string& cacheDir)
{
    const std::string directory = directory_of(cacheDir);
    std::lock_guard lock(cache_mutex);
    remove_tree(directory, true);
    extracted_directories.erase(directory);
}
