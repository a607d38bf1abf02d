#include "handlers/cup/brelt/brelt.h"

#include "common/logger.h"
#include "handlers/cup/brelt/operations/info.h"
#include "handlers/cup/brelt/protocol.h"
#include "handlers/cup/serial/serial_protocol.h"

#include <algorithm>

namespace {

const char* statusWord(int status)
{
    static const char* const words[] = {"up", "probably down", "down", "rebooting", "flashing", "locked"};
    return status >= 0 && status <= 5 ? words[status] : "unknown!";
}

const char* controlWord(int status)
{
    static const char* const words[] = {"not responding", "free", "taking", "taken", "releasing"};
    return status >= 0 && status <= 4 ? words[status] : "unknown!";
}

bool beginsWith(const std::string& line, const char* text) { return line.rfind(text, 0) == 0; }

} // namespace

Brelt::Brelt(const std::string& unitId, int initialStatus) : current(job.end()), status(initialStatus), mac(unitId)
{
    settings["mac"] = unitId;
    flags["program running"] = false;
    protocol = std::make_unique<RundisProtocol>(this);
    infoOperation = std::make_unique<InfoOperation>(this);
}

Brelt::~Brelt()
{
    if (getFlag("program running")) abandonProgram(-2, "unit dropped", "the unit left the network during the job");
    // The unit owns its job: operations queued on it and never run go with it.
    deleteOperations(job);
    infoOperation.reset();
    protocol.reset();
    serialProtocol.reset();
    LOG(LOG_BRELT, "end of destructor\n");
}

int Brelt::setSerialProtocol(SerialProtocol* value)
{
    serialProtocol.reset(value);
    return 0;
}

void Brelt::dropJob()
{
    operationDoneConnection.disconnect();
    operationProgressConnection.disconnect();
    // The running operation hears no more answers: a late one would add its follow-ups (the module
    // infos of a module list) to a job that no longer runs, where nobody deletes or ends them.
    if (getFlag("program running") && current != job.end()) (*current)->cleanup();
    deleteOperations(job);
    current = job.end();
    flags["program running"] = false;
}

void Brelt::abandonProgram(int code, const std::string& reason, const std::string& words)
{
    // A job already failing keeps its first reason: the drop only cut its release short.
    if (!failed || failureReason.empty()) failureReason = words.empty() ? reason : words;
    failed = true;
    resultCode = code;
    dropJob();
    modeCommand.clear();
    LOG(LOG_BRELT, "brelt %s : program abandoned (%s)\n", mac.c_str(), reason.c_str());
    programFailed.emit(mac, reason);
}

bool Brelt::isSupported(const std::string&) { return false; }

std::string Brelt::check(const std::string& line)
{
    if (!isSupported(line)) return "command not supported";
    if (beginsWith(line, "interactive off")) return "ok";
    if (getFlag("program running")) return "operation in progress";
    if (status == PROBABLY_DOWN) return "Central Unit is not responding";
    if (status == DOWN) return "down";
    if (status == LOCKED) return beginsWith(line, "unlock") ? "ok" : "Central Unit is locked";
    if (getFlag("interactive")) return beginsWith(line, "interactive on") ? "already done" : "ok";
    if (busy) return "busy";
    return "ok";
}

int Brelt::queueCommand(const std::string& line)
{
    LOG(LOG_BRELT, "brelt %s : queue command %s\n", mac.c_str(), line.c_str());
    LOG(LOG_BRELT, "brelt %s : command not supported\n", mac.c_str());
    return -10;
}

std::string Brelt::getStatusText() const { return statusWord(status); }

void Brelt::setStatus(int value)
{
    status = value;
    LOG(LOG_BRELT, "brelt %s : status changed to ", mac.c_str());
    LOG(LOG_BRELT, "%s", statusWord(value));
    LOG(LOG_BRELT, "\n");
    if (value == DOWN) {
        isInteractive();
        const bool running = getFlag("program running") && current != job.end();
        abortProgram(-2, "unit down", running ? (*current)->silenceReason() : "");
    } else if (value == LOCKED) {
        isSilent();
    }
    statusChanged.emit(this, value);
}

void Brelt::setControlStatus(int value)
{
    controlStatus = value;
    LOG(LOG_BRELT, "brelt %s : control status changed to ", mac.c_str());
    LOG(LOG_BRELT, "%s", controlWord(value));
    LOG(LOG_BRELT, "\n");
}

std::string Brelt::getStateText()
{
    if (getFlag("program running") || getFlag("interactive")) return "updating";
    if (status == PROBABLY_DOWN || status == DOWN || status == LOCKED) return statusWord(status);
    if (busy) return "busy";
    return statusWord(status);
}

std::string Brelt::getSetting(const std::string& key) { return settings[key]; }

int Brelt::setSetting(const std::string& key, const std::string& value)
{
    settings[key] = value;
    return 0;
}

int Brelt::eraseSetting(const std::string& key)
{
    settings.erase(key);
    return 0;
}

bool Brelt::getFlag(const std::string& key) { return flags[key]; }

int Brelt::setFlag(const std::string& key, bool value)
{
    auto [it, added] = flags.try_emplace(key, value);
    if (!added && it->second == value) return -3;
    it->second = value;
    return 0;
}

int Brelt::eraseFlag(const std::string& key)
{
    flags.erase(key);
    return 0;
}

void Brelt::setIpAddress(const uint8_t* bytes)
{
    settings["ip"] = std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) +
                     "." + std::to_string(bytes[3]);
}

void Brelt::setRundisVersion(const uint8_t* bytes)
{
    settings["rundis"] =
        std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]);
}

int Brelt::setProtocolVersion(int value)
{
    protocolVersion = value;
    return 0;
}

int Brelt::setBusy(bool value)
{
    busy = value;
    return 0;
}

bool Brelt::isMarked() const
{
    LOG(LOG_BRELT, "ko %p %s marked ? %d\n", static_cast<const void*>(this), mac.c_str(), removalMark);
    return removalMark;
}

void Brelt::setMarked()
{
    LOG(LOG_BRELT, "k %p %s marked: %d\n", static_cast<const void*>(this), mac.c_str(), removalMark);
    removalMark = true;
    LOG(LOG_BRELT, "k %p %s marked: %d\n", static_cast<const void*>(this), mac.c_str(), removalMark);
}

int Brelt::feedAnnouncement(const FrameHeader* header)
{
    if (infoOperation) infoOperation->parseAnnouncement(header);
    return 0;
}

int Brelt::getProgramState()
{
    if (getFlag("program running")) return 2;
    return failed ? 1 : 0;
}

void Brelt::abortProgram(int code, const std::string& reason, const std::string& words)
{
    if (!getFlag("program running")) return;
    protocol->reset();
    controlStatus = NOT_RESPONDING;
    abandonProgram(code, reason, words);
}

void Brelt::takeOutcome(const Outcome& outcome)
{
    failed = outcome.failed;
    resultCode = outcome.resultCode;
    failureReason = outcome.failureReason;
}

void Brelt::appendOperation(Operation* operation)
{
    job.push_back(operation);
    if (getFlag("program running")) weightTotal += operation->getWeight();
}

int Brelt::addModule(const UnitModule& module)
{
    modules.push_back(module);
    return 0;
}

int Brelt::clearModules()
{
    modules.clear();
    return 0;
}

UnitModule* Brelt::findModule(const std::string& name)
{
    for (UnitModule& module : modules) {
        if (module.name == name) return &module;
    }
    return nullptr;
}

int Brelt::runProgram()
{
    LOG(LOG_BRELT, "brelt %s : executing program\n", mac.c_str());
    if (getFlag("program running")) {
        LOG(LOG_BRELT, "brelt %s : ERROR program already running\n", mac.c_str());
        return -600;
    }
    if (job.empty()) {
        // Nothing was done: the program fails at once rather than report work it never did.
        failed = true;
        resultCode = -1;
        failureReason = "the unit has nothing to do for this command";
        weightBefore = currentProgress = currentWeight = weightTotal = 0;
        modeCommand.clear();
        onProgramFailed();
        programFailed.emit(mac, "nothing to do");
        return 0;
    }
    current = job.begin();
    weightBefore = 0;
    currentProgress = 0;
    currentWeight = (*current)->getWeight();
    weightTotal = operationsWeight(job);
    flags["program running"] = true;
    failed = false;
    failureReason.clear();
    LOG(LOG_BRELT, "1 %s", (*current)->getName().c_str());
    startOperation(*current);
    LOG(LOG_BRELT, "1");
    return 0;
}

int Brelt::startOperation(Operation* operation)
{
    currentProgress = 0;
    currentWeight = operation->getWeight();
    progressText = operation->getProgressText();
    operationProgressConnection = operation->progress.connect(sigc::mem_fun(*this, &Brelt::onProgress));
    operationDoneConnection = operation->done.connect(sigc::mem_fun(*this, &Brelt::onOperationDone));
    operation->run();
    return 0;
}

void Brelt::onProgress(int weighted, const std::string& text)
{
    currentProgress = std::min(weighted, currentWeight);
    if (!text.empty()) progressText = text;
    LOG(LOG_BRELT, "brelt %s : overall progress %d/%d (%s)\n", mac.c_str(), weightBefore + currentProgress, weightTotal,
        progressText.c_str());
    if (!failed) progress.emit(mac, weightBefore + currentProgress, weightTotal, progressText);
}

void Brelt::onOperationDone(bool success)
{
    LOG(LOG_BRELT, "brelt %s : got operation status %d\n", mac.c_str(), success ? 1 : 0);
    operationDoneConnection.disconnect();
    operationProgressConnection.disconnect();
    if (!success) {
        LOG(LOG_BRELT, "brelt %s : ERROR: operation failed (%s), jump to cleanup\n", mac.c_str(),
            (*current)->getName().c_str());
        // The first failure is the reason; a failing release after it only ends the job.
        if (!failed) {
            const std::string& words = (*current)->getFailureReason();
            failureReason = words.empty() ? "the step \"" + (*current)->getName() + "\" failed" : words;
            resultCode = (*current)->getResultCode();
        }
        failed = true;
        current = findRelease();
    } else {
        ++current;
        const uint32_t thread = job.front()->getThreadId();
        while (current != job.end() && (*current)->getThreadId() != thread) {
            LOG(LOG_BRELT, "brelt %s : omitting `%s` (wrong tid!)\n", mac.c_str(), (*current)->getName().c_str());
            ++current;
        }
    }
    currentProgress = current == job.end() ? 0 : (*current)->getWeightedProgress();
    currentWeight = current == job.end() ? 0 : (*current)->getWeight();
    weightBefore = operationsWeightBefore(current, job);
    LOG(LOG_BRELT, "brelt %s : overall progress %d/%d\n", mac.c_str(), weightBefore + currentProgress, weightTotal);
    if (!failed) progress.emit(mac, weightBefore + currentProgress, weightTotal, progressText);
    if (current != job.end()) {
        LOG(LOG_BRELT, "brelt %s : next operation is %s\n", mac.c_str(), (*current)->getName().c_str());
        startOperation(*current);
        return;
    }
    LOG(LOG_BRELT, "brelt %s : no operations left\n", mac.c_str());
    deleteOperations(job);
    current = job.end();
    flags["program running"] = false;
    if (failed) {
        onProgramFailed();
        programFailed.emit(mac, "just like that");
    } else {
        onProgramDone();
        programDone.emit(mac);
    }
    modeCommand.clear();
}

Job::iterator Brelt::findRelease()
{
    for (auto it = std::next(current); it != job.end(); ++it) {
        if ((*it)->getName() == "release") return it;
    }
    return job.end();
}
