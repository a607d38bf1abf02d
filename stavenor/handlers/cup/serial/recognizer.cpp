#include "handlers/cup/serial/recognizer.h"

#include "common/delete_later.h"
#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/manager.h"
#include "handlers/cup/brelt/operations/determine_params.h"
#include "handlers/cup/brelt/operations/determine_prompt.h"
#include "handlers/cup/network/frame.h"
#include "handlers/cup/serial/serial_protocol.h"

namespace {
constexpr uint32_t kLogSerial = LOG_BRELT | LOG_BRELT_DETAIL;
}

Recognizer::Recognizer(const std::string& port) : portName(port)
{
    LOG(kLogSerial, "recognizer bound to `%s`\n", portName.c_str());
    protocol = std::make_unique<SerialProtocol>(portName);
    job.push_back(new DeterminePromptOperation(protocol.get(), nullptr));
    job.push_back(new DetermineParamsOperation(protocol.get()));
    current = job.begin();
    runCurrent();
}

Recognizer::~Recognizer()
{
    LOG(kLogSerial, "recognizer for `%s` is no more\n", portName.c_str());
    doneConnection.disconnect();
    protocol.reset();
    deleteOperations(job);
}

void Recognizer::runCurrent()
{
    doneConnection.disconnect();
    doneConnection = (*current)->done.connect(sigc::mem_fun(*this, &Recognizer::onOperationDone));
    (*current)->run();
}

void Recognizer::onOperationDone(bool success)
{
    auto* prompt = static_cast<DeterminePromptOperation*>(job.front());
    auto* params = static_cast<DetermineParamsOperation*>(job.back());
    if (*current == prompt) {
        // A failed prompt determination runs again, without limit.
        if (success) {
            params->setPrompt(prompt->getPrompt());
            current = std::next(job.begin());
        }
        runCurrent();
        return;
    }
    if (!success) {
        current = job.begin();
        runCurrent();
        return;
    }
    // Units are known by the upper-case form of their MAC address, whatever case the console prints.
    uint8_t bytes[6];
    textToMac(params->getMac(), bytes);
    const std::string unitId = macToText(bytes);
    LOG(kLogSerial, "recognized %s on port `%s`\n", params->getMac().c_str(), portName.c_str());
    Brelt*& unit = unitMap[unitId];
    if (!unit) unit = new Brelt(unitId, Brelt::DOWN);
    doneConnection.disconnect();
    unit->setSerialProtocol(protocol.release());
    deleteLater(this);
}
