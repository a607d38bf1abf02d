// A unit of protocol version 6: turns command lines into jobs of operations.
#pragma once

#include "handlers/cup/brelt/brelt.h"

class BreltV6 : public Brelt {
public:
    BreltV6(const std::string& unitId, int initialStatus);
};
