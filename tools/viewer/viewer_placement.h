// Where the trace viewer's window goes: beside the program's window, never over it, so the
// program keeps both its keyboard and its picture. Shared by the Linux and Windows viewers.
#pragma once

#include <algorithm>
#include <cstdint>

#include "app/window.h"

namespace fpu::viewer {

struct ScreenRect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// Space left between the two windows (room for a window manager's frame).
inline constexpr std::int32_t viewer_gap = 8;
// A viewer narrower or lower than this is not worth placing in a gap.
inline constexpr std::int32_t viewer_min_width = 240;
inline constexpr std::int32_t viewer_min_height = 120;

// The program's window on a screen of this size: where the program itself puts it
// (app/window.h), `width` x `height` at `scale` screen pixels per picture pixel.
inline ScreenRect program_rect(std::int32_t screen_width, std::int32_t screen_height,
                               std::int32_t width, std::int32_t height, std::int32_t scale = 1) {
  return {window_x_for_screen(static_cast<std::uint32_t>(screen_width),
                              static_cast<std::uint32_t>(scale)),
          window_y_for_screen(static_cast<std::uint32_t>(screen_height),
                              static_cast<std::uint32_t>(scale)),
          width * scale, height * scale};
}

// The viewer's rectangle, at most `want_width` x `want_height`: to the right of the
// program's window when the screen has room there, else below it. When neither has room
// it takes the screen's bottom-right corner, over as little of the program as it can.
inline ScreenRect place_viewer(const ScreenRect& program, std::int32_t screen_width,
                               std::int32_t screen_height, std::int32_t want_width,
                               std::int32_t want_height) {
  const std::int32_t right = program.x + program.width + viewer_gap;
  const std::int32_t below = program.y + program.height + viewer_gap;
  if (screen_width - right >= viewer_min_width) {
    const std::int32_t y = std::max(program.y, 0);
    return {right, y, std::min(want_width, screen_width - right),
            std::min(want_height, std::max(screen_height - y, viewer_min_height))};
  }
  if (screen_height - below >= viewer_min_height) {
    const std::int32_t x = std::max(program.x, 0);
    return {x, below, std::min(want_width, std::max(screen_width - x, viewer_min_width)),
            std::min(want_height, screen_height - below)};
  }
  const std::int32_t width = std::min(want_width, screen_width);
  const std::int32_t height = std::min(want_height, screen_height);
  return {screen_width - width, screen_height - height, width, height};
}

}  // namespace fpu::viewer
