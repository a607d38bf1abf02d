#include "handlers/cup/brelt/recovery_step.h"

#include <gtest/gtest.h>

namespace {

TEST(RecoverySteps, WeightClasses)
{
    RecoveryStep step(STEP_FLASH_SYSTEM, 1);
    EXPECT_EQ(step.weight, 100);
    EXPECT_EQ(step.attempts, 0);
    EXPECT_EQ(step.attemptsAllowed, 1);
    const int32_t weights[] = {10, 100, 200, 800, 1200};
    for (int weightClass = 0; weightClass < 5; ++weightClass) {
        EXPECT_EQ(step.setWeightClass(weightClass), 0);
        EXPECT_EQ(step.weight, weights[weightClass]);
    }
    EXPECT_EQ(step.setWeightClass(5), -2);
    EXPECT_EQ(step.setWeightClass(-1), -2);
    EXPECT_EQ(step.weight, 1200);
}

TEST(RecoverySteps, Names)
{
    const std::pair<int, const char*> names[] = {
        {0, "Determine Prompt"}, {1, "Determine Central Unit Parameters"}, {2, "Enter U-Boot"},
        {3, "Determine System Info"}, {5, "Transfer File"}, {6, "Unknown"}, {7, "Unknown"},
        {8, "Compare U-Boot"}, {9, "Erase U-Boot"}, {10, "Flash U-Boot"}, {11, "Erase System"},
        {12, "Flash System"}, {13, "Unknown"}, {99, "Unknown"}, {-1, "Unknown"}};
    for (auto [code, name] : names) EXPECT_EQ(recoveryStepName(RecoveryStep(code, 1)), name) << code;
    RecoveryStep setVar(STEP_SET_UBOOT_VAR, 1);
    setVar.name = "serverip";
    setVar.value = "192.168.1.10";
    EXPECT_EQ(recoveryStepName(setVar), "Set U-Boot Var serverip : 192.168.1.10");
}

TEST(RecoverySteps, WeightsOfAList)
{
    RecoverySteps steps;
    EXPECT_EQ(recoveryStepsWeight(steps), 0);
    EXPECT_EQ(recoveryStepsWeightBefore(steps, steps.begin()), 0);
    EXPECT_EQ(deleteRecoverySteps(steps), 0);
    for (int weightClass : {0, 1, 2}) {
        steps.push_back(new RecoveryStep(STEP_ERASE_SYSTEM, 1));
        steps.back()->setWeightClass(weightClass);
    }
    EXPECT_EQ(recoveryStepsWeight(steps), 310);
    EXPECT_EQ(recoveryStepsWeightBefore(steps, steps.begin()), 0);
    EXPECT_EQ(recoveryStepsWeightBefore(steps, std::next(steps.begin(), 2)), 110);
    EXPECT_EQ(recoveryStepsWeightBefore(steps, steps.end()), 310);
    EXPECT_EQ(deleteRecoverySteps(steps), 0);
    EXPECT_TRUE(steps.empty());
}

} // namespace
