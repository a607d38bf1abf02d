#include "handlers/cup/brelt/operations/release.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

ReleaseOperation::ReleaseOperation(Brelt* unit, bool force_) : Operation(unit), force(force_)
{
    name = "release";
    weight = 10;
    progressText = "releasing";
}

int ReleaseOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : start releasing\n", unitId());
    setProgress(0, progressText);
    if (unit->getFlag("interactive") && !force) {
        LOG(LOG_BRELT, "brelt %s : not released (interactive mode on)\n", unitId());
        done.emit(true);
        return 0;
    }
    FrameBuffer frame;
    frame.header.t = MSG_EOU;
    frame.header.pl = FRAME_HEADER_SIZE;
    hookAnswer(MSG_SUC, sigc::mem_fun(*this, &ReleaseOperation::onReleased));
    hookAnswer(MSG_ALR, sigc::mem_fun(*this, &ReleaseOperation::onReleased));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &ReleaseOperation::onNotReleased));
    unit->setControlStatus(Brelt::RELEASING);
    return sendRequest(frame);
}

void ReleaseOperation::onReleased(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : was released\n", unitId());
    cleanup();
    setProgress(progressTotal, "");
    unit->setControlStatus(Brelt::FREE);
    done.emit(true);
}

void ReleaseOperation::onNotReleased(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : was NOT released\n", unitId());
    cleanup();
    unit->setControlStatus(Brelt::TAKEN);
    done.emit(false);
}

bool ReleaseOperation::onTimeout()
{
    if (waitLonger()) return false;
    LOG(LOG_BRELT, "brelt %s : is not responding\n", unitId());
    failureReason = timeoutReason();
    cleanup();
    unit->setControlStatus(Brelt::NOT_RESPONDING);
    done.emit(false);
    return false;
}
