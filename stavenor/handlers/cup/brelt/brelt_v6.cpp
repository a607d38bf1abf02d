#include "handlers/cup/brelt/brelt_v6.h"

BreltV6::BreltV6(const std::string& unitId, int initialStatus) : Brelt(unitId, initialStatus) { beardLength = 0; }
