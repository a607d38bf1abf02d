// Rebooting a unit (waiting for its answer, or not), and the refresh request.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"
#include "handlers/cup/brelt/protocol.h"

class RebootOperation : public Operation {
public:
    RebootOperation(Brelt* unit, int unused);
    ~RebootOperation() override;
    int run() override;
    void cleanup() override;
    bool onTimeout() override;
    void setNoWait() { waitForAnswer = false; }

private:
    bool onTick();
    // Watches for the unit's return: gone (silent), or numbering its frames afresh, then announced.
    bool onWatch();
    void onSucceeded(const FrameHeader* answer);
    void onFailed(const FrameHeader* answer);
    void onAcknowledged(const FrameHeader* ack);
    void restartSeen(const char* how);
    std::string notBackReason() const;

    sigc::connection tickConnection;
    sigc::connection watchConnection;
    int32_t ticks = 0;
    bool waitForAnswer = true;
    bool answered = false;
    bool restarted = false;
    std::chrono::steady_clock::time_point restartedAt;
    std::optional<RundisProtocol::FrameId> lastBefore;
};

class RefreshOperation : public Operation {
public:
    explicit RefreshOperation(Brelt* unit);
    int run() override;
};
