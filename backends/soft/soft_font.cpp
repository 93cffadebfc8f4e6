#include "backends/soft/soft_font.h"

#include <cstddef>
#include <string_view>

namespace fpu {
namespace {

// Builds a glyph from its picture: '#' is a set pixel, anything else is clear.
consteval GlyphRows glyph(std::array<std::string_view, font_glyph_rows> picture) {
  GlyphRows rows{};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (picture[r].size() != font_glyph_width) throw "every glyph row is five pixels wide";
    std::uint8_t bits = 0;
    for (std::size_t c = 0; c < font_glyph_width; ++c) {
      bits = static_cast<std::uint8_t>((bits << 1) | (picture[r][c] == '#' ? 1 : 0));
    }
    rows[r] = bits;
  }
  return rows;
}

// clang-format off
constexpr GlyphRows digits[10] = {
    glyph({".###.", "##.##", "##.##", "##.##", "##.##", "##.##", "##.##", "##.##", "##.##", ".###."}),
    glyph({"..##.", ".###.", "####.", "..##.", "..##.", "..##.", "..##.", "..##.", "..##.", "#####"}),
    glyph({".###.", "##.##", "...##", "...##", "..##.", ".##..", "##...", "##...", "##...", "#####"}),
    glyph({".###.", "##.##", "...##", "...##", "..##.", "...##", "...##", "...##", "##.##", ".###."}),
    glyph({"...##", "..###", ".####", "##.##", "##.##", "#####", "...##", "...##", "...##", "...##"}),
    glyph({"#####", "##...", "##...", "####.", "...##", "...##", "...##", "...##", "##.##", ".###."}),
    glyph({".###.", "##...", "##...", "####.", "##.##", "##.##", "##.##", "##.##", "##.##", ".###."}),
    glyph({"#####", "...##", "...##", "..##.", "..##.", ".##..", ".##..", ".##..", ".##..", ".##.."}),
    glyph({".###.", "##.##", "##.##", "##.##", ".###.", "##.##", "##.##", "##.##", "##.##", ".###."}),
    glyph({".###.", "##.##", "##.##", "##.##", "##.##", ".####", "...##", "...##", "...##", ".###."}),
};
constexpr GlyphRows minus =
    glyph({".....", ".....", ".....", ".....", ".....", "#####", ".....", ".....", ".....", "....."});
constexpr GlyphRows blank =
    glyph({".....", ".....", ".....", ".....", ".....", ".....", ".....", ".....", ".....", "....."});
constexpr GlyphRows missing =
    glyph({"#####", "#...#", "#...#", "#...#", "#...#", "#...#", "#...#", "#...#", "#...#", "#####"});
// clang-format on

}  // namespace

const GlyphRows& glyph_for(unsigned char code) {
  if (code >= '0' && code <= '9') return digits[code - '0'];
  if (code == '-') return minus;
  if (code == ' ') return blank;
  return missing;
}

}  // namespace fpu
