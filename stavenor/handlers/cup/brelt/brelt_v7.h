// A unit of protocol version 7: turns command lines into jobs of operations.
#pragma once

#include "handlers/cup/brelt/brelt.h"

class BreltV7 : public Brelt {
public:
    BreltV7(const std::string& unitId, int initialStatus);
};
