// The audio set-up page's list of translatable texts beside their translations into one language:
// TunaHandler::tunaGlobalAudioSetupTranslations, the command "globalAudioSetupTranslations.json".
// It only reads; translations are edited with the table commands.
#pragma once

#include "handlers/tuna/tuna_handler.h"
