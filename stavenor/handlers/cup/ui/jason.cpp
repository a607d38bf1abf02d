#include "handlers/cup/ui/jason.h"

#include "common/logger.h"

JasonState::JasonState() { LOG(LOG_CURTAIN, "JasonState created (not operational in this build)"); }

JasonState::~JasonState() { LOG(LOG_CURTAIN, "JasonState deleted"); }
