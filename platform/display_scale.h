// The one rule for showing the 700 x 654 picture on a high-resolution desktop, whichever
// backend draws it: a whole number of screen pixels per picture pixel, so that every pixel
// is an exact square, and positions on the screen mapped back to picture pixels.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace fpu {

inline constexpr std::int32_t max_display_scale = 8;
// Dots per inch of an unscaled desktop (Windows' 100 %).
inline constexpr std::int32_t unscaled_dpi = 96;

// The largest whole number not above `factor`, at least 1 (also for NaN), at most
// max_display_scale.
constexpr std::int32_t integer_scale(double factor) {
  if (!(factor >= 1.0)) return 1;
  if (factor >= max_display_scale) return max_display_scale;
  return static_cast<std::int32_t>(factor);
}

// The scale for a monitor of `dpi` dots per inch: 192 (200 %) gives 2, 144 (150 %) gives 1.
constexpr std::int32_t scale_for_dpi(std::uint32_t dpi) {
  return integer_scale(static_cast<double>(dpi) / unscaled_dpi);
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

}  // namespace fpu
