// The pixels of a 1-pixel cosmetic line (the Windows LineTo rule), clipped to a bitmap.
#pragma once

#include <algorithm>
#include <cstdint>

namespace fpu {

// clip_line works out the visible part of the line from (x0, y0) towards (x1, y1);
// raster_line calls plot(x, y) for each pixel of the line from (x0, y0) towards (x1, y1), end point
// excluded, that lies inside [0, width) x [0, height), in drawing order. Every int32 end
// point is accepted; the work is bounded by the visible length, never the full length.
//
// The rule. Let D be the larger and d the smaller of |x1 - x0| and |y1 - y0|; the line is
// x-major when |dx| > |dy|, else y-major (exact diagonals are y-major). Pixel k, for
// k = 0 .. D-1, lies k steps along the major axis from the start and
//   v(k) = floor((2*k*d + D - 1 + b) / (2*D))
// steps along the minor axis, where b = 1 when the minor coordinate decreases, else 0.
// For b = 0 this is ceil((2kd - D) / 2D), for b = 1 it is -ceil((-2kd - D) / 2D): the
// pixel nearest the ideal line, exact ties going to the smaller minor coordinate (the
// upper pixel of an x-major line, the left one of a y-major line).
//
// Clipping. The major coordinate is linear in k, so the bitmap's columns (rows for a
// y-major line) give one k-range. v(k) is non-decreasing, so the minor bound v in
// [vlo, vhi] gives another:
//   v(k) >= vlo  <=>  2kd + D - 1 + b >= 2D*vlo        <=>  k >= ceil((2D*vlo - D + 1 - b) / 2d)
//   v(k) <= vhi  <=>  2kd + D - 1 + b <= 2D*(vhi+1) - 1 <=>  k <= floor((2D*(vhi+1) - D - b) / 2d)
// Only the intersection is walked, with the running remainder of the division above, so
// the pixels are exactly the unclipped line's and at most one bitmap width or height of
// them is visited. D and d reach 2^32 and 2D*v reaches 2^66, so the bounds are worked out
// in 128 bits; the walk's remainder stays below 2D < 2^33.
// The visible part of a line, ready to walk: `count` pixels starting at (x, y). After each
// pixel: step by (major_dx, major_dy), add two_small to r, and when r reaches two_big,
// subtract it and also step by (minor_dx, minor_dy).
struct LineWalk {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int64_t count = 0;
  std::int32_t major_dx = 0;
  std::int32_t major_dy = 0;
  std::int32_t minor_dx = 0;
  std::int32_t minor_dy = 0;
  std::int64_t r = 0;
  std::int64_t two_small = 0;
  std::int64_t two_big = 1;
};

namespace detail {

// num / den for num >= 0 and den > 0. Lines on or near the bitmap fit in 64 bits, where a
// division is one instruction instead of a 128-bit library call.
inline __int128 quotient(__int128 num, __int128 den) {
  constexpr __int128 fits = INT64_MAX;
  if (num <= fits && den <= fits) {
    return static_cast<std::int64_t>(num) / static_cast<std::int64_t>(den);
  }
  return num / den;
}
inline std::int64_t quotient(std::int64_t num, std::int64_t den) {
  return num / den;
}

// The bounds below in Wide: __int128 for any end points, std::int64_t where they fit.
template <class Wide>
LineWalk clip_line_in(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                      std::int32_t width, std::int32_t height) {
  using i64 = std::int64_t;
  using i128 = Wide;
  LineWalk walk;
  if (width <= 0 || height <= 0) return walk;

  const i64 dx = i64{x1} - x0;
  const i64 dy = i64{y1} - y0;
  const i64 adx = dx < 0 ? -dx : dx;
  const i64 ady = dy < 0 ? -dy : dy;
  const bool x_major = adx > ady;
  const i64 big_d = x_major ? adx : ady;
  if (big_d == 0) return walk;  // zero length: nothing drawn
  const i64 small_d = x_major ? ady : adx;
  const i64 major0 = x_major ? x0 : y0;
  const i64 minor0 = x_major ? y0 : x0;
  const i64 major_dir = (x_major ? dx : dy) < 0 ? -1 : 1;
  const i64 minor_dir = (x_major ? dy : dx) < 0 ? -1 : 1;
  const i64 bias = minor_dir < 0 ? 1 : 0;
  const i64 major_size = x_major ? width : height;
  const i64 minor_size = x_major ? height : width;

  // k-range whose major coordinate is inside.
  i64 k_lo = 0;
  i64 k_hi = big_d - 1;
  if (major_dir > 0) {
    k_lo = std::max(k_lo, -major0);
    k_hi = std::min(k_hi, major_size - 1 - major0);
  } else {
    k_lo = std::max(k_lo, major0 - (major_size - 1));
    k_hi = std::min(k_hi, major0);
  }
  if (k_lo > k_hi) return walk;

  // v-range whose minor coordinate is inside; v is never negative.
  i64 v_lo = minor_dir > 0 ? -minor0 : minor0 - (minor_size - 1);
  const i64 v_hi = minor_dir > 0 ? minor_size - 1 - minor0 : minor0;
  if (v_hi < 0) return walk;
  v_lo = std::max<i64>(v_lo, 0);
  const i64 offset = big_d - 1 + bias;
  if (small_d == 0) {
    if (v_lo > 0) return walk;  // v stays 0
  } else {
    const i128 two_d = i128{2} * small_d;
    const i128 lo_num = i128{2} * big_d * v_lo - offset;
    if (lo_num > 0) {
      const i128 first = quotient(lo_num + two_d - 1, two_d);
      if (first > k_hi) return walk;
      k_lo = std::max(k_lo, static_cast<i64>(first));
    }
    const i128 hi_num = i128{2} * big_d * (i128{v_hi} + 1) - big_d - bias;  // >= 0
    const i128 last = quotient(hi_num, two_d);
    if (last < k_lo) return walk;
    if (last < k_hi) k_hi = static_cast<i64>(last);
  }
  if (k_lo > k_hi) return walk;

  // Start at k_lo with the remainder r of (2kd + offset) / 2D.
  walk.two_big = 2 * big_d;
  walk.two_small = 2 * small_d;
  const i128 num = i128{walk.two_small} * k_lo + offset;
  const i64 v = static_cast<i64>(quotient(num, i128{walk.two_big}));
  walk.r = static_cast<i64>(num - i128{v} * walk.two_big);
  const i64 major = major0 + major_dir * k_lo;
  const i64 minor = minor0 + minor_dir * v;
  walk.x = static_cast<std::int32_t>(x_major ? major : minor);
  walk.y = static_cast<std::int32_t>(x_major ? minor : major);
  walk.count = k_hi - k_lo + 1;
  walk.major_dx = x_major ? static_cast<std::int32_t>(major_dir) : 0;
  walk.major_dy = x_major ? 0 : static_cast<std::int32_t>(major_dir);
  walk.minor_dx = x_major ? 0 : static_cast<std::int32_t>(minor_dir);
  walk.minor_dy = x_major ? static_cast<std::int32_t>(minor_dir) : 0;
  return walk;
}

}  // namespace detail

// End points within +/-2^29 on a bitmap with sides below 2^29 (every line of the demo but
// those from far outside) keep every product below 2^62, so 64 bits do: no 128-bit
// arithmetic, which WebAssembly does in library calls.
inline LineWalk clip_line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                          std::int32_t width, std::int32_t height) {
  constexpr std::int32_t near = std::int32_t{1} << 29;
  const auto is_near = [](std::int32_t v) { return v > -near && v < near; };
  if (is_near(x0) && is_near(y0) && is_near(x1) && is_near(y1) && width < near && height < near) {
    return detail::clip_line_in<std::int64_t>(x0, y0, x1, y1, width, height);
  }
  return detail::clip_line_in<__int128>(x0, y0, x1, y1, width, height);
}

// The same walk with the minor steps read off a 32.32 fixed-point position instead of the
// running remainder: pixel j lies j major steps and floor(acc_j / 2^32) minor steps from the
// start, where acc_j = start + j * step, start = ceil(r * 2^32 / 2D), step = ceil(2d * 2^32 / 2D).
// The roundings add up to less than count / 2^32 of a minor step, and r_j / 2D, the exact
// fraction, is at least 1 / 2D below the next whole step, so both floors agree while
// 2D * count <= 2^32: every line on or near the bitmap. No remainder is carried from pixel to
// pixel, so there is no compare per pixel and the pixels do not wait on one another.
struct FixedStepWalk {
  std::uint64_t start = 0;
  std::uint64_t step = 0;
};

// False when the walk is too long for 32 fraction bits; it is then walked by its remainder.
inline bool fixed_step_walk(const LineWalk& w, FixedStepWalk& out) {
  constexpr std::int64_t one = std::int64_t{1} << 32;
  if (w.count <= 0 || w.two_big > one / w.count) return false;
  // r < 2D and 2d <= 2D <= 2^32: the shifted values fit in 64 bits.
  const auto big = static_cast<std::uint64_t>(w.two_big);
  out.start = ((static_cast<std::uint64_t>(w.r) << 32) + big - 1) / big;
  out.step = ((static_cast<std::uint64_t>(w.two_small) << 32) + big - 1) / big;
  return true;
}

template <class Plot>
void raster_line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                 std::int32_t width, std::int32_t height, Plot&& plot) {
  LineWalk w = clip_line(x0, y0, x1, y1, width, height);
  for (std::int64_t n = w.count; n > 0; --n) {
    plot(w.x, w.y);
    if (n == 1) break;  // stepping past the last pixel could leave the int32 range
    w.x += w.major_dx;
    w.y += w.major_dy;
    w.r += w.two_small;
    if (w.r >= w.two_big) {
      w.r -= w.two_big;
      w.x += w.minor_dx;
      w.y += w.minor_dy;
    }
  }
}

}  // namespace fpu
