#include <algorithm>

#include "tools/icon/icon_scale.h"

namespace fpu {

RgbImage crop_square(const RgbImage& image, int centre_x, int centre_y, int half) {
  half = std::max(
      0, std::min({half, centre_x, centre_y, image.width - centre_x, image.height - centre_y}));
  RgbImage out;
  out.width = out.height = 2 * half;
  out.rgb.reserve(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3);
  for (int y = centre_y - half; y < centre_y + half; ++y) {
    const std::uint8_t* row =
        &image.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                    static_cast<std::size_t>(centre_x - half)) *
                   3];
    out.rgb.insert(out.rgb.end(), row, row + static_cast<std::size_t>(out.width) * 3);
  }
  return out;
}

RgbImage downscale(const RgbImage& square, int size) {
  RgbImage out;
  out.width = out.height = size;
  if (square.width <= 0 || size <= 0) return out;
  // Each output pixel averages the source pixels whose centres fall in its box.
  std::vector<double> sum(static_cast<std::size_t>(size) * static_cast<std::size_t>(size) * 3);
  std::vector<int> count(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
  for (int y = 0; y < square.height; ++y) {
    const int oy = static_cast<int>((static_cast<long long>(y) * size) / square.height);
    for (int x = 0; x < square.width; ++x) {
      const int ox = static_cast<int>((static_cast<long long>(x) * size) / square.width);
      const std::size_t o = static_cast<std::size_t>(oy) * static_cast<std::size_t>(size) +
                            static_cast<std::size_t>(ox);
      const std::size_t s = (static_cast<std::size_t>(y) * static_cast<std::size_t>(square.width) +
                             static_cast<std::size_t>(x)) *
                            3;
      for (int c = 0; c < 3; ++c)
        sum[o * 3 + static_cast<std::size_t>(c)] += square.rgb[s + static_cast<std::size_t>(c)];
      ++count[o];
    }
  }
  double brightest = 0;
  for (std::size_t i = 0; i < sum.size(); ++i) {
    if (count[i / 3] > 0) sum[i] /= count[i / 3];
    brightest = std::max(brightest, sum[i]);
  }
  const double gain = brightest > 0 ? std::min(4.0, 255.0 / brightest) : 1.0;
  out.rgb.resize(sum.size());
  for (std::size_t i = 0; i < sum.size(); ++i) {
    out.rgb[i] = static_cast<std::uint8_t>(std::min(255.0, sum[i] * gain + 0.5));
  }
  return out;
}

}  // namespace fpu
