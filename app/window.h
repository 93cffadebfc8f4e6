// The window procedure and the start-up and shutdown steps shared by every backend.
#pragma once

#include <cstdint>
#include <functional>

#include "app/program.h"

namespace fpu {

inline constexpr const char* window_class_name = "Win32asm_class";
inline constexpr const char* window_title =
    " FPU SAMPLE by JUX .:. Press any key for rotation Or use Mouse.:.";
// The outer size of the window, frame and caption included; the client area shows the
// view_width x view_height picture.
inline constexpr std::int32_t frame_width = 700;
inline constexpr std::int32_t frame_height = 680;
inline constexpr std::uint32_t timer_id = 1;
inline constexpr std::uint32_t timer_period_ms = 50;
// SetTimer raises shorter periods to USER_TIMER_MINIMUM.
inline constexpr std::uint32_t shortest_timer_period_ms = 10;
constexpr std::uint32_t timer_period(std::uint32_t milliseconds) {
  return milliseconds < shortest_timer_period_ms ? shortest_timer_period_ms : milliseconds;
}
// The largest whole factor a high-resolution desktop scales the picture by: eight times
// 700 x 654 already covers the largest screens.
inline constexpr std::int32_t max_desktop_scale = 8;

// The rule for showing the picture on a high-resolution desktop, whichever backend draws
// it: a whole number of screen pixels per picture pixel, so that every pixel is an exact
// square, and positions on the screen mapped back to picture pixels.
// Dots per inch of an unscaled desktop (Windows' 100 %).
inline constexpr std::int32_t unscaled_dpi = 96;

// The largest whole number not above `factor`, at least 1 (also for NaN), at most
// max_desktop_scale.
constexpr std::int32_t integer_scale(double factor) {
  if (!(factor >= 1.0)) return 1;
  if (factor >= max_desktop_scale) return max_desktop_scale;
  return static_cast<std::int32_t>(factor);
}

// The scale for a monitor of `dpi` dots per inch: 192 (200 %) gives 2, 144 (150 %) gives 1.
constexpr std::int32_t scale_for_dpi(std::uint32_t dpi) {
  return integer_scale(static_cast<double>(dpi) / unscaled_dpi);
}

// The whole-pixel scale a window shows the picture at: the largest from `wanted` down (the
// desktop's, or --scale) whose window, the picture at that scale and `frame_extra_width` x
// `frame_extra_height` of frame and caption around it, fits a work area of `work_width` x
// `work_height` (none known: 0, and `wanted` stands); never below 1.
constexpr std::int32_t fitting_scale(std::int32_t wanted, std::int32_t picture_width,
                                     std::int32_t picture_height, std::int32_t frame_extra_width,
                                     std::int32_t frame_extra_height, std::int32_t work_width,
                                     std::int32_t work_height) {
  std::int32_t scale = wanted < 1 ? 1 : wanted;
  if (work_width <= 0 || work_height <= 0) return scale;
  while (scale > 1 && (std::int64_t{picture_width} * scale + frame_extra_width > work_width ||
                       std::int64_t{picture_height} * scale + frame_extra_height > work_height)) {
    --scale;
  }
  return scale;
}

// A screen position in picture pixels, rounding down (also left of and above the window,
// where a captured drag goes).
constexpr std::int32_t picture_coordinate(std::int32_t position, std::int32_t scale) {
  if (scale <= 1) return position;
  return position >= 0 ? position / scale : -((-position + scale - 1) / scale);
}

// A mouse message's lParam (client coordinates, 16 bits each with their sign) in picture
// pixels.
constexpr LParam picture_mouse_lparam(LParam lparam, std::int32_t scale) {
  const auto bits = static_cast<std::uint32_t>(lparam);
  const std::int32_t x = static_cast<std::int16_t>(lparam_x(bits));
  const std::int32_t y = static_cast<std::int16_t>(lparam_y(bits));
  return widen_lparam(
      pack_mouse_lparam(picture_coordinate(x, scale), picture_coordinate(y, scale)));
}

// Routes one message, then returns the platform's default handling of it.
std::intptr_t window_proc(Program& program, WindowHandle window, std::uint32_t message,
                          WParam wparam, LParam lparam);
// Window creation: background brush, initial rings, back buffer, timer.
void on_create(Program& program, WindowHandle window);
// The start-up steps after the window exists: white pen, random seed from the tick count,
// axis points, all three axes selected. The backend then shows the window.
void finish_start_up(Program& program);
// The whole start-up of a backend that delivers its own messages: window creation, the
// steps above, then the one paint that showing the window causes. (On Windows the system
// sends the creation and the paint itself, around finish_start_up.)
// `show` runs where the backend shows its window, just before that paint.
void start_program(Program& program, WindowHandle window, const std::function<void()>& show = {});
// Posts the quit message, deletes the drawing objects and kills the timer (once).
void shutdown(Program& program, WindowHandle window);

// Window position for a screen of the given size (halving as unsigned): the picture's
// centre on the screen's centre. `scale` screen pixels per picture pixel (a desktop
// scaled for high resolution shows the picture larger) moves the corner accordingly.
constexpr std::int32_t window_x_for_screen(std::uint32_t screen_width, std::uint32_t scale = 1) {
  return static_cast<std::int32_t>(screen_width / 2 -
                                   static_cast<std::uint32_t>(view_centre_x) * scale);
}
constexpr std::int32_t window_y_for_screen(std::uint32_t screen_height, std::uint32_t scale = 1) {
  return static_cast<std::int32_t>(screen_height / 2 -
                                   static_cast<std::uint32_t>(view_centre_y) * scale);
}

}  // namespace fpu
