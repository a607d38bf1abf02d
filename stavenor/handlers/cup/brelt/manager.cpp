#include "handlers/cup/brelt/manager.h"

#include "common/logger.h"

UnitManager::UnitManager() { LOG(LOG_BRELT, "UnitManager created (not operational in this build)"); }

UnitManager::~UnitManager() { LOG(LOG_BRELT, "UnitManager deleted"); }
