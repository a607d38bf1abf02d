#include "g711.h"

namespace {

// The classic segment coder on the 14-bit magnitude (sample >> 2), biased by 33 and clipped at
// 8159; it builds the table once, at compile time.
constexpr std::uint8_t encodeUlaw(int sample)
{
    int magnitude = sample >> 2;
    int mask = 0xFF;
    if (magnitude < 0) {
        magnitude = -magnitude;
        mask = 0x7F;
    }
    if (magnitude > 8159)
        magnitude = 8159;
    magnitude += 33;
    int segment = 0;
    while (segment < 8 && magnitude >= (0x40 << segment))
        ++segment;
    if (segment >= 8)
        return std::uint8_t(0x7F ^ mask);
    return std::uint8_t(((segment << 4) | ((magnitude >> (segment + 1)) & 0x0F)) ^ mask);
}

constexpr std::int16_t decodeUlaw(std::uint8_t code)
{
    const int inverted = ~code & 0xFF;
    const int magnitude = (((inverted & 0x0F) << 3) + 0x84) << ((inverted & 0x70) >> 4);
    return std::int16_t((inverted & 0x80) ? 0x84 - magnitude : magnitude - 0x84);
}

constexpr auto makeEncodeTable()
{
    std::array<std::uint8_t, 8192> table{};
    for (int i = 0; i < 8192; ++i)
        table[i] = encodeUlaw(std::int16_t(std::uint16_t(i << 3)));
    return table;
}

constexpr auto makeDecodeTable()
{
    std::array<std::int16_t, 256> table{};
    for (int code = 0; code < 256; ++code)
        table[code] = decodeUlaw(std::uint8_t(code));
    return table;
}

} // namespace

constinit const std::array<std::uint8_t, 8192> ulawEncodeTable = makeEncodeTable();
constinit const std::array<std::int16_t, 256> ulawDecodeTable = makeDecodeTable();

const std::array<std::int32_t, maxGainDb - minGainDb + 1> gainFactors = {
    23253, 26090, 29274, 32846, 36854, 41350, 46396, 52057, 58409, 65536,
    73533, 82505, 92572, 103868, 116541, 130762, 146717, 164619, 184706,
};
