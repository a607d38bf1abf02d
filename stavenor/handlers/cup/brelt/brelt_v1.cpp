#include "handlers/cup/brelt/brelt_v1.h"

#include "handlers/cup/brelt/command_line.h"
#include "handlers/cup/brelt/operations/get_file.h"
#include "handlers/cup/brelt/operations/send_file.h"
#include "handlers/cup/brelt/operations/take.h"

namespace {

constexpr int KIND_DIS = 1;
constexpr int KIND_CONFIGURATION = 2;

} // namespace

BreltV1::BreltV1(const std::string& unitId, int initialStatus) : Brelt(unitId, initialStatus)
{
    beardLength = -50;
    flags["interactive"] = false;
}

bool BreltV1::isSupported(const std::string& line)
{
    const Tokens t = tokenizeCommand(line);
    if (t.size() < 2) return false;
    return (t[0] == "send" && (t[1] == "dis" || t[1] == "configuration")) ||
           (t[0] == "get" && t[1] == "configuration");
}

int BreltV1::queueCommand(const std::string& line)
{
    const Tokens t = parseCommandLine(getMac(), line);
    if (t.empty()) return -10;
    if (t.size() >= 2 && t[0] == "get" && t[1] == "configuration") {
        appendOperation(new TakeOperation(this));
        auto get = new GetFileOperation(this, "/dis/system.conf");
        get->setLocalDir(downloadDir);
        get->setQuiet();
        get->setKind(KIND_CONFIGURATION);
        appendOperation(get);
    } else if (t.size() >= 3 && t[0] == "send" && (t[1] == "configuration" || t[1] == "dis")) {
        // Version 1 reports the installation itself and has no release step.
        const bool configuration = t[1] == "configuration";
        appendOperation(new TakeOperation(this));
        auto send = new SendFileOperation(this, t[2]);
        send->waitForReport();
        send->setTargetDir(configuration ? "/dis" : "/dis/");
        send->setKind(configuration ? KIND_CONFIGURATION : KIND_DIS);
        appendOperation(send);
    }
    return 0;
}
