#include "handlers/cup/brelt/brelt_v7.h"

BreltV7::BreltV7(const std::string& unitId, int initialStatus) : Brelt(unitId, initialStatus) { beardLength = 0; }
