#include "handlers/cup/curtain/curtain.h"

#include "common/delete_later.h"
#include "common/logger.h"
#include "handlers/cup/curtain/ip_checker.h"
#include "handlers/cup/serial/serial_protocol.h"

#include <glib.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RecoverySession* selectedSession = nullptr;

namespace {

constexpr size_t kSmallImage = 0x2000000;
constexpr size_t kLargeImage = 0x4000000;

const char* activityName(int activity)
{
    switch (activity) {
    case ACTIVITY_MAC: return "Mac Address";
    case ACTIVITY_DATE: return "Date and Time";
    case ACTIVITY_IMAGE: return "Image File";
    case ACTIVITY_REBOOT: return "Manual Reboot";
    default: return "Unknown";
    }
}

// 67108864 as "67,108,864": the page shows byte counts as they are written here.
std::string groupedDigits(int64_t number)
{
    std::string digits = std::to_string(number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
    return digits;
}

std::string durationText(unsigned ms)
{
    if (ms >= 60000 && ms % 60000 == 0) return std::to_string(ms / 60000) + " min";
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
    return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s";
}

bool matches(const char* pattern, const std::string& text)
{
    return g_regex_match_simple(pattern, text.c_str(), G_REGEX_ANCHORED, G_REGEX_MATCH_ANCHORED);
}

} // namespace

RecoverySession::RecoverySession() : currentStep(steps.end())
{
    stepDone.connect(sigc::mem_fun(*this, &RecoverySession::nextStep));
    stepFailed.connect(sigc::mem_fun(*this, &RecoverySession::onStepFailed));
    if (TftpServer* tftp = TftpServer::instance()) {
        tftp->progress.connect(sigc::mem_fun(*this, &RecoverySession::setTransferProgress));
        tftp->bytesFetched.connect(sigc::mem_fun(*this, &RecoverySession::onTransferBytes));
        tftp->transferEnded.connect(sigc::mem_fun(*this, &RecoverySession::onTransferEnded));
    }
}

RecoverySession::~RecoverySession()
{
    if (flashing) {
        // The port went while the unit was being written: the run's end is told like any other.
        failure = {"console", "the serial port went away (the USB adapter or its cable was pulled)"};
        failed.emit();
    }
    removeProgram();
    detachProtocol();
    image.reset();
}

int RecoverySession::attachProtocol(const std::string& portName)
{
    if (flashing) return -505;
    if (programLoaded) removeProgram();
    detachProtocol();
    protocol = std::make_unique<SerialProtocol>(portName);
    timedOutConnection = protocol->timedOut.connect(sigc::mem_fun(*this, &RecoverySession::onAnswerTimedOut));
    portGoneConnection = protocol->portGone.connect(sigc::mem_fun(*this, &RecoverySession::onDisconnected));
    reconnoitre();
    return 0;
}

int RecoverySession::detachProtocol()
{
    timedOutConnection.disconnect();
    portGoneConnection.disconnect();
    protocol.reset();
    mac.clear();
    return 0;
}

int RecoverySession::setManualMac(bool manual)
{
    manualMac = manual;
    LOG(LOG_CURTAIN, "MAC Address setting: %s\n", manual ? "manual" : "automatic");
    return 0;
}

int RecoverySession::setManualDate(bool manual)
{
    manualDate = manual;
    LOG(LOG_CURTAIN, "Date and Time setting: %s\n", manual ? "manual" : "automatic");
    return 0;
}

int RecoverySession::setKeepDataPartition(bool keep)
{
    keepDataPartition = keep;
    LOG(LOG_CURTAIN, "Data partition setting: %s\n", keep ? "keep" : "erase");
    return 0;
}

bool RecoverySession::validateMac() const
{
    LOG(LOG_CURTAIN, "validating MAC address...\n");
    const bool valid = !mac.empty() && mac != "00:00:00:00:00:00" && mac != "ff:ff:ff:ff:ff:ff" &&
                       mac != "00:11:22:33:44:56" && mac.size() == 17 &&
                       matches("([0-9a-f][0-9a-f]:){5}[0-9a-f][0-9a-f]$", mac);
    LOG(LOG_CURTAIN, valid ? "MAC address is correct\n" : "MAC address is incorrect\n");
    return valid;
}

int RecoverySession::setMacAddress(const std::string& text)
{
    gchar* lower = g_ascii_strdown(text.c_str(), -1);
    mac = lower;
    g_free(lower);
    LOG(LOG_CURTAIN, "user proposed the following MAC address: %s\n", mac.c_str());
    return validateMac() ? 0 : -2;
}

bool RecoverySession::validateDate() const
{
    LOG(LOG_CURTAIN, "validating date and time...\n");
    if (date.empty()) {
        LOG(LOG_CURTAIN, "date is empty\n");
        return false;
    }
    const bool valid = date.size() == 16 && matches("([0-9]){4}(-([0-9]){2}){2} ([0-9]){2}:([0-9]){2}$", date);
    LOG(LOG_CURTAIN, valid ? "date is correct\n" : "date is incorrect\n");
    return valid;
}

int RecoverySession::setDate(const std::string& text)
{
    date = text;
    LOG(LOG_CURTAIN, "user proposed the following date: %s\n", date.c_str());
    return validateDate() ? 0 : -2;
}

bool RecoverySession::validateImage(size_t size) const
{
    LOG(LOG_CURTAIN, "validating image...\n");
    const bool valid = size == kSmallImage || size == kLargeImage;
    LOG(LOG_CURTAIN, "size: %s", valid ? "OK\n" : "BAD\n");
    if (valid) LOG(LOG_CURTAIN, "image is PROBABLY valid\n");
    return valid;
}

int RecoverySession::takeImage(std::shared_ptr<std::vector<uint8_t>> bytes)
{
    // Only a whole, valid image replaces the one in use: a refused upload leaves the unit's good image.
    if (image) LOG(LOG_CURTAIN, "removed previous image\n");
    LOG(LOG_CURTAIN, "successfully loaded %ld kB\n", static_cast<long>(bytes->size() / 1024));
    image = std::move(bytes);
    if (TftpServer* tftp = TftpServer::instance()) tftp->setImage(image);
    return 0;
}

int RecoverySession::loadImageFile(const std::string& path)
{
    if (flashing && !awaitingImage) return -505;
    if (path.empty()) return -2;
    LOG(LOG_CURTAIN, "loading image from file %s\n", path.c_str());
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        LOG(LOG_CURTAIN, "ERROR while loading file: %s\n", strerror(errno));
        return -5;
    }
    struct stat info {};
    // The size is checked before anything is allocated: only a whole flash image is read.
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !validateImage(static_cast<size_t>(info.st_size))) {
        close(fd);
        return -507;
    }
    auto bytes = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(info.st_size));
    size_t got = 0;
    while (got < bytes->size()) {
        ssize_t n = read(fd, bytes->data() + got, bytes->size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    if (got < bytes->size()) {
        LOG(LOG_CURTAIN, "ERROR while loading file to memory (%ld/%ld bytes read)\n", static_cast<long>(got),
            static_cast<long>(bytes->size()));
        return -507;
    }
    return takeImage(std::move(bytes));
}

void RecoverySession::adoptImage(TftpImage kept)
{
    if (!kept || image) return;
    LOG(LOG_CURTAIN, "kept the image of the port's earlier session (%ld kB)\n", static_cast<long>(kept->size() / 1024));
    image = std::move(kept);
}

int RecoverySession::loadImageMemory(const uint8_t* data, size_t size)
{
    if (flashing && !awaitingImage) return -505;
    if (!data) return -1;
    if (size == 0) return -2;
    LOG(LOG_CURTAIN, "loading image from memory\n");
    if (!validateImage(size)) return -507;
    return takeImage(std::make_shared<std::vector<uint8_t>>(data, data + size));
}

std::string RecoverySession::serverAddress() const
{
    IpChecker* checker = IpChecker::instance();
    return checker ? checker->getServerAddress() : std::string();
}

std::string RecoverySession::centralUnitAddress() const
{
    IpChecker* checker = IpChecker::instance();
    return checker ? checker->getCentralUnitAddress() : std::string();
}

std::string RecoverySession::setServerAddress(const std::string& address)
{
    IpChecker* checker = IpChecker::instance();
    return checker ? checker->setServerAddress(address) : "The PC's addresses are not known yet.";
}

std::string RecoverySession::setCentralUnitAddress(const std::string& address)
{
    IpChecker* checker = IpChecker::instance();
    return checker ? checker->setCentralUnitAddress(address) : "The PC's addresses are not known yet.";
}

int RecoverySession::startFlashing()
{
    const bool can = canFlash();
    LOG(LOG_CURTAIN, "flash %d\n", can ? 1 : 0);
    if (flashing) {
        // A second start must not remove the flash program that runs: the unit would be left half written.
        LOG(LOG_CURTAIN, "not flashing: a flash program runs\n");
        return 0;
    }
    if (programLoaded) removeProgram(); // the reconnaissance
    if (!can) {
        LOG(LOG_CURTAIN, "not flashing: no image loaded\n");
        return 0;
    }
    return flashBuildProgram();
}

int RecoverySession::proceed()
{
    LOG(LOG_CURTAIN, "user ordered to proceed\n");
    awaitingImage = false;
    if (waitState == 2) {
        waitState = 0;
        auto continuation = pendingContinuation;
        pendingContinuation = nullptr;
        if (!continuation) return -508;
        (this->*continuation)();
        return 0;
    }
    LOG(LOG_CURTAIN, "cannot proceed, nothing to do\n");
    pendingContinuation = nullptr;
    return -504;
}

int RecoverySession::runStep(RecoveryStep* step)
{
    failure = {};
    if (!protocol) { // the console is gone: no step can talk to the unit
        stepFailed.emit();
        return -400;
    }
    switch (step->code) {
    case STEP_DETERMINE_PROMPT: reconDeterminePrompt(); return 0;
    case STEP_DETERMINE_PARAMETERS: reconDetermineParameters(); return 0;
    case STEP_ENTER_UBOOT: flashEnterUBoot(); return 0;
    case STEP_SYSTEM_INFO: flashDetermineSystemInfo(); return 0;
    case STEP_SET_UBOOT_VAR: flashSetUBootVar(step->name, step->value); return 0;
    case STEP_TRANSFER_FILE: flashTransferFile("cu_image"); return 0;
    case STEP_CHECK_CRC: flashCheckCrc(); return 0;
    case STEP_UNPROTECT_FLASH: flashUnprotect(); return 0;
    case STEP_COMPARE_UBOOT: flashCompareUBoot(); return 0;
    case STEP_ERASE_UBOOT: flashEraseUBoot(); return 0;
    case STEP_FLASH_UBOOT: flashUBoot(); return 0;
    case STEP_ERASE_SYSTEM: flashEraseSystem(); return 0;
    case STEP_FLASH_SYSTEM: flashSystem(); return 0;
    case STEP_REBOOT: flashReboot(); return 0;
    default:
        stepFailed.emit();
        return -500;
    }
}

void RecoverySession::nextStep()
{
    ++currentStep;
    const bool end = currentStep == steps.end();
    operationDone = end ? 1 : 0;
    operationTotal = 1;
    weightDone = recoveryStepsWeightBefore(steps, currentStep);
    reportProgress();
    if (end) {
        LOG(LOG_CURTAIN, "curtain : no operations left\n");
        deleteRecoverySteps(steps);
        currentStep = steps.end();
        flashing = programLoaded = awaitingImage = false;
        finished.emit();
        return;
    }
    LOG(LOG_CURTAIN, "curtain : next operation is %s\n", recoveryStepName(**currentStep).c_str());
    runStep(*currentStep);
}

void RecoverySession::onStepFailed()
{
    LOG(LOG_CURTAIN, "operation failed\n");
    if (currentStep == steps.end()) return; // no step runs: nothing to retry or to fail
    RecoveryStep* step = *currentStep;
    if (++step->attempts < step->attemptsAllowed) {
        runStep(step);
        return;
    }
    if (failure.cause.empty())
        failure = {"answer", "the unit's answer to “" + operationDescription + "” was not the one the recovery waits for"};
    failed.emit();
    programLoaded = false;
    removeProgram();
}

void RecoverySession::onAnswerTimedOut()
{
    failure = {"silent", "the unit did not answer within " + durationText(answerTimeoutMs)};
    onStepFailed();
}

void RecoverySession::failStep(const char* cause, const std::string& reason)
{
    LOG(LOG_CURTAIN, "step failed: %s\n", reason.c_str());
    failure = {cause, reason};
    stepFailed.emit();
}

bool RecoverySession::transferring() const
{
    return flashing && currentStep != steps.end() && (*currentStep)->code == STEP_TRANSFER_FILE;
}

void RecoverySession::onTransferBytes(int64_t done, int64_t total)
{
    if (!transferring()) return;
    fetched = done;
    transferTotal = total;
    transferComplete = done == total;
}

// The TFTP server gave up on a transfer: the unit stopped fetching, whatever its console prints later.
void RecoverySession::onTransferEnded(bool completed, int64_t done, int64_t total)
{
    if (!transferring()) return;
    onTransferBytes(done, total);
    if (completed) return;
    if (protocol) protocol->unhookAll();
    failStep("transfer", fetchedText("stopped fetching"));
}

std::string RecoverySession::fetchedText(const char* verb) const
{
    return std::string("the unit ") + verb + " the image at " + groupedDigits(fetched) + " of " +
           groupedDigits(transferTotal) + " bytes";
}

void RecoverySession::setOperationProgress(int done, int total, const std::string& description)
{
    operationDone = done;
    operationTotal = total;
    if (!description.empty()) operationDescription = description;
    LOG(LOG_CURTAIN, "operation progress %d/%d (%s)\n", done, total, operationDescription.c_str());
    reportProgress();
}

void RecoverySession::reportProgress()
{
    int32_t overall = weightTotal;
    if (operationTotal != 0 && weightDone < weightTotal) {
        const int32_t weight = currentStep != steps.end() ? (*currentStep)->weight : 0;
        overall = weightDone + static_cast<int32_t>(static_cast<double>(weight) * operationDone / operationTotal);
    }
    LOG(LOG_CURTAIN, "overall progress %d/%d\n", overall, weightTotal);
    progressChanged.emit(operationDone, operationTotal, overall, weightTotal, operationDescription);
}

int RecoverySession::requestUserActivity(int activity, void (RecoverySession::*continuation)())
{
    LOG(LOG_CURTAIN, "requesting user activity %s\n", activityName(activity));
    if (activity == ACTIVITY_IMAGE) awaitingImage = true;
    waitState = 2;
    pendingContinuation = continuation;
    userActivityRequested.emit(activity);
    return 0;
}

int RecoverySession::removeProgram()
{
    LOG(LOG_CURTAIN, "removing program\n");
    if (steps.empty()) {
        LOG(LOG_CURTAIN, "no program to be removed\n");
        return -506;
    }
    waitState = 3;
    if (protocol) protocol->unhookAll();
    deleteRecoverySteps(steps);
    currentStep = steps.end();
    flashing = awaitingImage = programLoaded = false;
    pendingContinuation = nullptr;
    waitState = 0;
    LOG(LOG_CURTAIN, "program successfully removed\n");
    return 0;
}

void RecoverySession::onDisconnected()
{
    LOG(LOG_CURTAIN, "got disconnected\n");
    if (!steps.empty()) {
        failure = {"console", "the unit's console went away: its serial port closed"};
        failed.emit();
        removeProgram();
    }
    timedOutConnection.disconnect();
    portGoneConnection.disconnect();
    // Inside the protocol's own notification: it goes once that returns.
    deleteLater(protocol.release());
}

void RecoverySession::await(const std::string& pattern, void (RecoverySession::*handler)(GByteArray*), bool anywhere)
{
    if (protocol) protocol->expect(pattern, sigc::mem_fun(*this, handler), anywhere);
}

void RecoverySession::sendLine(const std::string& line, unsigned timeoutMs)
{
    answerTimeoutMs = timeoutMs;
    const int sent = protocol ? protocol->send(line, timeoutMs) : -400;
    if (sent > 0) return;
    // Refused, or nothing reached the line: no answer would come, and no time-out is left armed.
    LOG(LOG_CURTAIN, "console refused `%.*s` (%d)\n", static_cast<int>(line.find('\n')), line.c_str(), sent);
    if (protocol) protocol->unhookAll();
    if (sent == -505) return stepFailed.emit(); // an answer still awaited: the step's own order, not the port
    failStep("console", "the unit's console could not be written to: its serial port is gone or broken");
}

void RecoverySession::exchange(const std::string& prompt, void (RecoverySession::*handler)(GByteArray*),
                               const std::string& line, unsigned timeoutMs)
{
    await(prompt, handler);
    sendLine(line, timeoutMs);
}
