// One central unit: what the server knows of it, its liveness and control state, its frame
// channel and the job of operations run on it.
#pragma once

#include "handlers/cup/brelt/operations/modules.h"
#include "handlers/cup/brelt/operations/operation.h"

#include <sigc++/sigc++.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

class RundisProtocol;
class InfoOperation;
class SerialProtocol;

class Brelt : public sigc::trackable {
public:
    enum UnitStatus { UP = 0, PROBABLY_DOWN = 1, DOWN = 2, REBOOTING = 3, FLASHING = 4, LOCKED = 5 };
    enum ControlStatus { NOT_RESPONDING = 0, FREE = 1, TAKING = 2, TAKEN = 3, RELEASING = 4 };

    Brelt(const std::string& unitId, int initialStatus);
    virtual ~Brelt();
    Brelt(const Brelt&) = delete;
    Brelt& operator=(const Brelt&) = delete;

    virtual bool isSupported(const std::string& line);
    virtual std::string check(const std::string& line);
    virtual int queueCommand(const std::string& line);
    virtual void onProgramDone() {}
    virtual void onProgramFailed() {}
    virtual void isInteractive() {}
    virtual void isSilent() {}

    int getStatus() const { return status; }
    std::string getStatusText() const;
    void setStatus(int value);
    int getControlStatus() const { return controlStatus; }
    void setControlStatus(int value);
    std::string getStateText();
    const std::string& getMac() const { return mac; }
    std::string getSetting(const std::string& key);
    int setSetting(const std::string& key, const std::string& value);
    int eraseSetting(const std::string& key);
    bool getFlag(const std::string& key);
    int setFlag(const std::string& key, bool value);
    int eraseFlag(const std::string& key);
    void setIpAddress(const uint8_t* bytes);
    void setRundisVersion(const uint8_t* bytes);
    int getProtocolVersion() const { return protocolVersion; }
    int setProtocolVersion(int value);
    RundisProtocol* getProtocol() const { return protocol.get(); }
    // The console of a unit found on a serial port; the unit takes ownership. 0.
    int setSerialProtocol(SerialProtocol* value);
    SerialProtocol* getSerialProtocol() const { return serialProtocol.get(); }
    int setBusy(bool value);
    bool isMarked() const;
    void setMarked();
    int feedAnnouncement(const FrameHeader* header);
    int getBeardLength() const { return beardLength; }
    int getResultCode() const { return failed ? resultCode : 0; }
    // Why the last program failed, in words for the person who started it (empty unless it failed).
    std::string getFailureReason() const { return failed ? failureReason : std::string(); }
    int getProgramState();
    // Ends the running program as failed with `code` (the unit's queue dropped, control in doubt);
    // nothing when none runs. `words` says why to a person, when `reason` does not.
    void abortProgram(int code, const std::string& reason, const std::string& words = "");
    // How the last program ended: what an object that replaces this one for the same unit reports.
    struct Outcome {
        bool failed = false;
        int32_t resultCode = 0;
        std::string failureReason;
    };
    Outcome getOutcome() const { return {failed, resultCode, failureReason}; }
    void takeOutcome(const Outcome& outcome);
    int getOverallCurrent() const { return weightBefore + currentProgress; }
    int getOverallTotal() const { return weightTotal; }
    std::string getProgressText() const { return progressText; }
    void setDownloadDir(const std::string& dir) { downloadDir = dir; }
    // Appends to the job; while it runs, the operation's weight joins the total.
    void appendOperation(Operation* operation);
    // The packed announcement archive of the last packing (empty when none).
    std::vector<uint8_t>& getAnnouncementPackage() { return announcementPackage; }
    int addModule(const UnitModule& module);
    int clearModules();
    UnitModule* findModule(const std::string& name);
    std::list<UnitModule> getModules() const { return modules; }

    int runProgram();
    int startOperation(Operation* operation);
    void onProgress(int weighted, const std::string& text);
    void onOperationDone(bool success);
    Job::iterator findRelease();

    sigc::signal<void(Brelt*, int)> statusChanged;
    sigc::signal<void(const std::string&, int, int, const std::string&)> progress;
    sigc::signal<void(const std::string&)> programDone;
    sigc::signal<void(const std::string&, const std::string&)> programFailed;

protected:
    // Drops the running job: its operations no longer reach the runner and go to deferred deletion.
    void dropJob();
    // Ends a program that was dropped before its end, telling whoever waits for it.
    void abandonProgram(int code, const std::string& reason, const std::string& words = "");

    std::string modeCommand;
    Job job;
    Job::iterator current;
    int32_t weightBefore = 0;
    int32_t weightTotal = 0;
    int32_t currentProgress = 0;
    int32_t currentWeight = 0;
    bool failed = false;
    int32_t resultCode = 0;
    std::string failureReason;
    std::string progressText;
    std::string downloadDir = "./";
    sigc::connection operationDoneConnection;
    sigc::connection operationProgressConnection;
    std::list<UnitModule> modules;
    std::vector<uint8_t> announcementPackage;
    std::map<std::string, std::string> settings;
    int status;
    int controlStatus = FREE;
    bool busy = false;
    bool removalMark = false;
    std::map<std::string, bool> flags;
    int protocolVersion = -1;
    int32_t beardLength = -60;

private:
    const std::string mac;
    std::unique_ptr<RundisProtocol> protocol;
    std::unique_ptr<InfoOperation> infoOperation;
    std::unique_ptr<SerialProtocol> serialProtocol;
};
