#include "handlers/cup/serial/serial_manager.h"

#include "common/logger.h"

SerialManager::SerialManager() { LOG(LOG_BRELT, "SerialManager created (not operational in this build)"); }

SerialManager::~SerialManager() { LOG(LOG_BRELT, "SerialManager deleted"); }
