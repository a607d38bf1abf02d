// Rebooting a unit (waiting for its answer, or not), and the refresh request.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

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
    void onSucceeded(const FrameHeader* answer);
    void onFailed(const FrameHeader* answer);

    sigc::connection tickConnection;
    int32_t ticks = 0;
    bool waitForAnswer = true;
};

class RefreshOperation : public Operation {
public:
    explicit RefreshOperation(Brelt* unit);
    int run() override;
};
