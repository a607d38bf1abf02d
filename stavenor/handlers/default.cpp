#include "handlers/default.h"

#include "common/logger.h"
#include "common/paths.h"
#include "include/configuration.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace {

std::string docroot; // set at registration, read by every connection thread afterwards

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
}

void cleanup_default() {}

void default_handler(http_request& request)
{
    const std::string& url = request.url;
    std::string relative = url.empty() || url == "/" ? "index.html" : url.substr(url[0] == '/' ? 1 : 0);
    LOG(LOG_REQUEST, "file system - get file %s%s", docroot.c_str(), relative.c_str());

    // Only regular files inside the document root are served, whole, straight from the file.
    if (auto path = resolve_inside(docroot, relative)) {
        int fd = open(path->c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            request.status = 200;
            request.body_fd = fd;
            request.body_fd_size = static_cast<uint64_t>(st.st_size);
            request.content_type = content_type_for(relative);
            return;
        }
        if (fd >= 0) close(fd);
    }
    if (url.compare(0, 16, "/stavenorVersion") == 0) {
        request.status = 200;
        request.data = version_text();
        request.content_type = "text/html; charset=utf-8";
        return;
    }
    not_found(request);
}
