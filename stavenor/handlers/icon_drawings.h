// The built-in button pictures that the icon store starts with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr int kIconCount = 208;
constexpr int kIconSide = 20;
constexpr size_t kPackedIconSize = 60;
constexpr size_t kIconBytes = kIconCount * kPackedIconSize; // 12,480

// A 20x20 picture indexed [x][y] (x the column, y the row); 1 is black.
using icon_pixels = std::array<std::array<uint8_t, kIconSide>, kIconSide>;

// Packing of one icon: byte x holds rows 0-7 of column x (bit b is row b), byte 20 + x rows 8-15,
// byte 40 + x rows 16-19 in bits 0-3.
constexpr void pack_icon(const icon_pixels& pixels, uint8_t* packed)
{
    for (size_t i = 0; i < kPackedIconSize; ++i) packed[i] = 0;
    for (int x = 0; x < kIconSide; ++x)
        for (int y = 0; y < kIconSide; ++y)
            if (pixels[x][y]) packed[(y / 8) * kIconSide + x] |= static_cast<uint8_t>(1u << (y % 8));
}

constexpr icon_pixels unpack_icon(const uint8_t* packed)
{
    icon_pixels pixels{};
    for (int x = 0; x < kIconSide; ++x)
        for (int y = 0; y < kIconSide; ++y) pixels[x][y] = (packed[(y / 8) * kIconSide + x] >> (y % 8)) & 1;
    return pixels;
}

// The 208 packed drawings: the normal picture of each button at the even index, its disabled
// (thinned) twin at the odd one; icon 0 and 1 ("empty") are blank.
const std::array<uint8_t, kIconBytes>& default_icon_drawings();
