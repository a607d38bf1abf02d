#include "handlers/cup/brelt/operations/reboot.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

#include <glibmm/main.h>

RebootOperation::RebootOperation(Brelt* unit, int) : Operation(unit)
{
    name = "reboot";
    weight = 200;
    progressTotal = 11;
    progressText = "rebooting";
    timeoutMs = 40000;
}

RebootOperation::~RebootOperation() { tickConnection.disconnect(); }

int RebootOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : reboot...\n", unitId());
    setProgress(0, progressText);
    FrameBuffer frame;
    frame.header.t = MSG_RBT;
    frame.header.pl = FRAME_HEADER_SIZE;
    unit->setStatus(Brelt::REBOOTING);
    if (waitForAnswer) {
        hookAnswer(MSG_SUC, sigc::mem_fun(*this, &RebootOperation::onSucceeded));
        hookAnswer(MSG_ERR, sigc::mem_fun(*this, &RebootOperation::onFailed));
    }
    ticks = 0;
    tickConnection = Glib::signal_timeout().connect(sigc::mem_fun(*this, &RebootOperation::onTick), 1000);
    sendRequest(frame);
    if (!waitForAnswer) {
        // Done first, so the program ends as done; then the unit reads down until it announces again.
        Brelt* rebooted = unit;
        done.emit(true);
        rebooted->setStatus(Brelt::DOWN);
    }
    return 0;
}

bool RebootOperation::onTick()
{
    ++ticks;
    setProgress(std::min(ticks, progressTotal), "");
    return true;
}

void RebootOperation::cleanup()
{
    tickConnection.disconnect();
    Operation::cleanup();
}

void RebootOperation::onSucceeded(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : reboot succeeded\n", unitId());
    cleanup();
    setProgress(progressTotal, "");
    unit->setStatus(Brelt::UP);
    done.emit(true);
}

void RebootOperation::onFailed(const FrameHeader*)
{
    cleanup();
    LOG(LOG_BRELT, "brelt %s : reboot failed, code ?\n", unitId());
    unit->setStatus(Brelt::UP);
    done.emit(false);
}

bool RebootOperation::onTimeout()
{
    LOG(LOG_BRELT, "brelt %s : is not responding long enough\n", unitId());
    cleanup();
    unit->setStatus(Brelt::UP);
    done.emit(false);
    return false;
}

RefreshOperation::RefreshOperation(Brelt* unit) : Operation(unit)
{
    name = "refresh";
    weight = 10;
    progressText = "refreshing";
}

int RefreshOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : needs refresh...\n", unitId());
    setProgress(0, progressText);
    FrameBuffer frame;
    frame.header.t = MSG_TTM;
    frame.header.pl = FRAME_HEADER_SIZE;
    protocol->send(&frame.header);
    done.emit(true);
    return 0;
}
