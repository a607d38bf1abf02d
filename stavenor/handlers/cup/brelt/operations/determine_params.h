// Asks a unit's console for the unit's MAC address: "bdinfo" at the boot loader, "ifconfig eth0"
// at the Linux shell.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

#include <glib.h>

class DetermineParamsOperation : public Operation {
public:
    explicit DetermineParamsOperation(SerialProtocol* console);
    ~DetermineParamsOperation() override;

    int run() override;
    void setPrompt(int kind) { promptKind = kind; }
    std::string getMac() const { return mac; }

private:
    void query(const char* prompt, const char* command, void (DetermineParamsOperation::*answer)(GByteArray*));
    void onUBootAnswer(GByteArray* text);
    void onLinuxAnswer(GByteArray* text);
    // Succeeds only with a whole MAC address (six hex pairs) read from the console.
    void takeMac(const std::string& text);
    void end(bool success);

    sigc::connection timedOutLink;
    int promptKind = 0;
    std::string mac;
};
