#include "handlers/cup/network/network.h"

#include "common/logger.h"

Network::Network() { LOG(LOG_BRELT, "Network created (not operational in this build)"); }

Network::~Network() { LOG(LOG_BRELT, "Network deleted"); }
