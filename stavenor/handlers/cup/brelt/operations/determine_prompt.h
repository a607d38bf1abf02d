// Finds out whether a unit's console shows the boot loader or the Linux shell, listening through a
// reboot when the console is silent and stopping the boot loader's autoboot on the way.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

#include <glib.h>

enum PromptKind { PROMPT_NONE = 0, PROMPT_UBOOT = 1, PROMPT_LINUX = 2 };

class DeterminePromptOperation : public Operation {
public:
    DeterminePromptOperation(SerialProtocol* console, Brelt* unit);
    ~DeterminePromptOperation() override;

    int run() override;
    int getPrompt() const { return promptKind; }

private:
    void onNoResponse();
    void onBanner(GByteArray* text);
    void onUBootFound(GByteArray* text);
    void onLinuxFound(GByteArray* text);
    void onEnteredUBoot(GByteArray* text);
    void onReachedLinux(GByteArray* text);
    void onConfirmed(GByteArray* text);
    void confirm(const char* prompt);
    void end();

    sigc::connection timedOutLink;
    int promptKind = PROMPT_NONE;
};
