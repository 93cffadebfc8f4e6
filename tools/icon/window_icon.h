// The window's icon: the application icon at 64 x 64, generated at build time from a frame
// of the demo. The Linux program passes it to its window; the backend links no tool.
#pragma once

#include <cstdint>

namespace fpu {

inline constexpr int window_icon_size = 64;
// ARGB words, row-major, top row first.
extern const std::uint32_t window_icon_pixels[window_icon_size * window_icon_size];

}  // namespace fpu
