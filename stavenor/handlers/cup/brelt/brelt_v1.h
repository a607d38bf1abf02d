// A unit of protocol version 1: turns command lines into jobs of operations.
#pragma once

#include "handlers/cup/brelt/brelt.h"

class BreltV1 : public Brelt {
public:
    BreltV1(const std::string& unitId, int initialStatus);
};
