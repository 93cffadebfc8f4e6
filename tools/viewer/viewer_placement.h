// Where the trace viewer's window goes: beside the program's window, never over it, so the
// program keeps both its keyboard and its picture. Shared by the Linux and Windows viewers.
// Rectangles are window frames (the window manager's decoration included) in screen pixels.
#pragma once

#include <algorithm>
#include <cstdint>

#include "app/window.h"
#include "app/window_frame.h"

namespace fpu::viewer {

using fpu::FrameExtents;
using fpu::overlaps;
using fpu::ProgramFrame;
using fpu::ScreenRect;

// Space left between the two windows.
inline constexpr std::int32_t viewer_gap = 8;

// The program's window on a screen of this size where the program itself puts it
// (app/window.h), `width` x `height` at `scale` screen pixels per picture pixel: for a
// viewer that was not told where the program is.
inline ScreenRect program_rect(std::int32_t screen_width, std::int32_t screen_height,
                               std::int32_t width, std::int32_t height, std::int32_t scale = 1) {
  return {window_x_for_screen(static_cast<std::uint32_t>(screen_width),
                              static_cast<std::uint32_t>(scale)),
          window_y_for_screen(static_cast<std::uint32_t>(screen_height),
                              static_cast<std::uint32_t>(scale)),
          width * scale, height * scale};
}

// Frames and sizes are bounded to this far off the work area (a frame farther out places
// the viewer as one just beyond it does), so no sum here leaves 32 bits.
inline constexpr std::int32_t kFarOff = 1 << 24;

// The scale the program shows its picture at, read from the frame it gave (its client width
// over the picture's), so that the viewer's text follows a --scale the program was started
// with; 0 when the frame does not hold the picture at a whole scale (a window the window
// manager resized), and the viewer goes by the desktop.
inline std::int32_t picture_scale_of(const ProgramFrame& program,
                                     std::int32_t picture_width = view_width) {
  const std::int64_t client =
      std::int64_t{program.frame.width} - program.extents.left - program.extents.right;
  if (picture_width <= 0 || client < picture_width || client % picture_width != 0) return 0;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(client / picture_width, max_desktop_scale));
}

// The viewer's frame, at most `want_width` x `want_height`, inside `work` (the screen less
// the desktop's panels), never over the program's frame: to its right whenever at least
// `need_width` (what the viewer's text needs) is free there, narrowed to the room; else on
// its left by the same rule; else below it, else above it, whenever `need_height` is free
// there, lowered to the room; else on the side where the largest part of it fits. Only a
// program that leaves no room at all gets the viewer over it.
inline ScreenRect place_viewer(const ScreenRect& given, const ScreenRect& work,
                               std::int32_t want_width, std::int32_t want_height,
                               std::int32_t need_width, std::int32_t need_height) {
  const ScreenRect program{std::clamp(given.x, work.x - kFarOff, work.x + kFarOff),
                           std::clamp(given.y, work.y - kFarOff, work.y + kFarOff),
                           std::clamp(given.width, 0, kFarOff),
                           std::clamp(given.height, 0, kFarOff)};
  const std::int32_t work_right = work.x + work.width;
  const std::int32_t work_bottom = work.y + work.height;
  const std::int32_t width = std::clamp(want_width, 1, std::max(work.width, 1));
  const std::int32_t height = std::clamp(want_height, 1, std::max(work.height, 1));
  const std::int32_t least_width = std::clamp(need_width, 1, width);
  const std::int32_t least_height = std::clamp(need_height, 1, height);
  // The program's edges as far as they lie in the work area: a frame partly or wholly off
  // it leaves the room the work area has.
  const std::int32_t left = std::clamp(program.x, work.x, work_right);
  const std::int32_t right = std::clamp(program.x + program.width, work.x, work_right);
  const std::int32_t top = std::clamp(program.y, work.y, work_bottom);
  const std::int32_t bottom = std::clamp(program.y + program.height, work.y, work_bottom);
  const std::int32_t right_x = right + viewer_gap;
  const std::int32_t below_y = bottom + viewer_gap;
  // Beside the program at its height, or above and below it at its left edge, as far as
  // the work area lets a window of width w and height h go.
  const auto level_y = [&](std::int32_t h) {
    return std::clamp(program.y, work.y, std::max(work_bottom - h, work.y));
  };
  const auto level_x = [&](std::int32_t w) {
    return std::clamp(program.x, work.x, std::max(work_right - w, work.x));
  };
  const std::int32_t room_right = work_right - right_x;
  const std::int32_t room_left = left - viewer_gap - work.x;
  const std::int32_t room_below = work_bottom - below_y;
  const std::int32_t room_above = top - viewer_gap - work.y;
  if (room_right >= least_width) {
    return {right_x, level_y(height), std::min(width, room_right), height};
  }
  if (room_left >= least_width) {
    const std::int32_t w = std::min(width, room_left);
    return {left - viewer_gap - w, level_y(height), w, height};
  }
  if (room_below >= least_height) {
    return {level_x(width), below_y, width, std::min(height, room_below)};
  }
  if (room_above >= least_height) {
    const std::int32_t h = std::min(height, room_above);
    return {level_x(width), top - viewer_gap - h, width, h};
  }
  // The text fits nowhere: the side with the most room.
  ScreenRect best;
  std::int64_t best_area = 0;
  const auto consider = [&](const ScreenRect& r) {
    const std::int64_t area = std::int64_t{r.width} * r.height;
    if (r.width > 0 && r.height > 0 && area > best_area) {
      best = r;
      best_area = area;
    }
  };
  consider({right_x, level_y(height), room_right, height});
  consider({work.x, level_y(height), room_left, height});
  consider({level_x(width), below_y, width, room_below});
  consider({level_x(width), work.y, width, room_above});
  if (best_area > 0) return best;
  // The program covers the whole work area: the viewer goes in its bottom-right corner.
  return {work_right - width, work_bottom - height, width, height};
}

}  // namespace fpu::viewer
