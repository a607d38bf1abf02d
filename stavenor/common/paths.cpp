#include "common/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

static bool has_control_character(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f) return true;
    return false;
}

bool is_safe_file_name(const std::string& name)
{
    if (name.empty() || name.size() > kMaxFileName || name == "." || name == "..") return false;
    return !has_control_character(name) && name.find_first_of("/\\") == std::string::npos;
}

bool is_user_file_path(const std::string& path)
{
    return !path.empty() && path.back() != '/' && !has_control_character(path);
}

std::optional<std::string> safe_base_name(const std::string& client_path)
{
    size_t cut = client_path.find_last_of("/\\");
    std::string base = cut == std::string::npos ? client_path : client_path.substr(cut + 1);
    if (!is_safe_file_name(base)) return std::nullopt;
    return base;
}

std::optional<std::string> real_path(const std::string& path)
{
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return std::nullopt;
    return std::string(resolved);
}

bool is_inside(const std::string& outer, const std::string& inner)
{
    return inner == outer || outer == "/" || inner.compare(0, outer.size() + 1, outer + "/") == 0;
}

// Refuses control characters and ".." segments outright, whether or not they would stay inside.
static bool is_plain_relative(const std::string& relative)
{
    if (has_control_character(relative)) return false;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of("/\\", start);
        if (end == std::string::npos) end = relative.size();
        if (relative.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

std::optional<std::string> resolve_inside(const std::string& root, const std::string& relative)
{
    if (!is_plain_relative(relative)) return std::nullopt;

    auto real_root = real_path(root.empty() ? "." : root);
    if (!real_root) return std::nullopt;
    auto real = real_path(*real_root + "/" + relative);
    if (!real) return std::nullopt;
    if (!is_inside(*real_root, *real)) return std::nullopt;
    return real;
}

// The kernel answers EAGAIN when a ".." of the walk met a rename anywhere on the system.
constexpr int kWalkAttempts = 8;

int open_inside(const std::string& root, const std::string& relative, int root_fd)
{
    if (!is_plain_relative(relative)) return -1;
    // The kernel walks the path in one step and refuses to leave the root on the way, links
    // included. A walk that it refuses (an absolute link, a path starting with '/'), a kernel
    // without the call, a sandbox that forbids it (EPERM) or a walk that keeps meeting renames is
    // judged by real paths instead, which follow such links.
    int dir_fd = root_fd >= 0 ? root_fd : open(root.empty() ? "." : root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0) return -1;
    open_how how{};
    how.flags = O_RDONLY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH;
    int fd = -1;
    int error = EAGAIN;
    for (int attempt = 0; attempt < kWalkAttempts && error == EAGAIN; ++attempt) {
        fd = static_cast<int>(syscall(SYS_openat2, dir_fd, relative.c_str(), &how, sizeof how));
        error = fd >= 0 ? 0 : errno;
    }
    if (dir_fd != root_fd) close(dir_fd);
    if (fd >= 0 || (error != EXDEV && error != ENOSYS && error != EPERM && error != EAGAIN)) return fd;
    auto path = resolve_inside(root, relative);
    return path ? open(path->c_str(), O_RDONLY | O_CLOEXEC) : -1;
}

static void remove_below(int dir_fd)
{
    DIR* dir = fdopendir(dir_fd);
    if (!dir) {
        close(dir_fd);
        return;
    }
    while (struct dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        struct stat st;
        // Never follow a link: a link to a directory is removed as the link it is.
        if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            int child = openat(dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) remove_below(child);
            unlinkat(dirfd(dir), entry->d_name, AT_REMOVEDIR);
        } else {
            unlinkat(dirfd(dir), entry->d_name, 0);
        }
    }
    closedir(dir);
}

void remove_tree(const std::string& path, bool remove_itself)
{
    auto real = real_path(path);
    auto cwd = real_path(".");
    if (!real || *real == "/" || (cwd && *real == *cwd)) return;
    // The path itself may be a link; only a real directory is emptied. Trailing slashes would
    // make open() follow a final link, so they are dropped first.
    std::string bare = path;
    while (bare.size() > 1 && bare.back() == '/') bare.pop_back();
    int fd = open(bare.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    remove_below(fd);
    if (remove_itself) rmdir(bare.c_str());
}
