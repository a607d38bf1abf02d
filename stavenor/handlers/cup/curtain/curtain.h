// The recovery session of one serial port: the port's console, what the reconnaissance found out
// about the unit behind it, and the step program that runs there.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"
#include "handlers/cup/brelt/recovery_step.h"

#include <sigc++/sigc++.h>

#include <memory>
#include <string>

class SerialProtocol;

class RecoverySession : public sigc::trackable {
public:
    RecoverySession();
    ~RecoverySession();
    RecoverySession(const RecoverySession&) = delete;
    RecoverySession& operator=(const RecoverySession&) = delete;

    // Binds the session to the console on `portName` and reconnoitres it. 0.
    int attachProtocol(const std::string& portName);
    // Determines the prompt, then the unit's MAC address. 0; -400 without a console.
    int reconnoitre();

    std::string macAddress() const { return mac; }
    int getConsoleKind() const { return consoleKind; }

    sigc::signal<void()> finished;
    sigc::signal<void()> failed;

private:
    void runStep();
    void onStepDone(bool success);
    void removeProgram();
    void onDisconnected();

    std::unique_ptr<SerialProtocol> protocol;
    sigc::connection portGoneConnection;
    sigc::connection operationConnection;
    std::string portName;
    std::string mac;
    int consoleKind = 0;
    RecoverySteps steps;
    RecoverySteps::iterator currentStep;
    Job operations; // the operation of the running step, until deferred deletion takes it
};

// The session that the recovery page works with; cleared when its port's session is destroyed.
// Main loop only.
extern RecoverySession* selectedSession;
