#include "handlers/cup/brelt/operations/operation.h"

#include "common/delete_later.h"
#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

#include <glibmm/main.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {
// A unit that still talks and holds the request (acknowledged), or whose copies of it are still
// being resent, gets this long in all before the step fails: frames get lost, and units are slow.
constexpr auto ANSWER_PATIENCE = std::chrono::seconds(10);
// While the request's copies are resent, the time-out looks again this often, so the step ends
// soon after the channel gives up on it.
constexpr auto RESEND_LOOK = std::chrono::milliseconds(500);
// Announcements come once a second: a unit heard this recently still talks.
constexpr auto TALKING_WITHIN = std::chrono::milliseconds(2500);
} // namespace

uint32_t currentThreadId() { return static_cast<uint32_t>(gettid()); }

Operation::Operation(Brelt* unit_)
    : unit(unit_), protocol(unit_ ? unit_->getProtocol() : nullptr), threadId(currentThreadId()),
      mac(unit_ ? unit_->getMac() : "serial")
{
}

Operation::~Operation()
{
    timeoutConnection.disconnect();
    LOG(LOG_OPERATION, "brelt %s : bye bye to operation: %s\n", unitId(), name.c_str());
}

const char* Operation::unitId() const { return mac.c_str(); }

int Operation::run() { return 0; }

void Operation::succeed() { done.emit(true); }

void Operation::cleanup()
{
    timeoutConnection.disconnect();
    if (protocol) protocol->unhookAll(this);
}

bool Operation::onTimeout()
{
    if (waitLonger()) return false;
    LOG(LOG_BRELT, "brelt %s : is not responding\n", unitId());
    failureReason = timeoutReason();
    cleanup();
    done.emit(false);
    return false;
}

void Operation::armTimeout()
{
    timeoutConnection.disconnect();
    timeoutConnection = Glib::signal_timeout().connect(sigc::mem_fun(*this, &Operation::onTimeout), timeoutMs);
}

void Operation::hookAnswer(uint8_t type, sigc::slot<void(const FrameHeader*)> slot)
{
    if (type == MSG_ERR) {
        refusalSlot = std::move(slot);
        protocol->hook(this, type, sigc::mem_fun(*this, &Operation::onRefusal));
        return;
    }
    protocol->hook(this, type, std::move(slot));
}

void Operation::onRefusal(const FrameHeader* answer)
{
    const size_t size = answer->pl > FRAME_HEADER_SIZE ? answer->pl - FRAME_HEADER_SIZE : 0;
    if (size >= 2) {
        const int16_t code = static_cast<int16_t>(answer->payload()[0] | (answer->payload()[1] << 8));
        // The unit's own code, whichever operation it answers: a failure then names it.
        resultCode = code;
        const std::string words = answerText(answer, 2);
        refusal = " (error " + std::to_string(code) + (words.empty() ? "" : ": " + words) + ")";
    } else {
        refusal = " (no code given)";
    }
    refusalSlot(answer);
}

std::string Operation::refusalWords() const { return refusal; }

int Operation::sendRequest(const FrameBuffer& frame)
{
    armTimeout();
    askedAt = std::chrono::steady_clock::now();
    const int result = protocol->send(&frame.header);
    if (result == 0 || result == -1) requestFid = protocol->lastQueuedFid();
    return result;
}

bool Operation::unitTalks() const
{
    const auto heard = protocol->lastHeard();
    return heard > askedAt && std::chrono::steady_clock::now() - heard < TALKING_WITHIN;
}

bool Operation::waitLonger()
{
    if (!protocol || !requestFid || !unitTalks()) return false;
    const bool held = protocol->isAcknowledged(*requestFid);
    if (!held && !protocol->isQueued(*requestFid)) return false;
    const auto now = std::chrono::steady_clock::now();
    const auto patience = std::max<std::chrono::steady_clock::duration>(ANSWER_PATIENCE,
                                                                        std::chrono::milliseconds(timeoutMs));
    if (now - askedAt >= patience) return false;
    LOG(LOG_BRELT, "brelt %s : no answer to %s yet, but the unit still talks: waiting longer\n", unitId(),
        name.c_str());
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(patience - (now - askedAt));
    const long look = held ? timeoutMs : RESEND_LOOK.count();
    timeoutConnection.disconnect();
    timeoutConnection = Glib::signal_timeout().connect(sigc::mem_fun(*this, &Operation::onTimeout),
                                                       std::min<long>(left.count(), look));
    return true;
}

std::string Operation::timeoutReason() const
{
    if (!protocol || !requestFid || !unitTalks()) return silenceReason();
    const auto waited = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - askedAt);
    const std::string within = " within " + std::to_string(waited.count()) + " s";
    if (protocol->isAcknowledged(*requestFid))
        return "the unit acknowledged \"" + name + "\" but did not answer" + within;
    return "the unit did not acknowledge \"" + name + "\"" + within + ", although it still announces itself";
}

void Operation::finish()
{
    cleanup();
    setProgress(progressTotal, "");
    done.emit(true);
}

void Operation::fail(bool honourMark)
{
    cleanup();
    if (honourMark && marked) {
        LOG(LOG_BRELT, "brelt %s : continuing anyway...\n", unitId());
        setProgress(progressTotal, "");
        done.emit(true);
        return;
    }
    if (failureReason.empty()) failureReason = "the unit refused the step \"" + name + "\"" + refusal;
    done.emit(false);
}

void putText(uint8_t* field, size_t width, const std::string& text)
{
    const size_t n = std::min(width, text.size());
    memcpy(field, text.data(), n);
    memset(field + n, 0, width - n);
}

std::string answerText(const FrameHeader* answer, size_t offset)
{
    const size_t size = answer->pl > FRAME_HEADER_SIZE ? answer->pl - FRAME_HEADER_SIZE : 0;
    return fieldText(answer->payload(), size, offset, size);
}

int Operation::setWeight(int32_t value)
{
    weight = value;
    return 0;
}

int32_t Operation::getWeightedProgress() const
{
    // A unit can announce zero parts: nothing to divide then, the operation counts as not begun.
    if (progressTotal <= 0) return 0;
    return static_cast<int32_t>(static_cast<double>(weight) * progressCurrent / progressTotal);
}

void Operation::setProgress(int32_t current, const std::string& text)
{
    LOG(LOG_OPERATION, "brelt %s : operation progress %d/%d %s\n", unitId(), current, progressTotal, text.c_str());
    if (current < progressCurrent || current > progressTotal) {
        LOG(LOG_OPERATION, "brelt %s : ERROR operation progress reverse or out of bounds!\n", unitId());
        return;
    }
    progressCurrent = current;
    if (!text.empty()) progressText = text;
    progress.emit(getWeightedProgress(), progressText);
}

int32_t operationsWeight(const Job& job)
{
    int32_t sum = 0;
    for (const Operation* operation : job) sum += operation->getWeight();
    return sum;
}

int32_t operationsWeightBefore(Job::const_iterator position, const Job& job)
{
    if (position == job.end()) return operationsWeight(job);
    int32_t sum = 0;
    for (const Operation* operation : job) {
        if (operation == *position) return sum;
        sum += operation->getWeight();
    }
    return 0;
}

bool findOperation(const Job& job, const std::string& name)
{
    for (const Operation* operation : job) {
        if (operation->getName() == name) return true;
    }
    return false;
}

int deleteOperations(Job& job)
{
    while (!job.empty()) {
        deleteLater(job.front());
        job.pop_front();
    }
    return 0;
}
