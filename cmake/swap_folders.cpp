// swap_folders NEW PLACE: puts the folder NEW at PLACE in one step. When PLACE exists the two trade
// places atomically (NEW then names the former tree), so a reader of PLACE always finds one whole
// tree, the former or the new one, and never nothing.
//
// Some file systems (network ones, older overlays) refuse renameat2's flags (EINVAL, ENOSYS). There
// the first lay-out is a plain rename, and a later one takes three renames: PLACE is missing for a
// moment, which is said, instead of a build that fails.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

bool refusesFlags(int error) { return error == EINVAL || error == ENOSYS; }

int failed(const char* what, const char* a, const char* b)
{
    fprintf(stderr, "swap_folders: %s %s and %s: %s\n", what, a, b, strerror(errno));
    return 1;
}

// The exchange in three steps, through a name beside PLACE.
int exchangeByRenames(const char* fresh, const char* place)
{
    fprintf(stderr, "swap_folders: this file system cannot exchange %s and %s in one step; "
                    "for a moment there is no %s\n", fresh, place, place);
    const std::string aside = std::string(place) + ".swapping";
    if (rename(place, aside.c_str()) != 0) return failed("moving aside", place, aside.c_str());
    if (rename(fresh, place) != 0) {
        const int error = errno;
        rename(aside.c_str(), place);
        errno = error;
        return failed("renaming", fresh, place);
    }
    if (rename(aside.c_str(), fresh) != 0) return failed("renaming", aside.c_str(), fresh);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: swap_folders NEW PLACE\n");
        return 2;
    }
    const char* fresh = argv[1];
    const char* place = argv[2];
    if (renameat2(AT_FDCWD, fresh, AT_FDCWD, place, RENAME_NOREPLACE) == 0) return 0;
    if (refusesFlags(errno)) {
        struct stat existing;
        if (lstat(place, &existing) != 0 && errno == ENOENT)
            return rename(fresh, place) == 0 ? 0 : failed("renaming", fresh, place);
        return exchangeByRenames(fresh, place);
    }
    if (errno != EEXIST) return failed("renaming", fresh, place);
    if (renameat2(AT_FDCWD, fresh, AT_FDCWD, place, RENAME_EXCHANGE) == 0) return 0;
    if (refusesFlags(errno)) return exchangeByRenames(fresh, place);
    return failed("exchanging", fresh, place);
}
