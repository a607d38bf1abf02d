#include "common/crc.h"

#include <gtest/gtest.h>

#include <string>

namespace {

template <class T, class Step>
T run(Step step, T initial, const std::string& text)
{
    T crc = initial;
    for (unsigned char c : text) crc = step(crc, c);
    return crc;
}

} // namespace

TEST(Crc, StandardCheckValues)
{
    EXPECT_EQ(run<uint16_t>(crc16_update, 0, "123456789"), 0xBB3D);              // CRC-16/ARC
    EXPECT_EQ(~run<uint32_t>(crc32_update, 0xFFFFFFFFu, "123456789"), 0xCBF43926u); // CRC-32
    EXPECT_EQ(~run<uint32_t>(crc32_update, 0xFFFFFFFFu, "abc"), 0x352441C2u);
    EXPECT_EQ(crc32_of("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(run<uint16_t>(crc16_1021_update, 0xFFFF, "123456789"), 0x29B1);      // CRC-16/CCITT-FALSE
    EXPECT_EQ(run<uint16_t>(crc16_8408_update, 0, "123456789"), 0x2189);           // CRC-16/KERMIT
    EXPECT_EQ(run<uint16_t>(crc16_update, 0x1234, ""), 0x1234);
}

TEST(Crc, Crc16_8005StepShiftsOnceAndMixesTheWord)
{
    EXPECT_EQ(crc16_8005_step(0x0001, 0x34, 0x12), 0x0002 ^ 0x1234);
    EXPECT_EQ(crc16_8005_step(0x8000, 0x00, 0x00), 0x8005);
}
