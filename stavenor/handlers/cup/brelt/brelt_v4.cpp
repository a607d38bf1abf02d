#include "handlers/cup/brelt/brelt_v4.h"

#include "common/logger.h"
#include "handlers/cup/brelt/operations/directory.h"
#include "handlers/cup/brelt/operations/file_requests.h"
#include "handlers/cup/brelt/operations/get_file.h"
#include "handlers/cup/brelt/operations/modules.h"
#include "handlers/cup/brelt/operations/pack_announcements.h"
#include "handlers/cup/brelt/operations/program.h"
#include "handlers/cup/brelt/operations/reboot.h"
#include "handlers/cup/brelt/operations/release.h"
#include "handlers/cup/brelt/operations/roles.h"
#include "handlers/cup/brelt/operations/send_file.h"
#include "handlers/cup/brelt/operations/take.h"

#include <algorithm>
#include <array>

namespace {

constexpr int REBOOT_WEIGHT_NO_WAIT = 500;
constexpr int FIRMWARE_MODE = 0755;

template <class T> T* marked(T* operation)
{
    operation->setMarked();
    return operation;
}

} // namespace

BreltV4::BreltV4(const std::string& unitId, int initialStatus) : Brelt(unitId, initialStatus)
{
    beardLength = -20;
    flags["interactive"] = false;
}

bool BreltV4::isSupported(const std::string& line)
{
    static const std::array<const char*, 11> words = {"reboot", "interactive", "describe", "restart",
                                                      "get",    "module",      "send",     "ls",
                                                      "rm",     "modadd",      "announcements"};
    const Tokens t = tokenizeCommand(line);
    return !t.empty() && std::find(words.begin(), words.end(), t[0]) != words.end();
}

void BreltV4::appendTake() { appendOperation(new TakeOperation(this)); }

void BreltV4::appendRelease() { appendOperation(new ReleaseOperation(this, false)); }

std::string BreltV4::appendUpload(const std::string& localPath, const std::string& role)
{
    auto send = new SendFileOperation(this, localPath);
    send->setTargetDir("/tmp");
    send->setFileRole(role);
    appendOperation(send);
    return send->getFileName();
}

void BreltV4::appendAnnouncementsUpdate(bool packAll)
{
    appendTake();
    if (!packAll) appendOperation(new LsLang(this));
    auto pack = new PackAnnouncements(this);
    if (packAll) pack->setPackAll(true);
    appendOperation(pack);
    auto send = new SendFileOperation(this, "anno.tar");
    send->setTargetDir("/tmp");
    send->setFromMemory(true);
    appendOperation(send);
    appendOperation(marked(new RmDirContent(this, "/dis/announcements")));
    auto untar = new Untar(this, "anno.tar", "/tmp");
    untar->setTarget("/dis");
    appendOperation(untar);
    appendOperation(marked(new RmFile(this, "anno.tar", "/tmp")));
    appendRelease();
}

void BreltV4::appendGetFile(const std::string& remotePath)
{
    appendTake();
    auto get = new GetFileOperation(this, remotePath);
    get->setLocalDir(downloadDir);
    appendOperation(get);
    appendRelease();
}

void BreltV4::appendSendConfiguration(const Tokens& t, bool reloadAfterRole)
{
    appendTake();
    const std::string name = appendUpload(t[2]);
    appendOperation(new MvFile(this, name, "/tmp", "system.conf", "/dis"));
    appendOperation(marked(new RmFile(this, "role", "/dis")));
    appendOperation(new ReloadConfigOperation(this));
    if (t.size() >= 4) {
        appendOperation(new RoleSetOperation(this, t[3]));
        if (reloadAfterRole) appendOperation(new ReloadConfigOperation(this));
    }
    appendOperation(new RestartOperation(this, ""));
    appendOperation(new RefreshOperation(this));
    appendRelease();
}

void BreltV4::appendFirmwareSwap(const std::string& fileName, bool stopFirst)
{
    if (stopFirst) appendOperation(marked(new StopOperation(this, "dis")));
    appendOperation(marked(new RmLinkDestinationOperation(this, "dis", "/dis")));
    appendOperation(new MvFile(this, fileName, "/tmp", fileName, "/dis"));
    appendOperation(new Chmod(this, fileName, "/dis", FIRMWARE_MODE));
    appendOperation(new Link(this, fileName, "/dis", "dis", "/dis"));
    // Version 4 restarts the firmware unconditionally; later versions tolerate a refused restart.
    auto restart = new RestartOperation(this, "dis");
    if (stopFirst) restart->setMarked();
    appendOperation(restart);
}

std::optional<int> BreltV4::queueModuleCommand(const Tokens& t)
{
    if (t.size() < 3 || t[0] != "module") return std::nullopt;
    const std::string& verb = t[1];
    const bool removal = verb == "remove";
    if (!removal && verb != "add" && verb != "upgrade" && verb != "overwrite") return std::nullopt;
    // A file that names no module is no module command.
    const std::optional<std::string> named = removal ? t[2] : moduleNameOf(t[2]);
    if (!named) return std::nullopt;
    if (!isModuleName(*named)) {
        LOG(LOG_BRELT, "brelt %s : refused module name `%s`\n", getMac().c_str(), named->c_str());
        return -10;
    }
    const std::string& module = *named;
    if (removal) {
        appendTake();
        appendOperation(marked(new StopOperation(this, module)));
        appendOperation(new RmDir(this, "/modules/" + module));
        appendOperation(new ModRescanOperation(this));
        appendRelease();
        return 0;
    }
    const bool rundis = module == "rundis";
    appendTake();
    const std::string file = appendUpload(t[2]);
    appendOperation(marked(new StopOperation(this, module)));
    auto untar = new Untar(this, file, "/tmp");
    untar->setTarget("/");
    if (verb == "add") {
        appendOperation(marked(new RmDirContent(this, "/modules/" + module)));
    } else if (verb == "upgrade") {
        auto ls = marked(new LsDir(this, "/modules/" + module + "/etc"));
        ls->setListOption(8);
        appendOperation(ls);
        untar->setExclusion("modules/" + module + "/etc");
    }
    appendOperation(untar);
    appendOperation(new RmFile(this, file, "/tmp"));
    appendOperation(new ModRescanOperation(this));
    auto start = new StartOperation(this, module);
    if (rundis) start->setMarked();
    appendOperation(start);
    if (verb == "add" && rundis) {
        // The new core restarts the unit: nothing answers a release after that.
        auto reboot = new RebootOperation(this, 0);
        reboot->setWeight(REBOOT_WEIGHT_NO_WAIT);
        reboot->setNoWait();
        appendOperation(reboot);
    } else {
        appendRelease();
    }
    return 0;
}

std::optional<int> BreltV4::queueShared(const Tokens& t, const std::string& line)
{
    if (t[0] == "reboot") {
        appendTake();
        appendOperation(new RebootOperation(this, 0));
        appendRelease();
        return 0;
    }
    if (t[0] == "interactive") {
        if (line.find("on") != std::string::npos) {
            enterInteractive();
            return 0;
        }
        if (line.find("off") != std::string::npos) return leaveInteractive();
        LOG(LOG_BRELT, "ERROR: unknown command\n");
        return 0;
    }
    if (t.size() >= 2 && t[0] == "ls") {
        auto ls = new LsDir(this, t[1]);
        ls->setListOption(8);
        appendOperation(ls);
        return 0;
    }
    if (t.size() >= 3 && t[0] == "rm") {
        appendOperation(new RmFile(this, t[1], t[2]));
        return 0;
    }
    if (t.size() >= 3 && t[0] == "modadd") {
        auto send = new SendFileOperation(this, t[1]);
        send->setTargetDir(t[2]);
        appendOperation(send);
        return 0;
    }
    if (std::optional<int> result = queueModuleCommand(t)) return result;
    if (t.size() >= 2 && t[0] == "describe") {
        appendTake();
        appendOperation(new SetDescriptionOperation(this, t[1]));
        appendRelease();
        return 0;
    }
    if (t.size() == 2 && t[0] == "role" && t[1] == "list") {
        appendTake();
        appendOperation(new RoleListOperation(this));
        appendRelease();
        return 0;
    }
    if (lineBeginsWith(line, "module list")) {
        appendOperation(new ModListOperation(this));
        return 0;
    }
    return std::nullopt;
}

int BreltV4::queueCommand(const std::string& line)
{
    const Tokens t = parseCommandLine(getMac(), line);
    if (t.empty()) return -10;
    if (std::optional<int> result = queueShared(t, line)) return *result;
    if (t.size() >= 2 && t[0] == "announcements" && t[1] == "update") {
        appendAnnouncementsUpdate(true);
    } else if (t.size() == 2 && t[0] == "get" && t[1] == "configuration") {
        appendGetFile("/dis/system.conf");
    } else if (t.size() >= 3 && t[0] == "send" && t[1] == "configuration") {
        appendSendConfiguration(t, false);
    } else if (t.size() >= 3 && t[0] == "send" && t[1] == "dis") {
        appendTake();
        appendFirmwareSwap(appendUpload(t[2]), false);
        appendRelease();
    }
    return 0;
}

int BreltV4::enterInteractive()
{
    if (getFlag("interactive")) return -3;
    if (getFlag("program running")) return -6;
    LOG(LOG_BRELT, "brelt %s : entering interactive mode...\n", getMac().c_str());
    modeCommand = "interactive on";
    appendTake();
    return 0;
}

int BreltV4::leaveInteractive()
{
    if (!getFlag("interactive")) return -3;
    LOG(LOG_BRELT, "brelt %s : leaving interactive mode...\n", getMac().c_str());
    if (getFlag("program running") && findOperation(job, "release")) {
        LOG(LOG_BRELT, "brelt %s : program already contains RELEASE operation, ok!\n", getMac().c_str());
        flags["interactive"] = false;
        return 0;
    }
    modeCommand = "interactive off";
    appendOperation(new ReleaseOperation(this, true));
    return 0;
}

void BreltV4::onProgramDone()
{
    if (modeCommand == "interactive on") {
        LOG(LOG_BRELT, "brelt %s : interactive mode started\n", getMac().c_str());
        flags["interactive"] = true;
    } else if (modeCommand == "interactive off") {
        LOG(LOG_BRELT, "brelt %s : interactive mode stopped\n", getMac().c_str());
        flags["interactive"] = false;
    }
}

void BreltV4::isInteractive() { flags["interactive"] = false; }
