// Where a surface may hold pixels other than its "plain" value: a mask of row bands and a
// column range, both conservative (a marked band may well be plain). Clearing and showing a
// frame then touch only the rows and columns that can have ink: most of the demo's picture
// is the background. Every update is O(1), so a line pays the same whatever its length, and
// lines, which come by the thousand, only widen a box of their own, folded in by settle().
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>

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
  // Folds the lines' box into the bands and columns below, which leave it out until then.
  void settle() {
    if (line_left_ > line_right_) return;
    mark_span(line_left_, line_top_, line_right_, line_bottom_);
    drop_lines();
  }
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
  // A line from (x0, y0) to (x1, y1): its pixels lie in the box of its end points.
  void mark_line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    line_left_ = std::min({line_left_, x0, x1});
    line_right_ = std::max({line_right_, x0, x1});
    line_top_ = std::min({line_top_, y0, y1});
    line_bottom_ = std::max({line_bottom_, y0, y1});
  }
  // The box spanned by two points, clamped to the surface.
  void mark_span(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
    const auto clamp = [](std::int64_t v, std::int32_t hi) {
      return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, hi));
    };
    mark(clamp(std::min(x0, x1), width_), clamp(std::min(y0, y1), height_),
         clamp(std::max(x0, x1) + 1, width_), clamp(std::max(y0, y1) + 1, height_));
  }
  // The bands in `bands` hold only plain pixels now.
  void clear(std::uint64_t bands) {
    settle();
    bands_ &= ~bands;
    if (bands_ == 0) {
      left_ = width_;
      right_ = 0;
    }
  }
  // Every pixel is `plain` now.
  void reset(std::uint32_t plain) {
    plain_ = plain;
    drop_lines();
    clear(~std::uint64_t{0});
  }

 private:
  static constexpr int row_bits = 27;
  static constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
  static constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
  void drop_lines() {
    line_left_ = line_top_ = highest;
    line_right_ = line_bottom_ = lowest;
  }
  std::int32_t width_;
  std::int32_t height_;
  std::int32_t band_height_;
  int shift_ = 0;
  std::uint64_t multiplier_ = 0;
  std::uint32_t plain_;
  std::uint64_t bands_ = 0;
  std::int32_t left_ = width_;
  std::int32_t right_ = 0;
  // The box of the lines since the last settle(), unclipped (empty: left above right).
  std::int32_t line_left_ = highest;
  std::int32_t line_top_ = highest;
  std::int32_t line_right_ = lowest;
  std::int32_t line_bottom_ = lowest;
};

}  // namespace fpu
