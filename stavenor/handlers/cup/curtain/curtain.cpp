#include "handlers/cup/curtain/curtain.h"

#include "common/delete_later.h"
#include "common/logger.h"
#include "handlers/cup/brelt/operations/determine_params.h"
#include "handlers/cup/brelt/operations/determine_prompt.h"
#include "handlers/cup/serial/serial_protocol.h"

RecoverySession* selectedSession = nullptr;

RecoverySession::RecoverySession() : currentStep(steps.end()) {}

RecoverySession::~RecoverySession()
{
    removeProgram();
    portGoneConnection.disconnect();
    protocol.reset();
}

int RecoverySession::attachProtocol(const std::string& port)
{
    removeProgram();
    portGoneConnection.disconnect();
    protocol.reset();
    mac.clear();
    portName = port;
    protocol = std::make_unique<SerialProtocol>(portName);
    portGoneConnection = protocol->portGone.connect(sigc::mem_fun(*this, &RecoverySession::onDisconnected));
    reconnoitre();
    return 0;
}

int RecoverySession::reconnoitre()
{
    if (!protocol) return -400;
    removeProgram(); // a check during a running reconnaissance starts it over, one exchange at a time
    steps.push_back(new RecoveryStep(STEP_DETERMINE_PROMPT, 1));
    steps.push_back(new RecoveryStep(STEP_DETERMINE_PARAMETERS, 1));
    currentStep = steps.begin();
    runStep();
    return 0;
}

void RecoverySession::runStep()
{
    LOG(LOG_CURTAIN, "curtain : next operation is %s\n", recoveryStepName(**currentStep).c_str());
    Operation* operation = nullptr;
    if ((*currentStep)->code == STEP_DETERMINE_PROMPT) {
        operation = new DeterminePromptOperation(protocol.get(), nullptr);
    } else {
        auto* params = new DetermineParamsOperation(protocol.get());
        params->setPrompt(consoleKind);
        operation = params;
    }
    operations.push_back(operation);
    operationConnection = operation->done.connect(sigc::mem_fun(*this, &RecoverySession::onStepDone));
    operation->run();
}

void RecoverySession::onStepDone(bool success)
{
    operationConnection.disconnect();
    Operation* operation = operations.back();
    if (!success) {
        LOG(LOG_CURTAIN, "operation failed\n");
        removeProgram();
        failed.emit();
        return;
    }
    if ((*currentStep)->code == STEP_DETERMINE_PROMPT) {
        consoleKind = static_cast<DeterminePromptOperation*>(operation)->getPrompt();
    } else {
        mac = static_cast<DetermineParamsOperation*>(operation)->getMac();
    }
    if (++currentStep != steps.end()) {
        runStep();
        return;
    }
    LOG(LOG_CURTAIN, "curtain : no operations left\n");
    removeProgram();
    finished.emit();
}

void RecoverySession::removeProgram()
{
    operationConnection.disconnect();
    if (protocol) protocol->unhookAll();
    deleteOperations(operations); // one may be inside its own signal: deleted once that returns
    deleteRecoverySteps(steps);
    currentStep = steps.end();
}

void RecoverySession::onDisconnected()
{
    LOG(LOG_CURTAIN, "got disconnected\n");
    const bool running = !steps.empty();
    removeProgram();
    portGoneConnection.disconnect();
    deleteLater(protocol.release()); // inside the protocol's own notification
    if (running) failed.emit();
}
