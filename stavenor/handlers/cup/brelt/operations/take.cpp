#include "handlers/cup/brelt/operations/take.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

#include <unistd.h>

#include <cstring>

TakeOperation::TakeOperation(Brelt* unit) : Operation(unit)
{
    name = "take";
    weight = 10;
    progressText = "taking";
}

int TakeOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : start taking\n", unitId());
    setProgress(0, progressText);
    FrameBuffer frame;
    char host[128] = "";
    if (gethostname(host, sizeof host) != 0) host[0] = 0;
    host[sizeof host - 1] = 0; // at most 127 characters and the zero
    const size_t length = strlen(host);
    memcpy(frame.payload, host, length);
    frame.header.t = MSG_UPD;
    frame.header.pl = static_cast<uint16_t>(FRAME_HEADER_SIZE + length + 1);
    hookAnswer(MSG_ALW, sigc::mem_fun(*this, &TakeOperation::onTaken));
    hookAnswer(MSG_DNY, sigc::mem_fun(*this, &TakeOperation::onNotTaken));
    hookAnswer(MSG_ALR, sigc::mem_fun(*this, &TakeOperation::onTaken));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &TakeOperation::onNotTaken));
    unit->setControlStatus(Brelt::TAKING);
    return sendRequest(frame);
}

void TakeOperation::onTaken(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : was taken\n", unitId());
    cleanup();
    setProgress(progressTotal, "");
    unit->setControlStatus(Brelt::TAKEN);
    done.emit(true);
}

void TakeOperation::onNotTaken(const FrameHeader* answer)
{
    LOG(LOG_BRELT, "brelt %s : was NOT taken\n", unitId());
    failureReason = answer->t == MSG_DNY ? "the unit denied control: another PC may hold it"
                                         : "the unit refused control" + refusalWords();
    cleanup();
    unit->setControlStatus(Brelt::FREE);
    done.emit(false);
}

bool TakeOperation::onTimeout()
{
    if (waitLonger()) return false;
    LOG(LOG_BRELT, "brelt %s : is not responding long enough\n", unitId());
    failureReason = timeoutReason();
    cleanup();
    unit->setControlStatus(Brelt::NOT_RESPONDING);
    done.emit(false);
    return false;
}
