// Test driver for the unit links that nothing in the running server feeds yet: runs a TFTP
// server with an image read from a file, or a monitor channel that sends and prints what arrives.
//
//   link_driver [-l mask] tftp IMAGE
//   link_driver [-l mask] comm NAME [-b BAUD] [-f FILE]... [-m NAME[,ARG]...]... [-o DIR]
//
// Runs until SIGINT or SIGTERM; in the tftp mode SIGUSR1 replaces the image with the file's bytes. The comm mode prints one line per event on the standard output.
#include "common/logger.h"
#include "common/main_loop.h"
#include "handlers/cup/curtain/tftp_server.h"

#include <giomm/init.h>
#include <glib-unix.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <csignal>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

int run_comm(int argc, char** argv);

namespace {

gboolean quit(gpointer)
{
    main_loop()->quit();
    return G_SOURCE_REMOVE;
}

std::vector<uint8_t> read_file(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fprintf(stderr, "cannot read %s\n", path);
        exit(2);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Tftp {
    TftpServer server;
    const char* image_path;
};

// SIGUSR1 reads the image file again and hands it over, as a recovery does with a new image.
gboolean reload(gpointer data)
{
    auto* tftp = static_cast<Tftp*>(data);
    int result = tftp->server.setImage(std::make_shared<const std::vector<uint8_t>>(read_file(tftp->image_path)));
    printf("image replaced: %d\n", result);
    fflush(stdout);
    return G_SOURCE_CONTINUE;
}

int run_tftp(const char* image_path)
{
    Tftp tftp{{}, image_path};
    if (tftp.server.setImage(std::make_shared<const std::vector<uint8_t>>(read_file(image_path))) != 0) return 1;
    g_unix_signal_add(SIGUSR1, reload, &tftp);
    printf("ready\n");
    fflush(stdout);
    main_loop()->run();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    uint32_t mask = 0;
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "-l") == 0) {
        mask = static_cast<uint32_t>(strtoul(argv[2], nullptr, 0));
        first = 3;
    }
    init_logger(0, mask);
    Gio::init();
    g_unix_signal_add(SIGINT, quit, nullptr);
    g_unix_signal_add(SIGTERM, quit, nullptr);
    if (argc - first == 2 && strcmp(argv[first], "tftp") == 0) return run_tftp(argv[first + 1]);
    if (argc - first >= 2 && strcmp(argv[first], "comm") == 0) return run_comm(argc - first - 1, argv + first + 1);
    fprintf(stderr, "usage: link_driver [-l mask] tftp IMAGE | comm NAME [-b BAUD] [-f FILE] [-m NAME[,ARG]...] [-o DIR]\n");
    return 2;
}
