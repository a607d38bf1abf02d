// One request-and-answer exchange with a unit: the request, the answers it waits for, a time-out
// and one verdict on `done`.
#pragma once

#include "handlers/cup/network/frame.h"

#include <sigc++/sigc++.h>

#include <chrono>
#include <cstdint>
#include <list>
#include <optional>
#include <string>

class Brelt;
class RundisProtocol;
class SerialProtocol;

class Operation : public sigc::trackable {
public:
    explicit Operation(Brelt* unit);
    virtual ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    virtual int run();
    virtual void succeed();
    virtual void cleanup();
    virtual bool onTimeout();

    std::string getName() const { return name; }
    std::string getProgressText() const { return progressText; }
    int32_t getWeight() const { return weight; }
    int setWeight(int32_t value);
    int32_t getWeightedProgress() const;
    void setProgress(int32_t current, const std::string& text);
    void setMarked() { marked = true; }
    void clearMarked() { marked = false; }
    bool isMarked() const { return marked; }
    int32_t getResultCode() const { return resultCode; }
    // Why the operation failed, in words for the person who started the job (empty before a failure).
    const std::string& getFailureReason() const { return failureReason; }
    // What it means when the unit falls silent while this operation runs.
    virtual std::string silenceReason() const { return "the unit stopped answering"; }
    uint32_t getThreadId() const { return threadId; }
    void setThreadId(uint32_t id) { threadId = id; }
    void setProtocol(RundisProtocol* value) { protocol = value; }
    void setSerialProtocol(SerialProtocol* value) { serialProtocol = value; }

    sigc::signal<void(bool)> done;
    sigc::signal<void(int, const std::string&)> progress;

protected:
    // The unit id that opens every log line ("serial" for an operation without a unit).
    const char* unitId() const;
    // Arms the answer time-out of `timeoutMs`.
    void armTimeout();
    // Hooks an answer type on the unit's channel, this operation as its owner. An ERR answer's
    // code and words are kept for the failure reason before `slot` runs.
    void hookAnswer(uint8_t type, sigc::slot<void(const FrameHeader*)> slot);
    // Arms the time-out and queues the request.
    int sendRequest(const FrameBuffer& frame);
    // At a time-out: true (and the time-out armed again) while the unit still talks and holds the
    // request, or the channel still resends it, within the patience given to a slow unit.
    bool waitLonger();
    // Why the request got no answer: a silent unit, or one that talks but did not answer it.
    std::string timeoutReason() const;
    // The unit sent something since the request, and lately.
    bool unitTalks() const;
    // The unit's own code and words of its last ERR answer, as " (error -2: no such file)", or empty.
    std::string refusalWords() const;
    // An accepted answer: cleanup, the full weight reported, done with true.
    void finish();
    // An error answer: cleanup, then done with false, unless the mark is honoured and set.
    void fail(bool honourMark);

    sigc::connection timeoutConnection;
    std::string name = "dummy operation";
    int32_t progressCurrent = 0;
    int32_t progressTotal = 1;
    std::string progressText;
    int32_t weight = 100;
    bool marked = false;
    Brelt* unit;
    int32_t timeoutMs = 2000;
    int32_t resultCode = -1;
    std::string failureReason;
    std::string refusal;
    std::optional<uint32_t> requestFid;
    std::chrono::steady_clock::time_point askedAt;
    RundisProtocol* protocol;
    SerialProtocol* serialProtocol = nullptr; // the console of the serial operations
    uint32_t threadId;

private:
    void onRefusal(const FrameHeader* answer);

    sigc::slot<void(const FrameHeader*)> refusalSlot;
    // Kept by value: a finished operation may be deleted after its unit.
    std::string mac;
};

using Job = std::list<Operation*>;

// Copies `text` into a field of `width` bytes as strncpy does: cut at the width, zero-padded.
void putText(uint8_t* field, size_t width, const std::string& text);
// The answer's text from payload offset `offset`, ending at its first zero or the frame's end.
std::string answerText(const FrameHeader* answer, size_t offset);

int32_t operationsWeight(const Job& job);
int32_t operationsWeightBefore(Job::const_iterator position, const Job& job);
bool findOperation(const Job& job, const std::string& name);
int deleteOperations(Job& job);

// The id of the calling OS thread.
uint32_t currentThreadId();
