// The back buffer's built-in bitmap font: System font cell metrics (16 rows, ascent 13),
// glyphs of our own. Every cell is 6 pixels wide, so the six counter bytes drawn at x = 2
// end at x = 37 and stay inside the 40-pixel counter area the frame clears.
#pragma once

#include <array>
#include <cstdint>

namespace fpu {

inline constexpr std::int32_t font_cell_height = 16;
inline constexpr std::int32_t font_cell_width = 6;
// Glyph rows occupy cell rows 3 .. 12 (below the internal leading, down to the baseline).
inline constexpr std::int32_t font_glyph_top = 3;
inline constexpr std::int32_t font_glyph_rows = 10;
inline constexpr std::int32_t font_glyph_width = 5;

// One row per glyph line; bit 4 is the leftmost column.
using GlyphRows = std::array<std::uint8_t, font_glyph_rows>;

// The glyph drawn for `code`: digits, minus and blank have their own; every other byte,
// code 0 included, shows the default glyph (a hollow box).
const GlyphRows& glyph_for(unsigned char code);

}  // namespace fpu
