// Scaling a frame of the demo down to icon sizes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace fpu {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // R, G, B bytes, row-major
};

inline constexpr std::array<int, 8> icon_sizes = {16, 22, 24, 32, 48, 64, 128, 256};

// The square of side 2 * half centred on (centre_x, centre_y), made smaller if it would not
// fit in the image.
RgbImage crop_square(const RgbImage& image, int centre_x, int centre_y, int half);

// Area-average to size x size. The demo's one-pixel lines would fade to grey, so the result
// is brightened until its brightest channel is full (at most 4x).
RgbImage downscale(const RgbImage& square, int size);

}  // namespace fpu
