// The flash program: enters the unit's boot loader, lets the unit fetch the image by TFTP, checks
// it, erases and copies the boot loader and the system block by block, and answers the questions of
// the unit's first boot.
#include "common/logger.h"
#include "handlers/cup/brelt/operations/determine_prompt.h"
#include "handlers/cup/curtain/curtain.h"
#include "handlers/cup/curtain/ip_checker.h"
#include "handlers/cup/network/frame.h"
#include "handlers/cup/serial/serial_protocol.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace {

constexpr unsigned kCommandMs = 2000;
constexpr unsigned kCopyMs = 3000;
constexpr unsigned kCrcMs = 5000;
constexpr unsigned kEraseUBootMs = 10000;
constexpr unsigned kMacMs = 10000;
constexpr unsigned kEscapeMs = 40000;
constexpr unsigned kRebootMs = 40000;
constexpr unsigned kEraseAnswerMs = 60000;
constexpr unsigned kDateMs = 120000;
constexpr unsigned kEraseSystemMs = 480000;
constexpr unsigned kTransferMs = 1800000;
constexpr int kBootScale = 109;

const char* const kMacQuestion = "(aa:bb:cc:dd:ee:ff): ";
const char* const kMacQuestionShort = "Enter MAC: ";
const char* const kDateQuestion = "YYYY-MM-DD hh:mm";
const char* const kInvalidDate = "invalid date";
const char* const kEraseQuestion = "Erase (y/n)?";

// " 0x" and the value in lower-case hexadecimal, as the boot loader reads its numbers.
std::string hex(uint32_t value, const char* prefix = " 0x")
{
    char text[16];
    snprintf(text, sizeof text, "%x", value);
    return prefix + std::string(text);
}

std::string_view view(const GByteArray* text) { return {reinterpret_cast<const char*>(text->data), text->len}; }

bool contains(const GByteArray* text, std::string_view marker) { return view(text).find(marker) != std::string_view::npos; }

// A number after `key`, read in the base its prefix gives, from the received bytes only.
bool numberAfter(const GByteArray* text, std::string_view key, size_t offset, size_t length, unsigned long long& value)
{
    const size_t at = view(text).find(key);
    if (at == std::string_view::npos || at + offset >= text->len) return false;
    const std::string digits(view(text).substr(at + offset, length));
    char* end = nullptr;
    value = strtoull(digits.c_str(), &end, 0);
    return end != digits.c_str();
}

// Drops the received text up to the end of `marker`: what follows it in the same chunk (a question,
// a prompt) is still there to be matched.
void consumeThrough(GByteArray* text, std::string_view marker)
{
    const size_t at = view(text).find(marker);
    if (at != std::string_view::npos) g_byte_array_remove_range(text, 0, static_cast<guint>(at + marker.size()));
}

} // namespace

int RecoverySession::flashBuildProgram()
{
    if (!canFlash()) return -501;
    const std::string unitAddress = centralUnitAddress();
    const std::string server = serverAddress();
    if (!IpChecker::isDottedQuad(unitAddress) || !IpChecker::isDottedQuad(server)) {
        LOG(LOG_CURTAIN, "not flashing: unit address `%s` and server address `%s` must both be dotted quads\n",
            unitAddress.c_str(), server.c_str());
        return -501;
    }
    struct Entry {
        int code;
        int weightClass; // -1: the default weight
        const char* name;
        std::string value;
    };
    const Entry program[] = {
        {STEP_ENTER_UBOOT, -1, "", ""},      {STEP_SYSTEM_INFO, 0, "", ""},
        {STEP_SET_UBOOT_VAR, 0, "ipaddr", unitAddress}, {STEP_SET_UBOOT_VAR, 0, "serverip", server},
        {STEP_TRANSFER_FILE, 3, "", ""},     {STEP_CHECK_CRC, -1, "", ""},
        {STEP_UNPROTECT_FLASH, 0, "", ""},   {STEP_COMPARE_UBOOT, 0, "", ""},
        {STEP_ERASE_UBOOT, -1, "", ""},      {STEP_FLASH_UBOOT, -1, "", ""},
        {STEP_ERASE_SYSTEM, 4, "", ""},      {STEP_FLASH_SYSTEM, 4, "", ""},
        {STEP_REBOOT, 2, "", ""},
    };
    for (const Entry& entry : program) {
        auto* step = new RecoveryStep(entry.code, 1);
        if (entry.weightClass >= 0) step->setWeightClass(entry.weightClass);
        step->name = entry.name;
        step->value = entry.value;
        steps.push_back(step);
    }
    weightDone = 0;
    weightTotal = recoveryStepsWeight(steps);
    flashing = true;
    programLoaded = true;
    currentStep = steps.begin();
    LOG(LOG_CURTAIN, "curtain : next operation is %s\n", recoveryStepName(**currentStep).c_str());
    runStep(*currentStep);
    return 0;
}

// --- reaching the boot loader -------------------------------------------------------------------

void RecoverySession::flashEnterUBoot()
{
    LOG(LOG_CURTAIN, "entering U-Boot\n");
    setOperationProgress(0, 3, "entering U-Boot");
    if (consoleKind == PROMPT_UBOOT) {
        LOG(LOG_CURTAIN, "already in U-Boot, clearing buffer\n");
        exchange(ubootPrompt, &RecoverySession::flashOnBufferCleared, "nop\n", kCommandMs);
    } else if (consoleKind == PROMPT_LINUX) {
        await("U-Boot", &RecoverySession::flashEscapeToUBoot, true);
        sendLine("reboot\n", kRebootMs);
    } else {
        LOG(LOG_CURTAIN, "user is urgently needed\n");
        if (!protocol) {
            stepFailed.emit();
            return;
        }
        await("U-Boot", &RecoverySession::flashEscapeToUBoot, true);
        protocol->resetBuffer(); // the banner ends the wait: the user power-cycles the unit
        requestUserActivity(ACTIVITY_REBOOT, nullptr);
    }
}

void RecoverySession::flashEscapeToUBoot(GByteArray*)
{
    setOperationProgress(1, 3, "");
    await(ubootPrompt, &RecoverySession::flashOnUBootAfterEscape);
    await(linuxPrompt, &RecoverySession::flashOnLinuxInsteadOfUBoot);
    answerTimeoutMs = kEscapeMs;
    if (!protocol || protocol->sendEscapes(kEscapeMs) <= 0) {
        if (protocol) protocol->unhookAll();
        failStep("console", "the unit's console could not be written to: its serial port is gone or broken");
    }
}

void RecoverySession::flashOnUBootAfterEscape(GByteArray*)
{
    LOG(LOG_CURTAIN, "entered U-Boot, clearing buffer\n");
    consoleKind = PROMPT_UBOOT;
    setOperationProgress(2, 3, "");
    exchange(ubootPrompt, &RecoverySession::flashOnBufferCleared, "nop\n", kCommandMs);
}

void RecoverySession::flashOnBufferCleared(GByteArray*)
{
    LOG(LOG_CURTAIN, "cleared U-Boot buffer\n");
    setOperationProgress(3, 3, "");
    stepDone.emit();
}

void RecoverySession::flashOnLinuxInsteadOfUBoot(GByteArray*)
{
    LOG(LOG_CURTAIN, "entered Linux instead of U-Boot\n");
    consoleKind = PROMPT_LINUX;
    stepFailed.emit();
}

void RecoverySession::flashOnUnexpectedLinux(GByteArray* text)
{
    LOG(LOG_CURTAIN, "Linux prompt where the boot loader was expected\n");
    LOG(LOG_CURTAIN, "%d : %.*s\n", static_cast<int>(text->len), static_cast<int>(text->len), text->data);
    stepFailed.emit();
}

// --- boot-loader steps ----------------------------------------------------------------------------

void RecoverySession::flashDetermineSystemInfo()
{
    if (consoleKind != PROMPT_UBOOT) return stepFailed.emit();
    LOG(LOG_CURTAIN, "determining Central Unit parameters\n");
    setOperationProgress(0, 1, "checking Central Unit");
    exchange(ubootPrompt, &RecoverySession::flashOnSystemInfo, "bdinfo\n", kCommandMs);
}

void RecoverySession::flashOnSystemInfo(GByteArray* text)
{
    setOperationProgress(1, 1, "");
    readSystemInfo(text, "M");
    stepDone.emit();
}

void RecoverySession::flashSetUBootVar(const std::string& name, const std::string& value)
{
    if (consoleKind != PROMPT_UBOOT) return stepFailed.emit();
    LOG(LOG_CURTAIN, "setting U-Boot variable %s to %s\n", name.c_str(), value.c_str());
    setOperationProgress(0, 1, "setting " + name);
    exchange(ubootPrompt, &RecoverySession::flashOnSetVar, "set " + name + " " + value + "\n", kCommandMs);
}

void RecoverySession::flashOnSetVar(GByteArray*)
{
    LOG(LOG_CURTAIN, "command succeeded\n");
    setOperationProgress(1, 1, "");
    stepDone.emit();
}

void RecoverySession::flashTransferFile(const std::string& fileName)
{
    if (consoleKind != PROMPT_UBOOT) return stepFailed.emit();
    if (!image || flashSizeMb <= 0 || image->size() != imageBytes()) {
        requestUserActivity(ACTIVITY_IMAGE, &RecoverySession::flashRetryTransfer);
        return;
    }
    LOG(LOG_CURTAIN, "requesting file `%s` via TFTP\n", fileName.c_str());
    fetched = 0;
    transferTotal = static_cast<int64_t>(image->size());
    transferComplete = false;
    setOperationProgress(0, 1, "uploading the image");
    // The step succeeds when the prompt returns after the whole image went; the checksum proves it.
    exchange(ubootPrompt, &RecoverySession::flashEmitStepDone, "tftp" + hex(loadAddress) + " " + fileName + "\n",
             kTransferMs);
}

void RecoverySession::flashRetryTransfer()
{
    LOG(LOG_CURTAIN, "retrying file transfer\n");
    flashTransferFile("cu_image");
}

void RecoverySession::flashEmitStepDone(GByteArray*)
{
    // A prompt after a fetch that ended early is that fetch's failure, not the checksum's.
    if (!transferComplete) return failStep("transfer", fetchedText("ended its fetch of"));
    stepDone.emit();
}

void RecoverySession::flashCheckCrc()
{
    if (consoleKind != PROMPT_UBOOT) return stepFailed.emit();
    LOG(LOG_CURTAIN, "counting CRC of %dM starting @ 0x%x\n", flashSizeMb, loadAddress);
    setOperationProgress(0, 1, "verifying checksum");
    exchange(ubootPrompt, &RecoverySession::flashOnCrc, "crc32" + hex(loadAddress) + hex(imageBytes()) + "\n", kCrcMs);
}

void RecoverySession::flashOnCrc(GByteArray* text)
{
    if (!contains(text, "CRC32") || !contains(text, "==>")) {
        LOG(LOG_CURTAIN, "not able to count CRC32\n");
        return stepFailed.emit();
    }
    const uLong local = image ? crc32(crc32(0L, Z_NULL, 0), image->data(), static_cast<uInt>(image->size())) : 0;
    unsigned long long counted = 0;
    const std::string digits = receivedField(text, "==> ", 4, 8);
    if (digits.size() == 8 && digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
        counted = strtoull(digits.c_str(), nullptr, 16);
    LOG(LOG_CURTAIN, "counted CRC: %llx\n", counted);
    LOG(LOG_CURTAIN, "local   CRC: %lx\n", local);
    setOperationProgress(1, 1, "");
    if (counted == local) return stepDone.emit();
    char reason[160];
    snprintf(reason, sizeof reason,
             "the unit's checksum of the image it fetched (%08llx) differs from the image's (%08lx): the image "
             "was damaged on its way to the unit",
             counted, local);
    failStep("checksum", reason);
}

void RecoverySession::flashUnprotect()
{
    LOG(LOG_CURTAIN, "unprotecting flash memory\n");
    if (consoleKind != PROMPT_UBOOT) {
        LOG(LOG_CURTAIN, "not in U-Boot\n");
        return stepFailed.emit();
    }
    setOperationProgress(0, 1, "unprotecting flash memory");
    exchange(ubootPrompt, &RecoverySession::flashOnUnprotect, "protect off all\n", kCommandMs);
}

void RecoverySession::flashOnUnprotect(GByteArray* text)
{
    setOperationProgress(1, 1, "");
    if (contains(text, "Un-Protect Flash Bank # 1")) {
        LOG(LOG_CURTAIN, "flash memory unprotected\n");
        stepDone.emit();
    } else {
        LOG(LOG_CURTAIN, "error while unprotecting memory\n");
        stepFailed.emit();
    }
}

void RecoverySession::flashCompareUBoot()
{
    LOG(LOG_CURTAIN, "comparing U-Boot versions (%d sectors)\n", ubootBlocks);
    if (consoleKind != PROMPT_UBOOT) {
        LOG(LOG_CURTAIN, "not in U-Boot\n");
        return stepFailed.emit();
    }
    ubootIdentical = false;
    setOperationProgress(1, 2, "comparing U-Boot versions");
    exchange(ubootPrompt, &RecoverySession::flashOnCompare,
             "cmp.b" + hex(flashBase) + hex(loadAddress) + hex(ubootBlocks * eraseBlockSize) + "\n", kCommandMs);
}

void RecoverySession::flashOnCompare(GByteArray* text)
{
    setOperationProgress(2, 2, "");
    if (!contains(text, "Total of ")) return stepFailed.emit();
    unsigned long long same = 0;
    numberAfter(text, "Total of ", 9, text->len, same);
    ubootIdentical = same == ubootBlocks * eraseBlockSize;
    LOG(LOG_CURTAIN, ubootIdentical ? "U-Boot versions are identical\n" : "U-Boot versions are different\n");
    stepDone.emit();
}

void RecoverySession::flashEraseUBoot()
{
    LOG(LOG_CURTAIN, "erasing U-Boot (%d sectors)\n", ubootBlocks);
    if (ubootIdentical) {
        LOG(LOG_CURTAIN, "skipping\n");
        return stepDone.emit();
    }
    if (consoleKind != PROMPT_UBOOT) {
        LOG(LOG_CURTAIN, "not in U-Boot\n");
        return stepFailed.emit();
    }
    setOperationProgress(0, static_cast<int>(ubootBlocks), "erasing U-Boot");
    protocol->setDataListener(sigc::mem_fun(*this, &RecoverySession::flashOnUBootEraseDots));
    exchange(ubootPrompt, &RecoverySession::flashOnEraseUBoot,
             "erase" + hex(flashBase) + hex(ubootBlocks * eraseBlockSize, " +0x") + "\n", kEraseUBootMs);
}

void RecoverySession::flashOnEraseUBoot(GByteArray* text)
{
    if (!contains(text, "Erased")) {
        LOG(LOG_CURTAIN, "not able to erase U-Boot\n");
        return stepFailed.emit();
    }
    setOperationProgress(static_cast<int>(ubootBlocks), static_cast<int>(ubootBlocks), "");
    stepDone.emit();
}

void RecoverySession::flashOnUBootEraseDots(GByteArray* text)
{
    const auto dots = std::count(view(text).begin(), view(text).end(), '.');
    setOperationProgress(static_cast<int>(std::min<long>(dots, ubootBlocks)), static_cast<int>(ubootBlocks), "");
}

void RecoverySession::flashEraseSystem()
{
    if (consoleKind != PROMPT_UBOOT || flashSizeMb <= 0) return stepFailed.emit();
    const uint32_t systemBlocks = imageBytes() / eraseBlockSize - ubootBlocks;
    const uint32_t systemStart = flashBase + ubootBlocks * eraseBlockSize;
    LOG(LOG_CURTAIN, "erasing system (%d sectors starting @ 0x%x)\n", systemBlocks, systemStart);
    blockCount = static_cast<int32_t>(systemBlocks);
    setOperationProgress(0, blockCount, "erasing system");
    protocol->setDataListener(sigc::mem_fun(*this, &RecoverySession::flashOnSystemEraseDots));
    exchange(ubootPrompt, &RecoverySession::flashOnEraseSystem,
             "erase" + hex(systemStart) + hex(systemBlocks * eraseBlockSize, " +0x") + "\n", kEraseSystemMs);
}

void RecoverySession::flashOnEraseSystem(GByteArray* text)
{
    if (!contains(text, "Erased")) {
        LOG(LOG_CURTAIN, "not able to erase system\n");
        return stepFailed.emit();
    }
    setOperationProgress(blockCount, blockCount, "");
    stepDone.emit();
}

void RecoverySession::flashOnSystemEraseDots(GByteArray* text)
{
    const auto dots = std::count(view(text).begin(), view(text).end(), '.');
    setOperationProgress(static_cast<int>(std::min<long>(dots, blockCount)), std::max(blockCount, 1), "");
}

// --- block copies -----------------------------------------------------------------------------

void RecoverySession::flashUBoot()
{
    LOG(LOG_CURTAIN, "flashing U-Boot (%d sectors)\n", ubootBlocks);
    if (ubootIdentical) {
        LOG(LOG_CURTAIN, "skipping\n");
        return stepDone.emit();
    }
    if (consoleKind != PROMPT_UBOOT) {
        LOG(LOG_CURTAIN, "not in U-Boot\n");
        return stepFailed.emit();
    }
    copySource = loadAddress;
    copyDestination = flashBase;
    nextBlock = 1;
    blockCount = static_cast<int32_t>(ubootBlocks);
    setOperationProgress(0, blockCount, "flashing U-Boot");
    LOG(LOG_CURTAIN, "copying U-Boot (%d sectors 0x%x -> 0x%x)\n", blockCount, copySource, copyDestination);
    flashCopyNextBlock(nullptr);
}

void RecoverySession::flashSystem()
{
    if (consoleKind != PROMPT_UBOOT || flashSizeMb <= 0) return stepFailed.emit();
    const uint32_t offset = ubootBlocks * eraseBlockSize;
    copySource = loadAddress + offset;
    copyDestination = flashBase + offset;
    nextBlock = 1;
    blockCount = static_cast<int32_t>(imageBytes() / eraseBlockSize - ubootBlocks);
    setOperationProgress(0, std::max(blockCount, 1), "flashing system");
    LOG(LOG_CURTAIN, "copying system (%d sectors 0x%x -> 0x%x)\n", blockCount, copySource, copyDestination);
    flashCopyNextBlock(nullptr);
}

void RecoverySession::flashCopyNextBlock(GByteArray*)
{
    if (static_cast<int64_t>(nextBlock) > blockCount) return stepDone.emit();
    if (consoleKind != PROMPT_UBOOT) {
        LOG(LOG_CURTAIN, "not in U-Boot\n");
        return stepFailed.emit();
    }
    setOperationProgress(static_cast<int>(nextBlock), blockCount, "");
    const uint32_t offset = (nextBlock - 1) * eraseBlockSize;
    const std::string command = "cp.w" + hex(copySource + offset) + hex(copyDestination + offset) + hex(copyHalfWords);
    LOG(LOG_CURTAIN, "cmd : `%s`\n", command.c_str());
    ++nextBlock;
    exchange(ubootPrompt, &RecoverySession::flashCopyNextBlock, command + "\n", kCopyMs);
}

// --- the first boot ---------------------------------------------------------------------------

void RecoverySession::flashReboot()
{
    LOG(LOG_CURTAIN, "rebooting to finish programming\n");
    setOperationProgress(0, 1, "rebooting");
    std::string command;
    if (consoleKind == PROMPT_UBOOT) {
        command = "go 0\n";
    } else if (consoleKind == PROMPT_LINUX) {
        LOG(LOG_CURTAIN, "WARNING: somehow we got into Linux o_O'\n");
        command = "reboot\n";
    } else {
        return stepFailed.emit();
    }
    protocol->setDataListener(sigc::mem_fun(*this, &RecoverySession::flashOnUBootBanner));
    await(kMacQuestion, &RecoverySession::flashOnMacPrompt);
    await(kMacQuestionShort, &RecoverySession::flashOnMacPrompt);
    await(linuxPrompt, &RecoverySession::flashOnUnexpectedLinux);
    consoleKind = PROMPT_NONE; // the unit leaves the boot loader
    sendLine(command, kRebootMs);
}

void RecoverySession::flashOnUBootBanner(GByteArray* text)
{
    if (!contains(text, "U-Boot")) return;
    setOperationProgress(1, kBootScale, "");
    consumeThrough(text, "U-Boot");
}

void RecoverySession::flashOnMacPrompt(GByteArray*)
{
    setOperationProgress(2, kBootScale, "setting date and MAC address");
    if (mac.empty() || mac == "00:11:22:33:44:56" || manualMac) {
        requestUserActivity(ACTIVITY_MAC, &RecoverySession::flashRetryMac);
        return;
    }
    LOG(LOG_CURTAIN, "automatically setting MAC Address to %s\n", mac.c_str());
    flashSendMac();
}

void RecoverySession::flashRetryMac()
{
    LOG(LOG_CURTAIN, "retrying MAC address setting\n");
    if (!validateMac()) {
        requestUserActivity(ACTIVITY_MAC, &RecoverySession::flashRetryMac);
        return;
    }
    flashSendMac();
}

void RecoverySession::flashSendMac()
{
    await(kMacQuestion, &RecoverySession::flashOnMacPrompt);
    await(kMacQuestionShort, &RecoverySession::flashOnMacPrompt);
    await(kDateQuestion, &RecoverySession::flashOnDatePrompt, true);
    await(linuxPrompt, &RecoverySession::flashOnUnexpectedLinux);
    sendLine(mac + "\n", kMacMs);
}

void RecoverySession::flashOnDatePrompt(GByteArray*)
{
    setOperationProgress(3, kBootScale, "");
    if (manualDate) {
        requestUserActivity(ACTIVITY_DATE, &RecoverySession::flashRetryDate);
        return;
    }
    const time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char answer[64];
    snprintf(answer, sizeof answer, "%4d-%02d-%02d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
             local.tm_hour, local.tm_min);
    flashSendDate(answer);
}

void RecoverySession::flashRetryDate()
{
    LOG(LOG_CURTAIN, "retrying date setting\n");
    if (!validateDate()) {
        requestUserActivity(ACTIVITY_DATE, &RecoverySession::flashRetryDate);
        return;
    }
    flashSendDate(date);
}

void RecoverySession::flashSendDate(const std::string& answer)
{
    protocol->setDataListener(sigc::mem_fun(*this, &RecoverySession::flashOnNandProgress));
    await(kDateQuestion, &RecoverySession::flashOnDatePrompt, true);
    await(kInvalidDate, &RecoverySession::flashOnDatePrompt, true);
    await(kEraseQuestion, &RecoverySession::flashOnEraseQuestion, true);
    await(linuxPrompt, &RecoverySession::flashOnUnitReady);
    sendLine(answer + "\n", kDateMs);
}

void RecoverySession::flashOnEraseQuestion(GByteArray*)
{
    setOperationProgress(4, kBootScale, "waiting for Central Unit");
    protocol->setDataListener(sigc::mem_fun(*this, &RecoverySession::flashOnNandProgress));
    await(kEraseQuestion, &RecoverySession::flashOnEraseQuestion, true);
    await(linuxPrompt, &RecoverySession::flashOnUnitReady);
    sendLine(keepDataPartition ? "n\n" : "y\n", kEraseAnswerMs);
}

void RecoverySession::flashOnNandProgress(GByteArray* text)
{
    if (text->len == 0) return;
    if (contains(text, "Erasing NAND flash...")) {
        setOperationProgress(5, kBootScale, "erasing NAND memory");
        return consumeThrough(text, "Erasing NAND flash...");
    }
    const size_t percent = view(text).find("% complete");
    if (percent != std::string_view::npos) {
        if (percent > 5) {
            const std::string digits(view(text).substr(percent - 4, 3));
            char* end = nullptr;
            const unsigned long long value = strtoull(digits.c_str(), &end, 0);
            if (end != digits.c_str() && value <= 100) setOperationProgress(static_cast<int>(value) + 5, kBootScale, "");
        }
        return consumeThrough(text, "% complete");
    }
    const std::pair<const char*, std::pair<int, const char*>> marks[] = {
        {"Writing NAND flash...", {106, "writing NAND memory"}},
        {"Setting test configuration...", {107, ""}},
        {"Loading fpga...", {108, "waiting for prompt"}},
    };
    for (const auto& [marker, report] : marks) {
        if (contains(text, marker)) {
            setOperationProgress(report.first, kBootScale, report.second);
            return consumeThrough(text, marker);
        }
    }
}

void RecoverySession::flashOnUnitReady(GByteArray*)
{
    setOperationProgress(kBootScale, kBootScale, "success");
    stepDone.emit();
}
