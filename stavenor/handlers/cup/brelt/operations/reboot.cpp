#include "handlers/cup/brelt/operations/reboot.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

#include <glibmm/main.h>

namespace {
using Clock = std::chrono::steady_clock;
// Announcements come once a second: a unit not heard for this long has gone.
constexpr auto GONE_AFTER = std::chrono::milliseconds(2500);
constexpr int WATCH_MS = 200;
} // namespace

RebootOperation::RebootOperation(Brelt* unit, int) : Operation(unit)
{
    name = "reboot";
    weight = 200;
    progressTotal = 11;
    progressText = "rebooting";
    timeoutMs = 40000;
}

RebootOperation::~RebootOperation()
{
    tickConnection.disconnect();
    watchConnection.disconnect();
}

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
        hookAnswer(MSG_A_O, sigc::mem_fun(*this, &RebootOperation::onAcknowledged));
        lastBefore = protocol->lastUnitFrame();
        watchConnection = Glib::signal_timeout().connect(sigc::mem_fun(*this, &RebootOperation::onWatch), WATCH_MS);
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
    watchConnection.disconnect();
    Operation::cleanup();
}

void RebootOperation::restartSeen(const char* how)
{
    if (restarted) return;
    LOG(LOG_BRELT, "brelt %s : restart seen (%s), waiting for its announcement\n", unitId(), how);
    restarted = true;
    restartedAt = Clock::now();
    // What the unit sent before it started anew says nothing of what it sends now.
    protocol->forgetReceived();
    setProgress(progressCurrent, "restarting, until the unit announces itself again");
}

bool RebootOperation::onWatch()
{
    if (!restarted && Clock::now() - protocol->lastHeard() >= GONE_AFTER) restartSeen("gone");
    // The answer alone is not the end: the unit is back when it announces itself after its restart.
    if (!restarted || protocol->lastAnnounced() <= restartedAt) return true;
    LOG(LOG_BRELT, "brelt %s : reboot succeeded, the unit announced itself again\n", unitId());
    cleanup();
    setProgress(progressTotal, "");
    unit->setStatus(Brelt::UP);
    done.emit(true);
    return false;
}

void RebootOperation::onAcknowledged(const FrameHeader* ack)
{
    // The unit took the request: what it sends from now on may be numbered afresh, and must not
    // pass for a repeat of what it sent before.
    if (requestFid && ack->fid == *requestFid) protocol->forgetReceived();
}

void RebootOperation::onSucceeded(const FrameHeader* answer)
{
    LOG(LOG_BRELT, "brelt %s : reboot answered\n", unitId());
    answered = true;
    protocol->unhook(MSG_SUC);
    protocol->unhook(MSG_ERR);
    // A unit that was back before it could be seen gone numbers its frames from 0 again; its last
    // frame before the request, sent once more, is no new start.
    const bool repeat = lastBefore && answer->fid == lastBefore->fid && answer->crc == lastBefore->crc;
    if (lastBefore && answer->fid <= lastBefore->fid && !repeat) restartSeen("frames numbered afresh");
}

void RebootOperation::onFailed(const FrameHeader*)
{
    cleanup();
    LOG(LOG_BRELT, "brelt %s : reboot failed, code ?\n", unitId());
    failureReason = "the unit refused the reboot" + refusalWords();
    unit->setStatus(Brelt::UP);
    done.emit(false);
}

std::string RebootOperation::notBackReason() const
{
    const std::string within = " within " + std::to_string(timeoutMs / 1000) + " s of the reboot";
    if (restarted) return "the unit did not announce itself again" + within;
    if (answered) return "the unit answered the reboot but was not seen restarting" + within;
    return unitTalks() ? "the unit did not answer the reboot" + within : silenceReason();
}

bool RebootOperation::onTimeout()
{
    LOG(LOG_BRELT, "brelt %s : is not responding long enough\n", unitId());
    failureReason = notBackReason();
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
