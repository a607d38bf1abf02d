#include "handlers/cup/brelt/brelt_v6.h"

#include "handlers/cup/brelt/operations/lock.h"
#include "handlers/cup/brelt/operations/program.h"
#include "handlers/cup/brelt/operations/reboot.h"
#include "handlers/cup/brelt/operations/roles.h"

#include <algorithm>
#include <array>

BreltV6::BreltV6(const std::string& unitId, int initialStatus) : BreltV4(unitId, initialStatus)
{
    beardLength = 0;
}

bool BreltV6::isVersion6Word(const Tokens& t)
{
    static const std::array<const char*, 12> words = {"reboot", "interactive", "describe", "role",
                                                      "module", "lock",        "unlock",   "get",
                                                      "ls",     "rm",          "modadd",   "announcements"};
    if (t.empty()) return false;
    if (t[0] == "send") return t.size() >= 2 && (t[1] == "dis" || t[1] == "configuration");
    return std::find(words.begin(), words.end(), t[0]) != words.end();
}

bool BreltV6::isSupported(const std::string& line) { return isVersion6Word(tokenizeCommand(line)); }

std::optional<int> BreltV6::queueVersion6(const Tokens& t, const std::string& line)
{
    if (std::optional<int> result = queueShared(t, line)) return result;
    if (t.size() >= 3 && t[0] == "role" && t[1] == "set") {
        appendTake();
        appendOperation(new RoleSetOperation(this, t[2]));
        appendOperation(new ReloadConfigOperation(this));
        appendOperation(new RestartOperation(this, ""));
        appendOperation(new RefreshOperation(this));
        appendRelease();
    } else if (t.size() >= 2 && t[0] == "announcements" && t[1] == "update") {
        appendAnnouncementsUpdate(false);
    } else if (t[0] == "lock") {
        // The unit stays taken: a locked unit answers nobody until it is unlocked.
        appendTake();
        appendOperation(new SetSilentOperation(this, t.size() >= 2 ? t[1] : ""));
    } else if (t[0] == "unlock") {
        appendOperation(new SetVerboseOperation(this, t.size() >= 2 ? t[1] : ""));
    } else if (t.size() == 2 && t[0] == "get") {
        appendGetFile(t[1] == "configuration" ? "/dis/system.conf" : t[1]);
    } else if (t.size() >= 3 && t[0] == "send" && t[1] == "configuration") {
        appendSendConfiguration(t, true);
    } else if (t.size() >= 3 && t[0] == "send" && t[1] == "dis") {
        appendTake();
        appendFirmwareSwap(appendUpload(t[2]), true);
        appendRelease();
    } else {
        return std::nullopt;
    }
    return 0;
}

int BreltV6::queueCommand(const std::string& line)
{
    const Tokens t = parseCommandLine(getMac(), line);
    if (t.empty()) return -10;
    return queueVersion6(t, line).value_or(0);
}

void BreltV6::isSilent()
{
    if (!getFlag("program running") || current == job.end() || (*current)->getName() != "set silent") return;
    flags["interactive"] = false;
    (*current)->succeed();
}
