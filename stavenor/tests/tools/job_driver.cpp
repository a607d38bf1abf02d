// Runs one job of unit operations against a unit on the network, as the server would, and
// prints what the job reports. Run it only inside a network namespace made for the test.
//
//   job_driver [-l mask] [-w seconds] [-a ms] MAC operation...
//
// Operations: take, release, release=force, reboot, reboot=nowait, refresh, start=P, stop=P,
// restart=P, reload, modlist, modrescan, langs, roleset=R, rolelist, describe=D, lock=PW,
// unlock=PW, unbrick=KEY, flash, flash=MS, kill; files (arguments joined by ','):
// send=LOCALPATH[,TARGETDIR[,KIND[,report|memory]]], get=REMOTEPATH (into the working directory),
// lsdir=DIR, rmdir=DIR, emptydir=DIR, chmod=NAME,DIR,MODE, link=NAME,DIR,LINK,LINKDIR,
// mv=NAME,DIR,DEST,DESTDIR, rm=NAME,DIR, rmlink=LINK,LINKDIR, untar=NAME,DIR[,TARGET[,EXCLUSION]],
// pack, pack=all. A leading '~' marks an operation to continue
// on error. -w: how long to wait for the unit (default 10 s); -a: how long to go on after the
// job ends before the unit's state is printed (default 0).
#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/manager.h"
#include "handlers/cup/brelt/operations/directory.h"
#include "handlers/cup/brelt/operations/file_requests.h"
#include "handlers/cup/brelt/operations/get_file.h"
#include "handlers/cup/brelt/operations/info.h"
#include "handlers/cup/brelt/operations/pack_announcements.h"
#include "handlers/cup/brelt/operations/send_file.h"
#include "handlers/cup/brelt/operations/lock.h"
#include "handlers/cup/brelt/operations/modules.h"
#include "handlers/cup/brelt/operations/program.h"
#include "handlers/cup/brelt/operations/reboot.h"
#include "handlers/cup/brelt/operations/release.h"
#include "handlers/cup/brelt/operations/roles.h"
#include "handlers/cup/brelt/operations/take.h"
#include "handlers/cup/network/network.h"

#include <giomm/init.h>
#include <glibmm/main.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
        parts.push_back(text.substr(start, comma - start));
    parts.push_back(text.substr(start));
    return parts;
}

Operation* makeFileOperation(Brelt* unit, const std::string& name, std::vector<std::string> a)
{
    a.resize(std::max<size_t>(a.size(), 4));
    if (name == "send") {
        auto send = new SendFileOperation(unit, a[0]);
        if (!a[1].empty()) send->setTargetDir(a[1]);
        if (!a[2].empty()) send->setKind(static_cast<int>(strtol(a[2].c_str(), nullptr, 0)));
        if (a[3] == "report") send->waitForReport();
        if (a[3] == "memory") send->setFromMemory(true);
        return send;
    }
    if (name == "get") {
        auto get = new GetFileOperation(unit, a[0]);
        get->setLocalDir(".");
        return get;
    }
    if (name == "lsdir") {
        auto ls = new LsDir(unit, a[0]);
        ls->setListOption(8);
        return ls;
    }
    if (name == "rmdir") return new RmDir(unit, a[0]);
    if (name == "emptydir") return new RmDirContent(unit, a[0]);
    if (name == "chmod") return new Chmod(unit, a[0], a[1], static_cast<int>(strtol(a[2].c_str(), nullptr, 0)));
    if (name == "link") return new Link(unit, a[0], a[1], a[2], a[3]);
    if (name == "mv") return new MvFile(unit, a[0], a[1], a[2], a[3]);
    if (name == "rm") return new RmFile(unit, a[0], a[1]);
    if (name == "rmlink") return new RmLinkDestinationOperation(unit, a[0], a[1]);
    if (name == "untar") {
        auto untar = new Untar(unit, a[0], a[1]);
        if (!a[2].empty()) untar->setTarget(a[2]);
        if (!a[3].empty()) untar->setExclusion(a[3]);
        return untar;
    }
    if (name == "pack") {
        auto pack = new PackAnnouncements(unit);
        pack->setPackAll(a[0] == "all");
        return pack;
    }
    return nullptr;
}

Operation* makeOperation(Brelt* unit, std::string word)
{
    const bool marked = !word.empty() && word[0] == '~';
    if (marked) word.erase(0, 1);
    const size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const bool hasArg = equals != std::string::npos;
    const std::string arg = hasArg ? word.substr(equals + 1) : "";
    Operation* op = nullptr;
    if (name == "take") op = new TakeOperation(unit);
    else if (name == "release") op = new ReleaseOperation(unit, arg == "force");
    else if (name == "reboot") {
        auto reboot = new RebootOperation(unit, 0);
        if (arg == "nowait") {
            reboot->setWeight(500);
            reboot->setNoWait();
        }
        op = reboot;
    } else if (name == "refresh") op = new RefreshOperation(unit);
    else if (name == "start") op = new StartOperation(unit, arg);
    else if (name == "stop") op = new StopOperation(unit, arg);
    else if (name == "restart") op = new RestartOperation(unit, arg);
    else if (name == "reload") op = new ReloadConfigOperation(unit);
    else if (name == "modlist") op = new ModListOperation(unit);
    else if (name == "modrescan") op = new ModRescanOperation(unit);
    else if (name == "langs") op = new LsLang(unit);
    else if (name == "roleset") op = new RoleSetOperation(unit, arg);
    else if (name == "rolelist") op = new RoleListOperation(unit);
    else if (name == "describe") op = new SetDescriptionOperation(unit, arg);
    else if (name == "lock") op = new SetSilentOperation(unit, arg);
    else if (name == "unlock") op = new SetVerboseOperation(unit, arg);
    else if (name == "unbrick") op = new UnbrickOperation(unit, arg);
    else if (name == "flash") op = hasArg ? new FlashOperation(unit, atoi(arg.c_str())) : new FlashOperation(unit);
    else if (name == "kill") op = new KillMe(unit);
    else op = makeFileOperation(unit, name, split(arg));
    if (!op) {
        fprintf(stderr, "unknown operation %s\n", word.c_str());
        exit(2);
    }
    if (marked) op->setMarked();
    return op;
}

void printUnit(const std::string& mac)
{
    Brelt* unit = UnitManager::instance()->find(mac);
    if (!unit) {
        printf("unit gone\n");
        return;
    }
    printf("status %s control %d\n", unit->getStatusText().c_str(), unit->getControlStatus());
    for (const UnitModule& m : unit->getModules())
        printf("module %s|%s|%s|%s|configurable=%d|removable=%d\n", m.name.c_str(), m.displayName.c_str(),
               m.version.c_str(), m.description.c_str(), m.configurable, m.removable);
    for (const char* key : {"available languages", "roles", "dir content", "downloaded file", "downloaded file path"}) printf("setting %s=%s\n", key, unit->getSetting(key).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    uint32_t mask = 0;
    int waitSeconds = 10, afterMs = 0;
    int option;
    while ((option = getopt(argc, argv, "l:w:a:")) != -1) {
        if (option == 'l') mask = static_cast<uint32_t>(strtoul(optarg, nullptr, 0));
        else if (option == 'w') waitSeconds = atoi(optarg);
        else if (option == 'a') afterMs = atoi(optarg);
        else return 2;
    }
    if (optind >= argc) {
        fprintf(stderr, "usage: job_driver [-l mask] [-w s] [-a ms] MAC operation...\n");
        return 2;
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    init_logger(0, mask);
    Gio::init();
    auto loop = Glib::MainLoop::create();
    const std::string mac = argv[optind];
    const std::vector<std::string> words(argv + optind + 1, argv + argc);
    int exitCode = 1;

    {
        Network network;
        UnitManager manager;
        auto finish = [&](int code) {
            exitCode = code;
            Glib::signal_timeout().connect_once([&] {
                printUnit(mac);
                loop->quit();
            }, afterMs);
        };
        sigc::connection giveUp = Glib::signal_timeout().connect([&] {
            printf("no unit %s\n", mac.c_str());
            loop->quit();
            return false;
        }, waitSeconds * 1000);
        Glib::signal_timeout().connect([&] {
            Brelt* unit = manager.find(mac);
            if (!unit) return true;
            giveUp.disconnect();
            printf("unit %s version %d\n", mac.c_str(), unit->getProtocolVersion());
            unit->progress.connect([](const std::string&, int current, int total, const std::string& text) {
                printf("progress %d %d %s\n", current, total, text.c_str());
            });
            unit->programDone.connect([&, unit](const std::string&) {
                printf("done\nresult %d\n", unit->getResultCode());
                finish(0);
            });
            unit->programFailed.connect([&, unit](const std::string&, const std::string& reason) {
                printf("failed %s\nresult %d\n", reason.c_str(), unit->getResultCode());
                finish(3);
            });
            for (const std::string& word : words) unit->appendOperation(makeOperation(unit, word));
            unit->runProgram();
            return false;
        }, 20);
        loop->run();
    }
    return exitCode;
}
