#include "handlers/default.h"

#include "common/file_read.h"
#include "common/logger.h"
#include "common/paths.h"
#include "include/configuration.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <utility>

namespace {

std::string docroot; // set at registration, read by every connection thread afterwards

// The document root held open, so that a request walks only its own path, with the identity it had.
struct HeldRoot {
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    ~HeldRoot()
    {
        if (fd >= 0) close(fd);
    }
};

std::mutex root_lock;
std::shared_ptr<const HeldRoot> held_root; // guarded by root_lock; a request keeps its copy while it reads

// Up to this size the file is copied and goes out in one write with the header; a separate write
// for the header costs a syscall and a TCP segment of its own, more than the copy.
constexpr uint64_t kSentFromMemory = 16 * 1024;

const char* root_path() { return docroot.empty() ? "." : docroot.c_str(); }

std::shared_ptr<const HeldRoot> open_root()
{
    auto held = std::make_shared<HeldRoot>();
    held->fd = open(root_path(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (held->fd >= 0 && fstat(held->fd, &st) == 0) {
        held->device = st.st_dev;
        held->inode = st.st_ino;
    }
    return held;
}

// The directory that the configured path names now. A build or a deployment renames a new folder
// into place: the one held open would go on serving the old tree, or nothing once it is deleted.
std::shared_ptr<const HeldRoot> current_root()
{
    struct stat st;
    const bool named = stat(root_path(), &st) == 0;
    std::lock_guard lock(root_lock);
    if (!named) {
        held_root.reset();
    } else if (!held_root || held_root->fd < 0 || held_root->device != st.st_dev || held_root->inode != st.st_ino) {
        held_root = open_root();
    }
    return held_root;
}

} // namespace

void not_found(http_request& request)
{
    request.status = 404;
    request.data = "none";
    request.content_type = "text/html; charset=utf-8";
}

const std::string& version_text()
{
    static const std::string text = std::string("2014-04a (") + __DATE__ + " " + __TIME__ + ")";
    return text;
}

std::string content_type_for(const std::string& path)
{
    static const std::pair<const char*, const char*> types[] = {
        {".html", "text/html; charset=utf-8"}, {".htm", "text/html; charset=utf-8"},
        {".tar", "application/tar"},           {".png", "image/png"},
        {".bmp", "image/bmp"},                 {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},               {".gif", "image/gif"},
        {".txt", "text/plain; charset=utf-8"}, {".js", "text/javascript; charset=utf-8"},
        {".json", "application/json"},         {".css", "text/css; charset=utf-8"},
    };
    // Only the file's own name counts: a '.' in a directory name is no extension.
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot);
    LOG(LOG_HTTP, "file system - get mime for ext %s", extension.c_str());
    for (const auto& [known, type] : types)
        if (extension == known) return type;
    return "text/plain; charset=utf-8";
}

void init_default()
{
    const char* root = nullptr;
    if (get_configuration_string("docroot", &root)) {
        docroot = root;
        LOG(LOG_INFO, "file system - docroot is %s (from config)", root);
    } else {
        docroot.clear();
        LOG(LOG_INFO, "file system - config entry for docroot not found");
    }
    cleanup_default();
}

void cleanup_default()
{
    std::lock_guard lock(root_lock);
    held_root.reset();
}

void default_handler(http_request& request)
{
    const std::string& url = request.url;
    std::string relative = url.empty() || url == "/" ? "index.html" : url.substr(url[0] == '/' ? 1 : 0);
    LOG(LOG_REQUEST, "file system - get file %s%s", docroot.c_str(), relative.c_str());

    // Only regular files inside the document root are served, whole. A small file goes out from
    // memory, in one write with the header; a larger one straight from the file.
    const std::shared_ptr<const HeldRoot> root = current_root();
    int fd = open_inside(docroot, relative, root ? root->fd : -1);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        auto size = static_cast<uint64_t>(st.st_size);
        request.status = 200;
        request.content_type = content_type_for(relative);
        if (size > kSentFromMemory) {
            request.body_fd = fd;
            request.body_fd_size = size;
            return;
        }
        bool whole = read_exactly(fd, size, request.data);
        close(fd);
        if (whole) return;
        LOG(LOG_ERROR, "file system - %s changed while it was read", relative.c_str());
    } else if (fd >= 0) {
        close(fd);
    }
    if (url.compare(0, 16, "/stavenorVersion") == 0) {
        request.status = 200;
        request.data = version_text();
        request.content_type = "text/html; charset=utf-8";
        return;
    }
    not_found(request);
}
