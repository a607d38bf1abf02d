// The one place where names from requests and files are checked before they touch the disk.
#pragma once

#include <optional>
#include <string>

constexpr size_t kMaxFileName = 255;

// A single directory entry name: not empty, not "." or "..", no '/' or '\\', no control
// character (NUL included), at most kMaxFileName bytes.
bool is_safe_file_name(const std::string& name);

// A path that the user chose for a file of their own (a configuration saved where they want it):
// anywhere the process may write, but not empty, not ending in '/', and free of control characters.
bool is_user_file_path(const std::string& path);

// The base name of a client-supplied path (after the last '/' or '\\'), when it is a safe file name.
std::optional<std::string> safe_base_name(const std::string& client_path);

// The real path (links followed, absolute), or none when it does not exist.
std::optional<std::string> real_path(const std::string& path);

// True when the real path `inner` is `outer` or lies below it.
bool is_inside(const std::string& outer, const std::string& inner);

// `relative` resolved below `root`: none when it holds a ".." segment or a control character,
// or when the real path (symbolic links followed) lies outside the real root or does not exist.
std::optional<std::string> resolve_inside(const std::string& root, const std::string& relative);

// `relative` below `root` opened for reading (O_CLOEXEC), under the rules of resolve_inside;
// -1 when they refuse it or it cannot be opened. `root_fd`, when not -1, is `root` already opened
// (O_PATH | O_DIRECTORY is enough) and spares the walk to it.
int open_inside(const std::string& root, const std::string& relative, int root_fd = -1);

// Deletes everything below `path`; with `remove_itself` also `path`. Symbolic links are deleted,
// never followed. Refuses "/", the working directory and anything that resolves to them.
void remove_tree(const std::string& path, bool remove_itself);
