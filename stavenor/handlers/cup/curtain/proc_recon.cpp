// The reconnaissance of a serial port: which console answers there (boot loader or Linux shell),
// and the unit's flash size and MAC address.
#include "common/logger.h"
#include "handlers/cup/brelt/operations/determine_prompt.h"
#include "handlers/cup/curtain/curtain.h"
#include "handlers/cup/network/frame.h"
#include "handlers/cup/serial/serial_protocol.h"

#include <cstdlib>

namespace {
constexpr unsigned kProbeMs = 1000;
constexpr unsigned kQueryMs = 2000;
constexpr size_t kMacLength = 17;
} // namespace

int RecoverySession::reconnoitre()
{
    if (flashing) return -505;
    if (!protocol) return -400;
    // A check while a reconnaissance runs starts it over: one program, one exchange awaited.
    if (programLoaded) removeProgram();
    steps.push_back(new RecoveryStep(STEP_DETERMINE_PROMPT, 1));
    steps.push_back(new RecoveryStep(STEP_DETERMINE_PARAMETERS, 1));
    weightDone = 0;
    weightTotal = recoveryStepsWeight(steps);
    programLoaded = true;
    currentStep = steps.begin();
    runStep(*currentStep);
    return 0;
}

void RecoverySession::reconDeterminePrompt()
{
    LOG(LOG_CURTAIN, "determining Central Unit prompt\n");
    setOperationProgress(0, 1, "determining prompt");
    if (protocol) protocol->expect(linuxPrompt, sigc::mem_fun(*this, &RecoverySession::reconOnLinuxPrompt), false);
    exchange(ubootPrompt, &RecoverySession::reconOnUBootPrompt, "nothing\n", kProbeMs);
}

void RecoverySession::reconOnUBootPrompt(GByteArray*)
{
    LOG(LOG_CURTAIN, "U-Boot prompt found\n");
    setOperationProgress(1, 1, "");
    consoleKind = PROMPT_UBOOT;
    stepDone.emit();
}

void RecoverySession::reconOnLinuxPrompt(GByteArray*)
{
    LOG(LOG_CURTAIN, "Linux prompt found\n");
    setOperationProgress(1, 1, "");
    consoleKind = PROMPT_LINUX;
    stepDone.emit();
}

void RecoverySession::reconDetermineParameters()
{
    LOG(LOG_CURTAIN, "querying Central Unit parameters\n");
    if (consoleKind == PROMPT_LINUX) {
        setOperationProgress(0, 1, "determining MAC Address");
        exchange(linuxPrompt, &RecoverySession::reconOnLinuxInfo, "ifconfig eth0\n", kQueryMs);
    } else if (consoleKind == PROMPT_UBOOT) {
        setOperationProgress(0, 1, "determining Central Unit parameters");
        exchange(ubootPrompt, &RecoverySession::reconOnUBootParams, "bdinfo\n", kQueryMs);
    } else {
        stepFailed.emit();
    }
}

void RecoverySession::readSystemInfo(const GByteArray* text, const char* sizeUnit)
{
    // "flashsize", its padding, "=" and a blank fill 14 characters; the value is 0x and 8 digits.
    const std::string size = receivedField(text, "flashsize", 14, 10);
    char* end = nullptr;
    const unsigned long long bytes = size.size() == 10 ? strtoull(size.c_str(), &end, 0) : 0;
    if (end && *end == '\0' && bytes > 0 && bytes <= 0xFFFFFFFFull) {
        flashSizeMb = static_cast<int32_t>(bytes >> 20);
        LOG(LOG_CURTAIN, "memory size is %d%s\n", flashSizeMb, sizeUnit);
    }
    const std::string address = receivedField(text, "ethaddr", 14, kMacLength);
    if (isMacText(address)) {
        mac = address;
        LOG(LOG_CURTAIN, "MAC Address is %s\n", mac.c_str());
    }
}

void RecoverySession::reconOnUBootParams(GByteArray* text)
{
    LOG(LOG_CURTAIN, "got U-Boot parameters\n");
    setOperationProgress(1, 1, "");
    readSystemInfo(text, " MB");
    stepDone.emit();
}

void RecoverySession::reconOnLinuxInfo(GByteArray* text)
{
    LOG(LOG_CURTAIN, "got Linux network info\n");
    setOperationProgress(1, 1, "");
    const std::string address = receivedField(text, "HWaddr", 7, kMacLength);
    if (isMacText(address)) mac = address;
    stepDone.emit();
}
