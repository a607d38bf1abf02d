// libFuzzer target for the monitor channel's receive path: the byte stream is cut into messages,
// each parsed, and "!file" parts collected, as the channel does with what a peer sends. The input
// is fed twice: as it is, and as the arguments of CRC-correct messages, so that the checks behind
// the CRC are reached too.
#include "handlers/cup/monitor/monitor_message.h"

#include <cstdlib>

namespace {

void receive(MonitorFileReceiver& receiver, const std::string& text)
{
    MonitorMessage message;
    if (parseMonitorMessage(text, message) != MonitorParse::Ok) return;
    if (message.name.size() > kMonitorMaxName || message.arguments.size() > kMonitorMaxArguments) abort();
    std::string error;
    if (message.name == "!file" && receiver.add(message, error) == MonitorFileReceiver::Result::Complete &&
        receiver.data().size() > kMonitorMaxFile)
        abort();
    auto again = buildMonitorMessage(message);
    MonitorMessage round;
    if (!again || parseMonitorMessage(*again, round) != MonitorParse::Ok || round.arguments != message.arguments) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MonitorScanner scanner;
    MonitorFileReceiver receiver;
    scanner.feed(data, size, [&](const std::string& text) {
        if (text.size() > kMonitorBuffer) abort();
        receive(receiver, text);
    });

    // Fields split at "|" become a "!file" part with a valid CRC.
    std::string input(reinterpret_cast<const char*>(data), size);
    MonitorMessage part{"!file", {}};
    for (size_t at = 0; part.arguments.size() < 6;) {
        size_t bar = input.find('|', at);
        part.arguments.push_back(input.substr(at, bar == std::string::npos ? bar : bar - at));
        if (bar == std::string::npos) break;
        at = bar + 1;
    }
    MonitorFileReceiver direct;
    std::string error;
    direct.add(part, error);
    if (auto text = buildMonitorMessage(part)) receive(receiver, *text);
    return 0;
}
