#include "handlers/cup/brelt/brelt_v7.h"

#include "handlers/cup/brelt/operations/file_requests.h"
#include "handlers/cup/brelt/operations/lock.h"
#include "handlers/cup/brelt/operations/send_file.h"

namespace {

// The password file and the firmware that goes with it, from the working directory.
constexpr const char* SHADOW_FILE = "./shadow";
constexpr const char* SHADOW_FIRMWARE = "./XJ_dis_BRELT-SH4_2014-02c.dis";
constexpr const char* TEST_FILE = "/tmp/test_file";
constexpr int KIND_MEMORY = 0x80;

} // namespace

BreltV7::BreltV7(const std::string& unitId, int initialStatus) : BreltV6(unitId, initialStatus) {}

bool BreltV7::isSupported(const std::string& line)
{
    const Tokens t = tokenizeCommand(line);
    if (isVersion6Word(t)) return true;
    return !t.empty() && (t[0] == "unbrick" || t[0] == "passwd" || t[0] == "test");
}

int BreltV7::queueCommand(const std::string& line)
{
    const Tokens t = parseCommandLine(getMac(), line);
    if (t.empty()) return -10;
    if (t.size() >= 2 && t[0] == "unbrick") {
        appendTake();
        appendOperation(new UnbrickOperation(this, t[1]));
        appendRelease();
        return 0;
    }
    if (std::optional<int> result = queueVersion6(t, line)) return *result;
    if (lineBeginsWith(line, "passwd")) {
        appendTake();
        appendUpload(SHADOW_FILE, "password file");
        appendOperation(new MvFile(this, "shadow", "/tmp", "shadow", "/etc"));
        appendFirmwareSwap(appendUpload(SHADOW_FIRMWARE, "firmware for the password file"), true);
        appendRelease();
    } else if (lineBeginsWith(line, "test")) {
        appendTake();
        auto send = new SendFileOperation(this, TEST_FILE);
        send->setTargetDir("/tmp");
        send->setKind(KIND_MEMORY);
        send->setFileRole("test file");
        appendOperation(send);
        appendOperation(new FlashOperation(this));
        appendRelease();
    }
    return 0;
}
