// The unit's permanent listener for its announcements and state reports, and the operation that
// ends a unit's life.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

class InfoOperation : public Operation {
public:
    explicit InfoOperation(Brelt* unit);
    int run() override;
    void cleanup() override;
    void parseAnnouncement(const FrameHeader* header);
    void onState(const FrameHeader* header);
};

class KillMe : public Operation {
public:
    explicit KillMe(Brelt* unit);
    int run() override;
};

// Takes a unit out of the unit map and hands it to deferred deletion, once.
void removeUnit(Brelt* unit);
