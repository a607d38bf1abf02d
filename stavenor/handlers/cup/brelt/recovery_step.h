// The steps of a serial recovery procedure: what each step is, its share of the progress and how
// often it may run.
#pragma once

#include <cstdint>
#include <list>
#include <string>

enum RecoveryStepCode {
    STEP_DETERMINE_PROMPT = 0,
    STEP_DETERMINE_PARAMETERS = 1,
    STEP_ENTER_UBOOT = 2,
    STEP_SYSTEM_INFO = 3,
    STEP_SET_UBOOT_VAR = 4,
    STEP_TRANSFER_FILE = 5,
    STEP_CHECK_CRC = 6,
    STEP_UNPROTECT_FLASH = 7,
    STEP_COMPARE_UBOOT = 8,
    STEP_ERASE_UBOOT = 9,
    STEP_FLASH_UBOOT = 10,
    STEP_ERASE_SYSTEM = 11,
    STEP_FLASH_SYSTEM = 12,
    STEP_REBOOT = 13,
};

struct RecoveryStep {
    RecoveryStep(int code, int32_t attemptsAllowed);

    // Classes 0 to 4 weigh 10, 100, 200, 800 and 1200: 0; any other class: -2, weight unchanged.
    int setWeightClass(int weightClass);

    int32_t weight = 100;
    int code;
    int32_t attempts = 0; // failed runs so far
    int32_t attemptsAllowed;
    std::string name;  // Set U-Boot Var: the variable
    std::string value; // Set U-Boot Var: its value
};

using RecoverySteps = std::list<RecoveryStep*>;

std::string recoveryStepName(const RecoveryStep& step);
int32_t recoveryStepsWeight(const RecoverySteps& steps);
int32_t recoveryStepsWeightBefore(const RecoverySteps& steps, RecoverySteps::const_iterator position);
int deleteRecoverySteps(RecoverySteps& steps);
