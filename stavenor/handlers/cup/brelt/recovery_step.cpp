#include "handlers/cup/brelt/recovery_step.h"

RecoveryStep::RecoveryStep(int code_, int32_t attemptsAllowed_) : code(code_), attemptsAllowed(attemptsAllowed_) {}

int RecoveryStep::setWeightClass(int weightClass)
{
    static constexpr int32_t weights[] = {10, 100, 200, 800, 1200};
    if (weightClass < 0 || weightClass > 4) return -2;
    weight = weights[weightClass];
    return 0;
}

std::string recoveryStepName(const RecoveryStep& step)
{
    switch (step.code) {
    case STEP_DETERMINE_PROMPT: return "Determine Prompt";
    case STEP_DETERMINE_PARAMETERS: return "Determine Central Unit Parameters";
    case STEP_ENTER_UBOOT: return "Enter U-Boot";
    case STEP_SYSTEM_INFO: return "Determine System Info";
    case STEP_SET_UBOOT_VAR: return "Set U-Boot Var " + step.name + " : " + step.value;
    case STEP_TRANSFER_FILE: return "Transfer File";
    case STEP_COMPARE_UBOOT: return "Compare U-Boot";
    case STEP_ERASE_UBOOT: return "Erase U-Boot";
    case STEP_FLASH_UBOOT: return "Flash U-Boot";
    case STEP_ERASE_SYSTEM: return "Erase System";
    case STEP_FLASH_SYSTEM: return "Flash System";
    default: return "Unknown"; // Check CRC, Unprotect Flash and Reboot have no name of their own
    }
}

int32_t recoveryStepsWeight(const RecoverySteps& steps)
{
    int32_t sum = 0;
    for (const RecoveryStep* step : steps) sum += step->weight;
    return sum;
}

int32_t recoveryStepsWeightBefore(const RecoverySteps& steps, RecoverySteps::const_iterator position)
{
    int32_t sum = 0;
    for (auto it = steps.begin(); it != steps.end() && it != position; ++it) sum += (*it)->weight;
    return sum;
}

int deleteRecoverySteps(RecoverySteps& steps)
{
    while (!steps.empty()) {
        delete steps.front();
        steps.pop_front();
    }
    return 0;
}
