// The recovery session of one serial port: the port's console, the unit facts the procedures find
// out, the page's settings and image, and the step program that runs against the boot loader.
// Main loop only.
#pragma once

#include "handlers/cup/brelt/recovery_step.h"
#include "handlers/cup/curtain/tftp_server.h"

#include <glib.h>
#include <sigc++/sigc++.h>

#include <cstdint>
#include <memory>
#include <string>

class SerialProtocol;

enum UserActivity { ACTIVITY_MAC = 1, ACTIVITY_DATE = 2, ACTIVITY_IMAGE = 3, ACTIVITY_REBOOT = 10 };

class RecoverySession : public sigc::trackable {
public:
    RecoverySession();
    ~RecoverySession();
    RecoverySession(const RecoverySession&) = delete;
    RecoverySession& operator=(const RecoverySession&) = delete;

    // Binds the session to the console on `portName` and reconnoitres it. 0; -505 while flashing.
    int attachProtocol(const std::string& portName);
    int detachProtocol();
    // Determines the prompt, then the flash size and the MAC address. 0; -400 without a console;
    // -505 while flashing.
    int reconnoitre();

    int setManualMac(bool manual);
    int setManualDate(bool manual);
    int setKeepDataPartition(bool keep);
    std::string macAddress() const { return mac; }
    int setMacAddress(const std::string& text);
    int setDate(const std::string& text);
    // Only images of exactly 32 or 64 MiB are read; a refused one leaves the previous image in use.
    // 0; -505, -2, -5 or -507.
    int loadImageFile(const std::string& path);
    int loadImageMemory(const uint8_t* data, size_t size);
    std::string serverAddress() const;
    std::string centralUnitAddress() const;
    // "" when taken, else why the address cannot work.
    std::string setServerAddress(const std::string& address);
    std::string setCentralUnitAddress(const std::string& address);
    int startFlashing();
    // After the page answered a user activity: runs what the waiting step left. 0, -504 or -508.
    int proceed();

    int runStep(RecoveryStep* step);
    void setOperationProgress(int done, int total, const std::string& description);
    void setTransferProgress(int done, int total) { setOperationProgress(done, total, ""); }
    int requestUserActivity(int activity, void (RecoverySession::*continuation)());
    int removeProgram();
    bool hasImage() const { return image != nullptr; }
    bool canFlash() const { return !flashing && hasImage(); }
    bool validateMac() const;
    bool validateDate() const;

    int getConsoleKind() const { return consoleKind; }
    int getFlashSizeMb() const { return flashSizeMb; }
    bool isFlashing() const { return flashing; }
    // A reconnaissance is loaded and has not ended yet.
    bool isReconnoitring() const { return programLoaded && !flashing; }
    bool isManualMac() const { return manualMac; }
    bool isManualDate() const { return manualDate; }
    bool keepsDataPartition() const { return keepDataPartition; }
    size_t imageSize() const { return image ? image->size() : 0; }
    TftpImage heldImage() const { return image; }
    // The image this port's earlier session held: a console that comes back finds it still loaded.
    void adoptImage(TftpImage kept);

    // Why the last program failed: a word for the kind ("console", "silent", "transfer", "checksum",
    // "answer") and a sentence for the technician.
    struct Failure {
        std::string cause;
        std::string reason;
    };
    const Failure& lastFailure() const { return failure; }
    // The image transfer of the running program: the bytes the unit acknowledged, of the image's.
    int64_t fetchedBytes() const { return fetched; }
    int64_t transferBytes() const { return transferTotal; }

    sigc::signal<void(int)> userActivityRequested;
    sigc::signal<void(int, int, int, int, const std::string&)> progressChanged;
    sigc::signal<void()> finished;
    sigc::signal<void()> failed;
    sigc::signal<void()> stepDone;
    sigc::signal<void()> stepFailed;

private:
    void nextStep();
    void onStepFailed();
    void onDisconnected();
    void onAnswerTimedOut();
    // Ends the running step as failed, with the reason the page shows.
    void failStep(const char* cause, const std::string& reason);
    bool transferring() const;
    void onTransferBytes(int64_t done, int64_t total);
    void onTransferEnded(bool completed, int64_t done, int64_t total);
    std::string fetchedText(const char* verb) const;
    void reportProgress();
    bool validateImage(size_t size) const;
    // Takes `bytes` as the session's image and the TFTP server's, in place of the previous one.
    int takeImage(std::shared_ptr<std::vector<uint8_t>> bytes);
    // Registers `prompt` at the end of the text for `handler`, then sends `line`. A send that the
    // console refuses fails the step at once.
    void exchange(const std::string& prompt, void (RecoverySession::*handler)(GByteArray*),
                  const std::string& line, unsigned timeoutMs);

    // The reconnaissance (proc_recon).
    void reconDeterminePrompt();
    void reconDetermineParameters();
    void reconOnUBootPrompt(GByteArray* text);
    void reconOnLinuxPrompt(GByteArray* text);
    void reconOnUBootParams(GByteArray* text);
    void reconOnLinuxInfo(GByteArray* text);
    // The "flashsize" and "ethaddr" lines of a boot loader's "bdinfo" listing, when received whole.
    // The reconnaissance and the flash program each write the size's unit their own way.
    void readSystemInfo(const GByteArray* text, const char* sizeUnit);

    // The flash program (proc_flash).
    int flashBuildProgram();
    void flashDetermineSystemInfo();
    void flashUnprotect();
    void flashUBoot();
    void flashSystem();
    void flashCopyNextBlock(GByteArray* text);
    void flashEnterUBoot();
    void flashSetUBootVar(const std::string& name, const std::string& value);
    void flashTransferFile(const std::string& fileName);
    void flashCheckCrc();
    void flashCompareUBoot();
    void flashEraseUBoot();
    void flashEraseSystem();
    void flashReboot();
    void flashRetryTransfer();
    void flashRetryMac();
    void flashRetryDate();
    void flashOnSystemInfo(GByteArray* text);
    void flashOnUnprotect(GByteArray* text);
    void flashOnSetVar(GByteArray* text);
    void flashOnCrc(GByteArray* text);
    void flashOnCompare(GByteArray* text);
    void flashOnEraseUBoot(GByteArray* text);
    void flashOnEraseSystem(GByteArray* text);
    void flashOnUBootEraseDots(GByteArray* text);
    void flashOnSystemEraseDots(GByteArray* text);
    void flashEmitStepDone(GByteArray* text);
    void flashEscapeToUBoot(GByteArray* text);
    void flashOnUBootAfterEscape(GByteArray* text);
    void flashOnBufferCleared(GByteArray* text);
    void flashOnLinuxInsteadOfUBoot(GByteArray* text);
    void flashOnUnexpectedLinux(GByteArray* text);
    void flashOnUBootBanner(GByteArray* text);
    void flashOnMacPrompt(GByteArray* text);
    void flashOnDatePrompt(GByteArray* text);
    void flashOnEraseQuestion(GByteArray* text);
    void flashOnNandProgress(GByteArray* text);
    void flashOnUnitReady(GByteArray* text);
    void flashSendMac();
    void flashSendDate(const std::string& answer);
    // Registers a pattern for `handler` (prompts at the end, questions anywhere).
    void await(const std::string& pattern, void (RecoverySession::*handler)(GByteArray*), bool anywhere = false);
    // Sends one line of the running step; a refused send fails the step at once.
    void sendLine(const std::string& line, unsigned timeoutMs);
    uint32_t imageBytes() const { return static_cast<uint32_t>(flashSizeMb) << 20; }

    std::unique_ptr<SerialProtocol> protocol;
    sigc::connection portGoneConnection;
    sigc::connection timedOutConnection;

    int32_t flashSizeMb = -1;
    int32_t consoleKind = 0;
    uint32_t eraseBlockSize = 0x20000;
    uint32_t copyHalfWords = 0x10000;
    uint32_t ubootBlocks = 2;
    std::string ubootPrompt = "=> ";
    std::string linuxPrompt = "# ";
    uint32_t loadAddress = 0x09000000;
    uint32_t flashBase = 0xA0000000;
    bool ubootIdentical = false;
    uint32_t copySource = 0;
    uint32_t copyDestination = 0;
    uint32_t nextBlock = 0;
    int32_t blockCount = 0;

    bool manualMac = false;
    bool manualDate = false;
    bool keepDataPartition = true;
    std::string mac;
    std::string date;

    // Shared with the TFTP server and its running transfers: never freed under them.
    std::shared_ptr<const std::vector<uint8_t>> image;

    bool flashing = false;
    bool awaitingImage = false;
    bool programLoaded = false;
    int32_t waitState = 0;
    void (RecoverySession::*pendingContinuation)() = nullptr;
    RecoverySteps steps;
    RecoverySteps::iterator currentStep;

    Failure failure;
    unsigned answerTimeoutMs = 0; // of the line in flight
    int64_t fetched = 0;
    int64_t transferTotal = 0;
    bool transferComplete = false;

    int32_t operationDone = 0;
    int32_t operationTotal = 0;
    int32_t weightDone = 0;
    int32_t weightTotal = 0;
    std::string operationDescription;
};

// The session that the recovery page works with; cleared when its port's session is destroyed.
// Main loop only.
extern RecoverySession* selectedSession;
