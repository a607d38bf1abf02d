#include "handlers/cup/brelt/brelt_v1.h"

BreltV1::BreltV1(const std::string& unitId, int initialStatus) : Brelt(unitId, initialStatus) { beardLength = -50; }
