#include "handlers/cup/brelt/operations/operation.h"

#include "common/delete_later.h"
#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

#include <glibmm/main.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>

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
    LOG(LOG_BRELT, "brelt %s : is not responding\n", unitId());
    failureReason = silenceReason();
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
    if (type != MSG_ERR) {
        protocol->hook(this, type, std::move(slot));
        return;
    }
    // A refusal that carries the unit's code keeps it, whichever operation it answers: a failure
    // then names the unit's own code.
    protocol->hook(this, type, [this, slot = std::move(slot)](const FrameHeader* answer) {
        if (answer->pl >= FRAME_HEADER_SIZE + 2)
            resultCode = static_cast<int16_t>(answer->payload()[0] | (answer->payload()[1] << 8));
        slot(answer);
    });
}

int Operation::sendRequest(const FrameBuffer& frame)
{
    armTimeout();
    return protocol->send(&frame.header);
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
    if (failureReason.empty()) failureReason = "the unit refused the step \"" + name + "\"";
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
