// swap_folders NEW PLACE: puts the folder NEW at PLACE in one step. When PLACE exists the two trade
// places atomically (NEW then names the former tree), so a reader of PLACE always finds one whole
// tree, the former or the new one, and never nothing.
#include <fcntl.h>
#include <stdio.h>

#include <cerrno>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: swap_folders NEW PLACE\n");
        return 2;
    }
    if (renameat2(AT_FDCWD, argv[1], AT_FDCWD, argv[2], RENAME_NOREPLACE) == 0) return 0;
    if (errno == EEXIST && renameat2(AT_FDCWD, argv[1], AT_FDCWD, argv[2], RENAME_EXCHANGE) == 0) return 0;
    fprintf(stderr, "swap_folders: %s and %s: %s\n", argv[1], argv[2], strerror(errno));
    return 1;
}
