// Where a surface may hold pixels other than its "plain" value: a mask of row bands and a
// column range, both conservative (a marked band may well be plain). Clearing and showing a
// frame then touch only the rows and columns that can have ink: most of the demo's picture
// is the background. Every update is O(1), so a line pays the same whatever its length.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

namespace fpu {

class InkBounds {
 public:
  static constexpr int band_count = 64;

  // A width x height surface whose pixels are all `plain` (height below 2^27, as every
  // bitmap's).
  InkBounds(std::int32_t width, std::int32_t height, std::uint32_t plain)
      : width_(width),
        height_(height),
        band_height_(std::max<std::int32_t>(1, (height + band_count - 1) / band_count)),
        plain_(plain) {
    // row / band_height as (row * multiplier) >> shift, exact for rows below 2^27: a line
    // marks its box with no division.
    const auto d = static_cast<std::uint64_t>(band_height_);
    shift_ = row_bits + std::bit_width(d - 1);
    multiplier_ = ((std::uint64_t{1} << shift_) + d - 1) / d;
  }

  std::uint32_t plain() const { return plain_; }
  // Bit b: rows [b * band_height, (b + 1) * band_height) may hold other pixels.
  std::uint64_t bands() const { return bands_; }
  std::int32_t band_height() const { return band_height_; }
  // Columns [left, right) hold every non-plain pixel; empty when no band is marked.
  std::int32_t left() const { return left_; }
  std::int32_t right() const { return right_; }
  int band_of(std::int32_t row) const {
    return static_cast<int>((static_cast<std::uint64_t>(row) * multiplier_) >> shift_);
  }
  bool band_marked(std::int32_t row) const { return ((bands_ >> band_of(row)) & 1u) != 0; }

  // The bands holding rows [top, bottom), a non-empty range on the surface.
  std::uint64_t bands_of_rows(std::int32_t top, std::int32_t bottom) const {
    const int first = band_of(top);
    const int last = band_of(bottom - 1);
    const std::uint64_t upto =
        last >= band_count - 1 ? ~std::uint64_t{0} : (std::uint64_t{1} << (last + 1)) - 1;
    return upto & ~((std::uint64_t{1} << first) - 1);
  }
  // The bands whose every row lies in [top, bottom) (rows past the surface's end count as in).
  std::uint64_t bands_within_rows(std::int32_t top, std::int32_t bottom) const {
    const int first = (top + band_height_ - 1) / band_height_;
    const int end = bottom >= height_ ? band_count : bottom / band_height_;
    if (first >= end) return 0;
    const std::uint64_t upto =
        end >= band_count ? ~std::uint64_t{0} : (std::uint64_t{1} << end) - 1;
    return upto & ~((std::uint64_t{1} << first) - 1);
  }

  // Pixels in [left, right) x [top, bottom), a box clipped to the surface, may have changed.
  void mark(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    if (left >= right || top >= bottom) return;
    bands_ |= bands_of_rows(top, bottom);
    left_ = std::min(left_, left);
    right_ = std::max(right_, right);
  }
  // The box spanned by two points, clamped to the surface (a line's pixels lie in it).
  void mark_span(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
    const auto clamp = [](std::int64_t v, std::int32_t hi) {
      return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, hi));
    };
    mark(clamp(std::min(x0, x1), width_), clamp(std::min(y0, y1), height_),
         clamp(std::max(x0, x1) + 1, width_), clamp(std::max(y0, y1) + 1, height_));
  }
  // The bands in `bands` hold only plain pixels now.
  void clear(std::uint64_t bands) {
    bands_ &= ~bands;
    if (bands_ == 0) {
      left_ = width_;
      right_ = 0;
    }
  }
  // Every pixel is `plain` now.
  void reset(std::uint32_t plain) {
    plain_ = plain;
    clear(~std::uint64_t{0});
  }

 private:
  static constexpr int row_bits = 27;
  std::int32_t width_;
  std::int32_t height_;
  std::int32_t band_height_;
  int shift_ = 0;
  std::uint64_t multiplier_ = 0;
  std::uint32_t plain_;
  std::uint64_t bands_ = 0;
  std::int32_t left_ = width_;
  std::int32_t right_ = 0;
};

}  // namespace fpu
