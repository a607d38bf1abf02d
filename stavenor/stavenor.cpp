// stavenor: the local server behind the browser interface of the intercom's configuration,
// unit maintenance and recovery pages.

#include "common/logger.h"
#include "common/main_loop.h"
#include "common/paths.h"
#include "common/privileges.h"
#include "handlers/cup/brelt/manager.h"
#include "handlers/cup/curtain/ip_checker.h"
#include "handlers/cup/curtain/tftp_server.h"
#include "handlers/cup/network/network.h"
#include "handlers/cup/serial/serial_manager.h"
#include "handlers/cup/ui/jason.h"
#include "handlers/curtain.h"
#include "handlers/default.h"
#include "handlers/icons.h"
#include "handlers/tuna/tuna.h"
#include "handlers/updater.h"
#include "include/configuration.h"
#include "include/daemon.h"
#include "include/handlers.h"

#include <giomm/init.h>
#include <glib-unix.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool show_banner = false;
uint32_t log_mask = 0;

// The unit services, in creation order; deleted in reverse at stop.
std::unique_ptr<Network> network;
std::unique_ptr<UnitManager> unit_manager;
std::unique_ptr<SerialManager> serial_manager;
std::unique_ptr<TftpServer> tftp_server;
std::unique_ptr<IpChecker> ip_checker;
std::unique_ptr<JasonState> jason_state;

void parse_options(int argc, char** argv)
{
    opterr = 0;
    int option;
    while ((option = getopt(argc, argv, "dl:")) != -1) {
        switch (option) {
        case 'd':
            show_banner = true;
            break;
        case 'l':
            log_mask = static_cast<uint32_t>(strtoul(optarg, nullptr, 0));
            break;
        default: // an unknown option or "-l" without its mask: nothing is started
            exit(2);
        }
    }
}

// Empties the temporary directory and keeps it. A temporary directory that holds the working
// directory or the document root is never purged: a wrong "tmp_dir" must not wipe them.
void purge_tmp_dir()
{
    LOG(LOG_INFO, "delete all files from tmp dir");
    const char* configured = nullptr;
    if (!get_configuration_string("tmp_dir", &configured)) return;
    auto tmp = real_path(configured);
    if (!tmp) return;
    const char* docroot = nullptr;
    auto cwd = real_path(".");
    auto root = get_configuration_string("docroot", &docroot) ? real_path(docroot) : cwd;
    if ((cwd && is_inside(*tmp, *cwd)) || (root && is_inside(*tmp, *root))) {
        LOG(LOG_ERROR, "temporary dir [%s] holds the working directory or the document root - not purged", configured);
        return;
    }
    remove_tree(configured, false);
}

void prepare_tmp_dir()
{
    std::string dir = temporary_directory();
    set_configuration_string("tmp_dir", dir.c_str());
    if (access(dir.c_str(), R_OK | W_OK) == 0) {
        LOG(LOG_INFO, "temporary dir set to [%s]", dir.c_str());
    } else if (errno == ENOENT) {
        if (mkdir(dir.c_str(), 0755) != 0) {
            LOG(LOG_ERROR, "temporary dir [%s] not found and couldn't be created - errno=%d", dir.c_str(), errno);
            exit(1);
        }
        LOG(LOG_INFO, "temporary dir created [%s]", dir.c_str());
    } else {
        LOG(LOG_ERROR, "temporary dir [%s] error - errno=%d", dir.c_str(), errno);
        exit(1);
    }
}

void start_server()
{
    init_logger(0, log_mask);
    init_configuration();
    purge_tmp_dir();
    init_handlers();
    prepare_tmp_dir();

    int port = 80;
    get_configuration_int("port", &port);
    if (!start_http_daemon(static_cast<uint16_t>(port))) {
        LOG(LOG_ERROR, "stavenor couldn't start http daemon on port %d - exiting", port);
        exit(1);
    }

    Gio::init();
    network = std::make_unique<Network>();
    unit_manager = std::make_unique<UnitManager>();
    serial_manager = std::make_unique<SerialManager>();
    tftp_server = std::make_unique<TftpServer>();
    ip_checker = std::make_unique<IpChecker>();
    jason_state = std::make_unique<JasonState>();
    set_curtain_dispatcher(jason_state.get());
    LOG(LOG_INFO, "stavenor started - listening on port %d", port);
}

void stop_server()
{
    stop_http_daemon();
    cleanup_configuration();
    cleanup_handlers();
    stop_store();
    purge_tmp_dir();
    cleanup_logger();
    set_curtain_dispatcher(nullptr);
    jason_state.reset();
    ip_checker.reset();
    tftp_server.reset();
    serial_manager.reset();
    unit_manager.reset();
    network.reset();
    LOG(LOG_INFO, "stavenor stopped");
}

// Runs on the main loop: the stop never races the loop that owns the unit services.
[[noreturn]] void exit_on_signal(int signal_number)
{
    LOG(LOG_INFO, "application exit on signal %d", signal_number);
    set_main_loop_stopping();
    stop_server();
    printf("application exit\n");
    fflush(stdout);
    exit(0);
}

gboolean on_stop_signal(gpointer signal_number)
{
    exit_on_signal(GPOINTER_TO_INT(signal_number));
}

} // namespace

int main(int argc, char** argv)
{
    privileges_start(); // before any thread: each thread keeps the rights it was started with
    parse_options(argc, argv);
    if (show_banner) {
        char host[256] = "unknown";
        gethostname(host, sizeof host - 1);
        printf("stavenor ver. %s compiled [%s] [%s] on %s\n", "2014-04a", __DATE__, __TIME__, host);
        fflush(stdout);
    }
    srand(static_cast<unsigned>(time(nullptr)));
    signal(SIGPIPE, SIG_IGN); // a browser that goes away must not end the server
    // Taken over before anything starts: a stop asked for during start-up runs, in order, as soon
    // as the main loop does.
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
        g_unix_signal_add(signal_number, on_stop_signal, GINT_TO_POINTER(signal_number));
    main_loop(); // its task watch is set up here, before any other thread can post to it

    start_server();
    start_store();

    register_handler("icons", icons_handler, init_icons, cleanup_icons);
    register_handler("rundis", rundis_handler, nullptr, nullptr);
    register_handler("curtain", curtain_handler, init_curtain, cleanup_curtain);
    register_handler("updater", updater_handler, init_updater, cleanup_updater);
    register_handler("tuna", tuna_handler, init_tuna, cleanup_tuna);
    open_http_daemon();

    main_loop()->run();
    return 0;
}
