// The two fixed bitmap fonts of the LED matrix.
//
// A glyph is one bit mask per cell row, the leftmost LED in the highest bit: five bits for the
// large font (6 x 7 cell), three for the small one (4 x 5 cell). The last column of a cell, the
// gap between characters, is unlit in every glyph and not stored.
#pragma once

#include <cstdint>

namespace LedFont {

constexpr int kLargeCellColumns = 6;
constexpr int kLargeCellRows = 7;
constexpr int kSmallCellColumns = 4;
constexpr int kSmallCellRows = 5;

// The rows of a character's glyph, or nullptr when the font has none (the space among them).
const std::uint8_t* largeGlyph(char character);
const std::uint8_t* smallGlyph(char character);

} // namespace LedFont
