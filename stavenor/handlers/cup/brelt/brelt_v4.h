// A unit of protocol version 4: turns command lines into jobs of operations.
#pragma once

#include "handlers/cup/brelt/brelt.h"

class BreltV4 : public Brelt {
public:
    BreltV4(const std::string& unitId, int initialStatus);
};
