// A unit of protocol version 1 or 2: it only exchanges its configuration file and its firmware.
#pragma once

#include "handlers/cup/brelt/brelt.h"

class BreltV1 : public Brelt {
public:
    BreltV1(const std::string& unitId, int initialStatus);
    bool isSupported(const std::string& line) override;
    int queueCommand(const std::string& line) override;
};
