// Giving control of a unit back.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

class ReleaseOperation : public Operation {
public:
    ReleaseOperation(Brelt* unit, bool force);
    int run() override;
    bool onTimeout() override;

private:
    void onReleased(const FrameHeader* answer);
    void onNotReleased(const FrameHeader* answer);

    bool force;
};
