#include "common/crc.h"

#include <array>

namespace {

// Tables are built at compile time, so no thread ever sees one half-built.
template <class T>
constexpr std::array<T, 256> reflected_table(T polynomial)
{
    std::array<T, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        T value = static_cast<T>(i);
        for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? static_cast<T>((value >> 1) ^ polynomial) : value >> 1;
        table[i] = value;
    }
    return table;
}

constexpr std::array<uint16_t, 256> table_1021 = [] {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t value = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 0x8000) ? static_cast<uint16_t>((value << 1) ^ 0x1021) : static_cast<uint16_t>(value << 1);
        table[i] = value;
    }
    return table;
}();

constexpr auto table_a001 = reflected_table<uint16_t>(0xA001);
constexpr auto table_8408 = reflected_table<uint16_t>(0x8408);
constexpr auto table_a6bc = reflected_table<uint16_t>(0xA6BC);
constexpr auto table_edb88320 = reflected_table<uint32_t>(0xEDB88320u);

template <class T>
constexpr T reflected_step(const std::array<T, 256>& table, T crc, uint8_t byte)
{
    return static_cast<T>((crc >> 8) ^ table[(crc ^ byte) & 0xFF]);
}

} // namespace

uint16_t crc16_update(uint16_t crc, uint8_t byte) { return reflected_step(table_a001, crc, byte); }
uint32_t crc32_update(uint32_t crc, uint8_t byte) { return reflected_step(table_edb88320, crc, byte); }
uint16_t crc16_8408_update(uint16_t crc, uint8_t byte) { return reflected_step(table_8408, crc, byte); }
uint16_t crc16_a6bc_update(uint16_t crc, uint8_t byte) { return reflected_step(table_a6bc, crc, byte); }

uint16_t crc16_1021_update(uint16_t crc, uint8_t byte)
{
    return static_cast<uint16_t>((crc << 8) ^ table_1021[((crc >> 8) ^ byte) & 0xFF]);
}

uint16_t crc16_8005_step(uint16_t crc, uint8_t low, uint8_t high)
{
    uint16_t shifted = static_cast<uint16_t>(crc << 1);
    if (crc & 0x8000) shifted ^= 0x8005;
    return static_cast<uint16_t>(shifted ^ ((high << 8) | low));
}

uint32_t crc32_of(const void* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) crc = crc32_update(crc, bytes[i]);
    return ~crc;
}
