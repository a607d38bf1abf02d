#pragma once

#include <array>
#include <cstdint>

// G.711 µ-law coding of 16-bit linear samples, and the playback gain steps of a unit's audio.

// Code of every sample with its three lowest bits dropped (index = the sample's bit pattern >> 3).
extern const std::array<std::uint8_t, 8192> ulawEncodeTable;
extern const std::array<std::int16_t, 256> ulawDecodeTable;

inline std::uint8_t linearToUlaw(std::int16_t sample)
{
    return ulawEncodeTable[std::uint16_t(sample) >> 3];
}

inline std::int16_t ulawToLinear(std::uint8_t code)
{
    return ulawDecodeTable[code];
}

inline constexpr int minGainDb = -9;
inline constexpr int maxGainDb = 9;

// round(65536 * 10^(dB / 20)) for dB in minGainDb..maxGainDb.
extern const std::array<std::int32_t, maxGainDb - minGainDb + 1> gainFactors;

// The sample times the factor of dB (Q16, shifted back rounding toward minus infinity), saturated:
// at +9 dB a full-scale code would not fit 16 bits, nor its product 32 bits.
inline std::int16_t applyGain(std::int16_t sample, int dB)
{
    const std::int64_t scaled = (std::int64_t(sample) * gainFactors[dB - minGainDb]) >> 16;
    return std::int16_t(scaled > 32767 ? 32767 : scaled < -32768 ? -32768 : scaled);
}
