// TFTP packets as the server reads them: fields bounded by the packet, options in range.
#include "handlers/cup/curtain/tftp_packet.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> fieldsOf(const std::string& bytes)
{
    auto packet = parseTftpPacket(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return packet ? packet->fields : std::vector<std::string>{"<none>"};
}

TEST(TftpPacket, FieldsEndAtTheirZeroOrThePacketsEnd)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(fieldsOf(""), V{"<none>"});
    EXPECT_EQ(fieldsOf(std::string("\0", 1)), V{"<none>"});
    EXPECT_EQ(fieldsOf(std::string("\0\1", 2)), V{});
    EXPECT_EQ(fieldsOf(std::string("\0\1File\0OCTET\0", 13)), (V{"file", "octet"}));
    EXPECT_EQ(fieldsOf(std::string("\0\1a\0octet", 9)), (V{"a", "octet"}));
    EXPECT_EQ(fieldsOf(std::string("\0\1\0\0", 4)), (V{"", ""}));
}

TEST(TftpPacket, OptionsAreTakenOnlyInRange)
{
    struct Case { std::vector<std::string> options; int blockSize, timeout; std::string oack; };
    const std::string o("\0\6", 2);
    for (const Case& c : std::vector<Case>{
             {{"blksize", "1468", "timeout", "5"}, 1100, 5, o + std::string("blksize\0" "1100\0timeout\0" "5\0", 23)},
             {{"blksize", "8"}, 8, 1, o + std::string("blksize\0" "8\0", 10)},
             {{"blksize", "7"}, 512, 1, o},
             {{"blksize", "0"}, 512, 1, o},
             {{"blksize", "-5"}, 512, 1, o},
             {{"blksize", "99999999999999999999"}, 1100, 1, o + std::string("blksize\0" "1100\0", 13)},
             {{"blksize", ""}, 512, 1, o},
             {{"timeout", "255"}, 512, 255, o + std::string("timeout\0" "255\0", 12)},
             {{"timeout", "256"}, 512, 1, o},
             {{"timeout", "0"}, 512, 1, o},
             {{"tsize", "0", "timeout"}, 512, 1, o}, // an unknown option; a name without a value
         }) {
        std::vector<std::string> fields{"file", "octet"};
        fields.insert(fields.end(), c.options.begin(), c.options.end());
        TftpNegotiation n = negotiateTftpOptions(fields);
        EXPECT_EQ(n.blockSize, c.blockSize) << c.options[0];
        EXPECT_EQ(n.timeoutSeconds, c.timeout) << c.options[0];
        EXPECT_EQ(tftpOptionAck(n), c.oack) << c.options[0];
    }
}

} // namespace
