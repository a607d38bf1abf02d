#include "handlers/cup/brelt/operations/determine_params.h"

#include "common/logger.h"
#include "handlers/cup/brelt/operations/determine_prompt.h"
#include "handlers/cup/network/frame.h"
#include "handlers/cup/serial/serial_protocol.h"

namespace {
constexpr unsigned kQueryMs = 2000;
constexpr size_t kMacLength = 17;
} // namespace

DetermineParamsOperation::DetermineParamsOperation(SerialProtocol* console) : Operation(nullptr)
{
    serialProtocol = console;
    name = "determine parameters";
}

DetermineParamsOperation::~DetermineParamsOperation() { timedOutLink.disconnect(); }

int DetermineParamsOperation::run()
{
    switch (promptKind) {
    case PROMPT_LINUX:
        query("# ", "ifconfig eth0\n", &DetermineParamsOperation::onLinuxAnswer);
        return 0;
    case PROMPT_UBOOT:
        query("=> ", "bdinfo\n", &DetermineParamsOperation::onUBootAnswer);
        return 0;
    default:
        end(false);
        return 0;
    }
}

void DetermineParamsOperation::query(const char* prompt, const char* command,
                                     void (DetermineParamsOperation::*answer)(GByteArray*))
{
    timedOutLink.disconnect();
    timedOutLink = serialProtocol->timedOut.connect(sigc::bind(sigc::mem_fun(*this, &DetermineParamsOperation::end), false));
    serialProtocol->expect(prompt, sigc::mem_fun(*this, answer), false);
    const int sent = serialProtocol->send(command, kQueryMs);
    // Refused (another exchange runs, or the port is gone): no time-out of ours would end the query.
    if (sent == -505) {
        end(false);
    } else if (!serialProtocol->isCapturing()) {
        serialProtocol->unhookAll();
        end(false);
    }
}

void DetermineParamsOperation::end(bool success)
{
    timedOutLink.disconnect();
    done.emit(success);
}

void DetermineParamsOperation::takeMac(const std::string& text)
{
    mac = isMacText(text) ? text : std::string();
    end(!mac.empty());
}

void DetermineParamsOperation::onUBootAnswer(GByteArray* text)
{
    // "ethaddr", its padding, "=" and a blank fill 14 characters before the address.
    std::string found = receivedField(text, "ethaddr", 14, kMacLength);
    if (isMacText(found)) LOG(LOG_CURTAIN, "MAC Address is %s\n", found.c_str());
    takeMac(found);
}

void DetermineParamsOperation::onLinuxAnswer(GByteArray* text) { takeMac(receivedField(text, "HWaddr", 7, kMacLength)); }
