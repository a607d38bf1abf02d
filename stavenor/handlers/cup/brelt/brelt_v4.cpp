#include "handlers/cup/brelt/brelt_v4.h"

BreltV4::BreltV4(const std::string& unitId, int initialStatus) : Brelt(unitId, initialStatus) { beardLength = -20; }
