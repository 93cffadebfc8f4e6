// Where a surface may hold pixels other than its "plain" value: a mask of row bands and, for
// each marked band, a column range, all conservative (a marked band may well be plain).
// Clearing and showing a frame then touch only the rows and columns that can have ink: most
// of the demo's picture is the background. Lines, which come by the thousand, cost a few
// compares each: the first few distinct ones since the bounds were last read are kept and
// marked band by band along their slope, any more only widen a box of their own; settle()
// folds them in.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
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
    // row / band_height as (row * multiplier) >> shift, exact for rows below 2^27: marking
    // needs no division.
    const auto d = static_cast<std::uint64_t>(band_height_);
    shift_ = row_bits + std::bit_width(d - 1);
    multiplier_ = ((std::uint64_t{1} << shift_) + d - 1) / d;
  }

  std::uint32_t plain() const { return plain_; }
  // Folds the lines drawn since into the bands and columns below, which leave them out.
  void settle() {
    for (int i = 0; i < kept_lines_; ++i) {
      const Line& l = lines_[static_cast<std::size_t>(i)];
      mark_line_now(l.x0, l.y0, l.x1, l.y1);
    }
    kept_lines_ = 0;
    if (box_left_ <= box_right_) mark_span(box_left_, box_top_, box_right_, box_bottom_);
    box_left_ = box_top_ = highest;
    box_right_ = box_bottom_ = lowest;
  }
  // Bit b: rows [b * band_height, (b + 1) * band_height) may hold other pixels.
  std::uint64_t bands() const { return bands_; }
  std::int32_t band_height() const { return band_height_; }
  // A marked band's columns [left, right) hold all its non-plain pixels.
  std::int32_t band_left(int band) const { return left_[static_cast<std::size_t>(band)]; }
  std::int32_t band_right(int band) const { return right_[static_cast<std::size_t>(band)]; }
  int band_of(std::int32_t row) const {
    return static_cast<int>((static_cast<std::uint64_t>(row) * multiplier_) >> shift_);
  }
  bool band_marked(std::int32_t row) const { return ((bands_ >> band_of(row)) & 1u) != 0; }

  // Pixels in [left, right) x [top, bottom), a box clipped to the surface, may have changed.
  void mark(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    if (left >= right || top >= bottom) return;
    const int last = band_of(bottom - 1);
    for (int b = band_of(top); b <= last; ++b) mark_band(b, left, right);
  }
  // The box spanned by two points, clamped to the surface.
  void mark_span(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
    mark(clamp(std::min(x0, x1), width_), clamp(std::min(y0, y1), height_),
         clamp(std::max(x0, x1) + 1, width_), clamp(std::max(y0, y1) + 1, height_));
  }
  // A line from (x0, y0) to (x1, y1), anywhere.
  void mark_line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    if (box_left_ <= box_right_) {  // the box is in use: it may as well take this one too
      widen_box(x0, y0, x1, y1);
      return;
    }
    for (int i = 0; i < kept_lines_; ++i) {  // the same line, either way, marks nothing new
      const Line& l = lines_[static_cast<std::size_t>(i)];
      if ((l.x0 == x0 && l.y0 == y0 && l.x1 == x1 && l.y1 == y1) ||
          (l.x0 == x1 && l.y0 == y1 && l.x1 == x0 && l.y1 == y0)) {
        return;
      }
    }
    if (kept_lines_ < kept_line_count) {
      lines_[static_cast<std::size_t>(kept_lines_++)] = Line{x0, y0, x1, y1};
      return;
    }
    widen_box(x0, y0, x1, y1);
  }
  // The bands in `bands` hold only plain pixels now.
  void clear(std::uint64_t bands) {
    settle();
    bands_ &= ~bands;
  }
  // Every pixel is `plain` now.
  void reset(std::uint32_t plain) {
    plain_ = plain;
    kept_lines_ = 0;
    box_left_ = box_top_ = highest;
    box_right_ = box_bottom_ = lowest;
    bands_ = 0;
  }

 private:
  static constexpr int row_bits = 27;
  static constexpr int kept_line_count = 4;
  // End points this far out keep products of coordinates within 64 bits.
  static constexpr std::int64_t sloped_limit = std::int64_t{1} << 24;
  static constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
  static constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
  struct Line {
    std::int32_t x0, y0, x1, y1;
  };

  void widen_box(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    box_left_ = std::min({box_left_, x0, x1});
    box_right_ = std::max({box_right_, x0, x1});
    box_top_ = std::min({box_top_, y0, y1});
    box_bottom_ = std::max({box_bottom_, y0, y1});
  }
  void mark_band(int b, std::int32_t left, std::int32_t right) {
    const auto i = static_cast<std::size_t>(b);
    const std::uint64_t bit = std::uint64_t{1} << b;
    if ((bands_ & bit) == 0) {
      bands_ |= bit;
      left_[i] = left;
      right_[i] = right;
    } else {
      left_[i] = std::min(left_[i], left);
      right_[i] = std::max(right_[i], right);
    }
  }
  static std::int32_t clamp(std::int64_t v, std::int32_t hi) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, hi));
  }
  // A line's pixels in rows [a, b] lie within a column of where the exact line crosses rows
  // a - 1 and b + 1 (a flat line's row runs half a row either way), and inside its box.
  void mark_line_now(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
    const bool far =
        std::max({std::abs(x0), std::abs(y0), std::abs(x1), std::abs(y1)}) > sloped_limit;
    if (far || y0 == y1) {
      mark_span(x0, y0, x1, y1);
      return;
    }
    if (y0 > y1) {
      std::swap(x0, x1);
      std::swap(y0, y1);
    }
    const std::int64_t dx = x1 - x0, dy = y1 - y0;
    const std::int64_t box_left = std::max<std::int64_t>(std::min(x0, x1), 0);
    const std::int64_t box_right = std::min<std::int64_t>(std::max(x0, x1), width_ - 1);
    const std::int64_t top = std::max<std::int64_t>(y0, 0);
    const std::int64_t bottom = std::min<std::int64_t>(y1, height_ - 1);
    if (box_left > box_right || top > bottom) return;
    // floor and ceiling of x0 + (y - y0) * dx / dy, dy > 0
    const auto floor_x = [&](std::int64_t y) {
      const std::int64_t n = (y - y0) * dx;
      return x0 + n / dy - (n % dy < 0 ? 1 : 0);
    };
    const auto ceil_x = [&](std::int64_t y) {
      const std::int64_t n = (y - y0) * dx;
      return x0 + n / dy + (n % dy > 0 ? 1 : 0);
    };
    const int last = band_of(static_cast<std::int32_t>(bottom));
    for (int b = band_of(static_cast<std::int32_t>(top)); b <= last; ++b) {
      const std::int64_t a = std::max<std::int64_t>(top, std::int64_t{b} * band_height_);
      const std::int64_t z = std::min<std::int64_t>(bottom, std::int64_t{b + 1} * band_height_ - 1);
      const std::int64_t lo = std::min(floor_x(a - 1), floor_x(z + 1)) - 1;
      const std::int64_t hi = std::max(ceil_x(a - 1), ceil_x(z + 1)) + 1;
      const std::int64_t l = std::max(lo, box_left), r = std::min(hi, box_right);
      if (l <= r) mark_band(b, static_cast<std::int32_t>(l), static_cast<std::int32_t>(r + 1));
    }
  }

  std::int32_t width_;
  std::int32_t height_;
  std::int32_t band_height_;
  int shift_ = 0;
  std::uint64_t multiplier_ = 0;
  std::uint32_t plain_;
  std::uint64_t bands_ = 0;
  std::array<std::int32_t, band_count> left_{};
  std::array<std::int32_t, band_count> right_{};
  std::array<Line, kept_line_count> lines_{};
  int kept_lines_ = 0;
  // The box of the lines past those kept, unclipped (empty: left above right).
  std::int32_t box_left_ = highest;
  std::int32_t box_top_ = highest;
  std::int32_t box_right_ = lowest;
  std::int32_t box_bottom_ = lowest;
};

}  // namespace fpu
