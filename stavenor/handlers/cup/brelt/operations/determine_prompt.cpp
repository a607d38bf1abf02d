#include "handlers/cup/brelt/operations/determine_prompt.h"

#include "common/logger.h"
#include "handlers/cup/serial/serial_protocol.h"

namespace {
constexpr unsigned kProbeMs = 1000;
constexpr unsigned kEscapeMs = 40000;
constexpr unsigned kConfirmMs = 2000;
} // namespace

DeterminePromptOperation::DeterminePromptOperation(SerialProtocol* console, Brelt*) : Operation(nullptr)
{
    serialProtocol = console;
    name = "determine prompt";
}

DeterminePromptOperation::~DeterminePromptOperation() { timedOutLink.disconnect(); }

int DeterminePromptOperation::run()
{
    // One link per run, dropped at the end: a later exchange's time-out never wakes this operation.
    timedOutLink.disconnect();
    timedOutLink = serialProtocol->timedOut.connect(sigc::mem_fun(*this, &DeterminePromptOperation::onNoResponse));
    serialProtocol->expect("# ", sigc::mem_fun(*this, &DeterminePromptOperation::onLinuxFound), false);
    serialProtocol->expect("=> ", sigc::mem_fun(*this, &DeterminePromptOperation::onUBootFound), false);
    return serialProtocol->send("nothing\n", kProbeMs);
}

void DeterminePromptOperation::end()
{
    timedOutLink.disconnect();
    done.emit(true);
}

void DeterminePromptOperation::onUBootFound(GByteArray*)
{
    LOG(LOG_BRELT, "U-Boot prompt found\n");
    promptKind = PROMPT_UBOOT;
    end();
}

void DeterminePromptOperation::onLinuxFound(GByteArray*)
{
    LOG(LOG_BRELT, "Linux prompt found\n");
    promptKind = PROMPT_LINUX;
    end();
}

void DeterminePromptOperation::onNoResponse()
{
    LOG(LOG_BRELT, "no response from %s, listening..\n", serialProtocol->getPortName().c_str());
    serialProtocol->expect("U-Boot", sigc::mem_fun(*this, &DeterminePromptOperation::onBanner), true);
    serialProtocol->resetBuffer();
}

void DeterminePromptOperation::onBanner(GByteArray*)
{
    serialProtocol->expect("=> ", sigc::mem_fun(*this, &DeterminePromptOperation::onEnteredUBoot), false);
    serialProtocol->expect("# ", sigc::mem_fun(*this, &DeterminePromptOperation::onReachedLinux), false);
    LOG(LOG_CURTAIN, "Arrgh! ESC! ESC! ESC!\n");
    serialProtocol->sendEscapes(kEscapeMs); // an ESC stops the boot loader's autoboot
}

void DeterminePromptOperation::onEnteredUBoot(GByteArray*)
{
    LOG(LOG_CURTAIN, "entered U-Boot, clearing buffer\n");
    promptKind = PROMPT_UBOOT;
    confirm("=> ");
}

void DeterminePromptOperation::onReachedLinux(GByteArray*)
{
    promptKind = PROMPT_LINUX; // the unit booted through
    confirm("# ");
}

void DeterminePromptOperation::confirm(const char* prompt)
{
    serialProtocol->expect(prompt, sigc::mem_fun(*this, &DeterminePromptOperation::onConfirmed), false);
    serialProtocol->send("nop\n", kConfirmMs);
}

void DeterminePromptOperation::onConfirmed(GByteArray*) { end(); }
