#include "handlers/cup/brelt/operations/lock.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

#include <cstring>

namespace {

// The secret and its zero in the 1024-byte payload. A longer secret is never cut into another
// one: the operation fails before anything is sent.
bool secretFrame(FrameBuffer& frame, uint8_t type, const std::string& secret)
{
    if (secret.size() >= FRAME_PAYLOAD_SIZE) return false;
    frame.header.t = type;
    memcpy(frame.payload, secret.data(), secret.size());
    frame.header.pl = static_cast<uint16_t>(FRAME_HEADER_SIZE + secret.size() + 1);
    return true;
}

} // namespace

SetSilentOperation::SetSilentOperation(Brelt* unit, const std::string& password_)
    : Operation(unit), password(password_)
{
    name = "set silent";
    progressText = "locking";
    weight = 10;
}

int SetSilentOperation::run()
{
    FrameBuffer frame;
    if (!secretFrame(frame, MSG_SON, password)) {
        LOG(LOG_BRELT, "brelt %s : password too long, not sent\n", unitId());
        done.emit(false);
        return -1;
    }
    hookAnswer(MSG_SUC, sigc::mem_fun(*this, &SetSilentOperation::onSuccess));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &SetSilentOperation::onError));
    return sendRequest(frame);
}

void SetSilentOperation::succeed()
{
    LOG(LOG_BRELT_DETAIL, "brelt %s : silence mode forced\n", unitId());
    cleanup();
    done.emit(true);
}

void SetSilentOperation::onSuccess(const FrameHeader*)
{
    cleanup();
    unit->setStatus(Brelt::LOCKED);
    done.emit(true);
}

void SetSilentOperation::onError(const FrameHeader*) { fail(false); }

SetVerboseOperation::SetVerboseOperation(Brelt* unit, const std::string& password_)
    : Operation(unit), password(password_)
{
    name = "set verbose";
    progressText = "unlocking";
    weight = 10;
}

int SetVerboseOperation::run()
{
    FrameBuffer frame;
    if (!secretFrame(frame, MSG_SOF, password)) {
        LOG(LOG_BRELT, "brelt %s : password too long, not sent\n", unitId());
        done.emit(false);
        return -1;
    }
    const int result = protocol->send(&frame.header);
    done.emit(true);
    return result;
}

UnbrickOperation::UnbrickOperation(Brelt* unit, const std::string& key_) : Operation(unit), key(key_)
{
    name = "unbrick";
    progressText = "enabling";
    weight = 10;
}

int UnbrickOperation::run()
{
    FrameBuffer frame;
    if (!secretFrame(frame, MSG_UNBRICK, key)) {
        LOG(LOG_BRELT, "brelt %s : key too long, not sent\n", unitId());
        done.emit(false);
        return -1;
    }
    hookAnswer(MSG_SUC, sigc::mem_fun(*this, &UnbrickOperation::onSuccess));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &UnbrickOperation::onError));
    return sendRequest(frame);
}

void UnbrickOperation::succeed()
{
    LOG(LOG_BRELT_DETAIL, "brelt %s : was unbricked\n", unitId());
    cleanup();
    done.emit(true);
}

void UnbrickOperation::onSuccess(const FrameHeader*)
{
    cleanup();
    unit->setStatus(Brelt::LOCKED);
    done.emit(true);
}

void UnbrickOperation::onError(const FrameHeader* answer)
{
    if (answer->pl >= FRAME_HEADER_SIZE + 2)
        resultCode = static_cast<int16_t>(answer->payload()[0] | (answer->payload()[1] << 8));
    fail(false);
}

FlashOperation::FlashOperation(Brelt* unit, int timeout) : Operation(unit)
{
    name = "flash";
    timeoutMs = timeout;
}

int FlashOperation::run()
{
    unit->setStatus(Brelt::FLASHING);
    hookAnswer(MSG_SUC, sigc::mem_fun(*this, &FlashOperation::onSuccess));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &FlashOperation::onError));
    FrameBuffer frame;
    frame.header.t = MSG_FLASH;
    frame.header.pl = FRAME_HEADER_SIZE;
    return sendRequest(frame);
}

void FlashOperation::onSuccess(const FrameHeader*)
{
    cleanup();
    done.emit(true);
}

void FlashOperation::onError(const FrameHeader*) { fail(false); }
