#include "handlers/cup/curtain/ip_checker.h"

#include "common/logger.h"

IpChecker::IpChecker() { LOG(LOG_CURTAIN, "IpChecker created (not operational in this build)"); }

IpChecker::~IpChecker() { LOG(LOG_CURTAIN, "IpChecker deleted"); }
