// libFuzzer target for the TFTP request parser: any datagram parses within its bytes, and what
// is negotiated stays in the ranges the transfers rely on.
#include "handlers/cup/curtain/tftp_packet.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto packet = parseTftpPacket(data, size);
    if (!packet) {
        if (size >= 2) abort();
        return 0;
    }
    size_t total = 0;
    for (const std::string& field : packet->fields) total += field.size() + 1;
    if (total > size - 2 + 1) abort(); // the last field may lack its zero
    tftpBlockNumber(data, size);

    TftpNegotiation negotiation = negotiateTftpOptions(packet->fields);
    if (negotiation.blockSize < 8 || negotiation.blockSize > kTftpMaxBlockSize) abort();
    if (negotiation.timeoutSeconds < 1 || negotiation.timeoutSeconds > 255) abort();
    std::string oack = tftpOptionAck(negotiation);
    if (oack.size() < 2 || oack.size() > size + 64 * negotiation.options.size()) abort();
    return 0;
}
