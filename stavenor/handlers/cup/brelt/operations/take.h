// Taking control of a unit, naming the PC by its host name.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

class TakeOperation : public Operation {
public:
    explicit TakeOperation(Brelt* unit);
    int run() override;
    bool onTimeout() override;

private:
    void onTaken(const FrameHeader* answer);
    void onNotTaken(const FrameHeader* answer);
};
