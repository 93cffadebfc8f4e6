// A window's place on the screen as the window manager shows it, and the form in which the
// program hands its own to the trace viewer it starts (the viewer's --beside option).
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace fpu {

struct ScreenRect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// The decoration a window manager puts around a window's client area.
struct FrameExtents {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};

// What the program tells the trace viewer it starts: its frame, and the extents of that
// frame (the viewer's own frame will have the same on the same desktop).
struct ProgramFrame {
  ScreenRect frame;
  FrameExtents extents;
  friend bool operator==(const ProgramFrame&, const ProgramFrame&) = default;
};

inline bool overlaps(const ScreenRect& a, const ScreenRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// "X,Y,WIDTH,HEIGHT,LEFT,TOP,RIGHT,BOTTOM", the value of the viewer's --beside option.
inline std::string format_program_frame(const ProgramFrame& p) {
  std::string text;
  for (const std::int32_t v : {p.frame.x, p.frame.y, p.frame.width, p.frame.height, p.extents.left,
                               p.extents.top, p.extents.right, p.extents.bottom}) {
    if (!text.empty()) text += ',';
    text += std::to_string(v);
  }
  return text;
}

// The reverse; false for anything else, for sizes below 1 and extents below 0.
inline bool parse_program_frame(std::string_view text, ProgramFrame* out) {
  std::int32_t v[8];
  const char* p = text.data();
  const char* const end = text.data() + text.size();
  for (int i = 0; i < 8; ++i) {
    if (i > 0) {
      if (p == end || *p != ',') return false;
      ++p;
    }
    const auto [next, error] = std::from_chars(p, end, v[i]);
    if (error != std::errc() || next == p) return false;
    p = next;
  }
  if (p != end || v[2] < 1 || v[3] < 1) return false;
  if (std::min({v[4], v[5], v[6], v[7]}) < 0) return false;
  *out = {{v[0], v[1], v[2], v[3]}, {v[4], v[5], v[6], v[7]}};
  return true;
}

}  // namespace fpu
