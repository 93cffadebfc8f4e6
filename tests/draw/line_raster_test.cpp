#include "backends/soft/line_raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace fpu {
namespace {

using Pixel = std::pair<std::int64_t, std::int64_t>;
using Pixels = std::vector<Pixel>;

constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();

Pixels clipped(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
               std::int32_t width, std::int32_t height) {
  Pixels out;
  raster_line(x0, y0, x1, y1, width, height,
              [&](std::int32_t x, std::int32_t y) { out.emplace_back(x, y); });
  return out;
}

// An independent reference: the incremental walk over the whole line, in drawing order,
// keeping the pixels inside [0, width) x [0, height). The error term e starts at 2d - D;
// the minor coordinate steps when e + bias > 0, the bias being 1 when it decreases.
Pixels full_walk(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                 std::int64_t width = std::numeric_limits<std::int64_t>::max(),
                 std::int64_t height = std::numeric_limits<std::int64_t>::max()) {
  const std::int64_t dx = x1 - x0, dy = y1 - y0;
  const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const bool x_major = adx > ady;
  const std::int64_t big = x_major ? adx : ady, small = x_major ? ady : adx;
  const std::int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  const std::int64_t bias = (x_major ? dy : dx) < 0 ? 1 : 0;
  Pixels out;
  std::int64_t x = x0, y = y0, e = 2 * small - big;
  for (std::int64_t i = 0; i < big; ++i) {
    if (x >= 0 && y >= 0 && x < width && y < height) out.emplace_back(x, y);
    if (e + bias > 0) {
      (x_major ? y : x) += x_major ? sy : sx;
      e += 2 * small - 2 * big;
    } else {
      e += 2 * small;
    }
    (x_major ? x : y) += x_major ? sx : sy;
  }
  return out;
}

struct WorkedExample {
  std::int32_t x0, y0, x1, y1;
  Pixels expected;
};

// The worked examples of the diamond rule, ties included; drawn shifted into a bitmap
// since the rule does not depend on position.
TEST(LineRaster, WorkedExamples) {
  const WorkedExample cases[] = {
      {0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
      {5, 2, 0, 0, {{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}}},
      {0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
      {4, 2, 0, 0, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},
      {0, 0, 2, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
      {0, 2, 4, 0, {{0, 2}, {1, 1}, {2, 1}, {3, 0}}},
      {0, 0, 2, -4, {{0, 0}, {0, -1}, {1, -2}, {1, -3}}},
      {0, 0, -4, 2, {{0, 0}, {-1, 0}, {-2, 1}, {-3, 1}}},
      {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
      {5, 0, 0, 0, {{5, 0}, {4, 0}, {3, 0}, {2, 0}, {1, 0}}},
      {3, 3, 3, 3, {}},
  };
  constexpr std::int32_t shift = 10;
  for (const auto& c : cases) {
    Pixels got = clipped(c.x0 + shift, c.y0 + shift, c.x1 + shift, c.y1 + shift, 30, 30);
    for (Pixel& p : got) p = {p.first - shift, p.second - shift};
    EXPECT_EQ(got, c.expected) << "(" << c.x0 << "," << c.y0 << ")->(" << c.x1 << "," << c.y1
                               << ")";
    Pixels reference = full_walk(c.x0 + shift, c.y0 + shift, c.x1 + shift, c.y1 + shift);
    for (Pixel& p : reference) p = {p.first - shift, p.second - shift};
    EXPECT_EQ(reference, c.expected) << "reference walk";
  }
}

// Both directions light the same pixels, except each includes its own start.
TEST(LineRaster, ReverseDirectionSwapsOnlyTheEnds) {
  for (std::int32_t x1 = 0; x1 <= 14; ++x1) {
    for (std::int32_t y1 = 0; y1 <= 14; ++y1) {
      if (x1 == 7 && y1 == 7) continue;
      Pixels forward = clipped(7, 7, x1, y1, 15, 15);
      Pixels backward = clipped(x1, y1, 7, 7, 15, 15);
      forward.emplace_back(x1, y1);
      backward.emplace_back(7, 7);
      std::sort(forward.begin(), forward.end());
      std::sort(backward.begin(), backward.end());
      EXPECT_EQ(forward, backward) << x1 << "," << y1;
    }
  }
}

TEST(LineRaster, ClipTestVectors) {
  Pixels a = clipped(-10, -3, 10, 3, 700, 654);
  EXPECT_EQ(
      a, (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 2}, {7, 2}, {8, 2}, {9, 3}}));

  Pixels b = clipped(int_min, 100, int_max, 400, 700, 654);
  ASSERT_EQ(b.size(), 700u);
  for (std::size_t i = 0; i < b.size(); ++i) EXPECT_EQ(b[i], Pixel(i, 250)) << i;

  Pixels c = clipped(350, 327, int_max, int_min, 700, 654);
  ASSERT_EQ(c.size(), 328u);
  for (std::size_t i = 0; i < c.size(); ++i) {
    EXPECT_EQ(c[i], Pixel(350 + static_cast<std::int64_t>(i), 327 - static_cast<std::int64_t>(i)));
  }
}

// Small lines against small bitmaps: every edge case of the clip bounds shows up.
TEST(LineRaster, ClippedEqualsReferenceOnSmallBitmaps) {
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<std::int32_t> coord(-12, 20);
  std::uniform_int_distribution<std::int32_t> size(1, 9);
  for (int n = 0; n < 50000; ++n) {
    const std::int32_t w = size(rng), h = size(rng);
    const std::int32_t x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
    ASSERT_EQ(clipped(x0, y0, x1, y1, w, h), full_walk(x0, y0, x1, y1, w, h))
        << "(" << x0 << "," << y0 << ")->(" << x1 << "," << y1 << ") in " << w << "x" << h;
  }
}

// End points up to +/-10^6, aimed through or near the bitmap so most lines show.
TEST(LineRaster, ClippedEqualsReferenceForFarEndPoints) {
  std::mt19937 rng(700654);
  std::uniform_int_distribution<std::int32_t> far(-1000000, 1000000);
  std::uniform_int_distribution<std::int32_t> near_x(-40, 740), near_y(-40, 694), jitter(-3, 3);
  int visible = 0;
  for (int n = 0; n < 300; ++n) {
    const std::int32_t x0 = far(rng), y0 = far(rng);
    const std::int32_t x1 = 2 * near_x(rng) - x0 + jitter(rng);
    const std::int32_t y1 = 2 * near_y(rng) - y0 + jitter(rng);
    const Pixels got = clipped(x0, y0, x1, y1, 700, 654);
    ASSERT_EQ(got, full_walk(x0, y0, x1, y1, 700, 654))
        << "(" << x0 << "," << y0 << ")->(" << x1 << "," << y1 << ")";
    visible += got.empty() ? 0 : 1;
  }
  EXPECT_GT(visible, 200);
}

// floor(a / b) for b > 0, in 128 bits.
__int128 floor_div(__int128 a, __int128 b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The closed form evaluated at every visible column (row) of an x-major (y-major) line.
Pixels closed_form_visible(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                           std::int64_t width, std::int64_t height) {
  const std::int64_t dx = x1 - x0, dy = y1 - y0;
  const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const bool x_major = adx > ady;
  const std::int64_t big = x_major ? adx : ady;
  const std::int64_t major0 = x_major ? x0 : y0, minor0 = x_major ? y0 : x0;
  const std::int64_t major_dir = (x_major ? dx : dy) < 0 ? -1 : 1;
  const std::int64_t minor_delta = x_major ? dy : dx;
  Pixels out;
  for (std::int64_t m = 0; m < (x_major ? width : height); ++m) {
    const std::int64_t k = (m - major0) * major_dir;
    if (k < 0 || k >= big) continue;
    // minor = minor0 + ceil((2k*delta - D) / 2D) = minor0 - floor((D - 2k*delta) / 2D)
    const __int128 num = __int128{big} - __int128{2} * k * minor_delta;
    const std::int64_t minor =
        minor0 - static_cast<std::int64_t>(floor_div(num, 2 * __int128{big}));
    if (minor < 0 || minor >= (x_major ? height : width)) continue;
    out.push_back(x_major ? Pixel(m, minor) : Pixel(minor, m));
  }
  return out;
}

TEST(LineRaster, ExtremeEndPointsMatchTheClosedForm) {
  std::mt19937 rng(31);
  std::uniform_int_distribution<std::int32_t> full(int_min, int_max);
  // Just inside +/-2^29, the largest end points worked out in 64 bits.
  std::uniform_int_distribution<std::int32_t> fits((1 << 29) - 1000, (1 << 29) - 1);
  std::uniform_int_distribution<std::int32_t> near_x(-40, 740), near_y(-40, 694);
  for (int n = 0; n < 3000; ++n) {
    const auto any = [&] { return n % 3 != 2 ? full(rng) : (fits(rng) * (rng() % 2 ? 1 : -1)); };
    const std::int32_t x0 = any(), y0 = any();
    // Every other line aims through the bitmap (clamped into int32), the rest are random.
    const std::int64_t ax = 2 * std::int64_t{near_x(rng)} - x0;
    const std::int64_t ay = 2 * std::int64_t{near_y(rng)} - y0;
    const std::int32_t x1 =
        n % 2 ? any() : static_cast<std::int32_t>(std::clamp<std::int64_t>(ax, int_min, int_max));
    const std::int32_t y1 =
        n % 2 ? any() : static_cast<std::int32_t>(std::clamp<std::int64_t>(ay, int_min, int_max));
    Pixels got = clipped(x0, y0, x1, y1, 700, 654);
    std::sort(got.begin(), got.end());
    Pixels want = closed_form_visible(x0, y0, x1, y1, 700, 654);
    std::sort(want.begin(), want.end());
    ASSERT_EQ(got, want) << "(" << x0 << "," << y0 << ")->(" << x1 << "," << y1 << ")";
  }
}

// Whether the 32.32 position gives the carried remainder's minor steps at every pixel.
bool same_minor_steps(LineWalk w, const FixedStepWalk& f) {
  std::int64_t minor = 0;
  std::uint64_t acc = f.start;
  for (std::int64_t n = 0; n < w.count; ++n, acc += f.step) {
    if (static_cast<std::int64_t>(acc >> 32) != minor) return false;
    w.r += w.two_small;
    if (w.r >= w.two_big) {
      w.r -= w.two_big;
      ++minor;
    }
  }
  return true;
}

struct FixedStepCase {
  const char* name;
  std::int64_t two_big, two_small, r, count;
  bool taken;
};

// The longest walks 32 fraction bits take, with the remainders that leave the least room
// before a step, and the first ones they refuse.
TEST(LineRaster, FixedStepWalkMatchesTheRemainderWalk) {
  constexpr std::int64_t one = std::int64_t{1} << 32;
  const FixedStepCase cases[] = {
      {"2D * count = 2^32, r just below a step", 1 << 22, (1 << 22) - 2, (1 << 22) - 1, 1024, true},
      {"slope 1/3, the longest walk", 3 << 20, 1 << 20, (3 << 20) - 1, one / (3 << 20), true},
      {"2D * count = 2^32, shallowest", 1 << 20, 2, (1 << 20) - 1, 4096, true},
      {"2D * count just below 2^32", 6710886, 2469134, 6710885, 640, true},
      {"diagonal", 1400, 1400, 699, 700, true},
      {"no minor steps", 1400, 0, 699, 700, true},
      {"one pixel, the widest 2D", one, one - 2, one - 1, 1, true},
      {"2D * count just above 2^32", (1 << 22) + 2, 2, 0, 1024, false},
      {"2D above 2^32", one + 2, 2, 0, 1, false},
  };
  for (const FixedStepCase& c : cases) {
    LineWalk w;
    w.two_big = c.two_big;
    w.two_small = c.two_small;
    w.r = c.r;
    w.count = c.count;
    FixedStepWalk f;
    ASSERT_EQ(fixed_step_walk(w, f), c.taken) << c.name;
    if (c.taken) {
      EXPECT_TRUE(same_minor_steps(w, f)) << c.name;
    }
  }
  // Clipped lines of every slope on a large bitmap, from near and from far.
  std::mt19937 rng(32);
  std::uniform_int_distribution<std::int32_t> near(-3000, 7000);
  std::uniform_int_distribution<std::int32_t> far(-(1 << 22), 1 << 22);
  int taken = 0;
  for (int n = 0; n < 4000; ++n) {
    auto& pick = n % 4 == 0 ? far : near;
    const LineWalk w = clip_line(pick(rng), pick(rng), near(rng), near(rng), 4096, 4096);
    FixedStepWalk f;
    if (!fixed_step_walk(w, f)) continue;
    ++taken;
    ASSERT_TRUE(same_minor_steps(w, f)) << n;
  }
  EXPECT_GT(taken, 1500);
}

// Lines spanning the whole int32 range finish and draw the visible part.
TEST(LineRaster, FullRangeLines) {
  Pixels h = clipped(int_min, 5, int_max, 5, 700, 654);
  ASSERT_EQ(h.size(), 700u);
  EXPECT_EQ(h.front(), Pixel(0, 5));
  EXPECT_EQ(h.back(), Pixel(699, 5));

  Pixels v = clipped(7, int_max, 7, int_min, 700, 654);
  ASSERT_EQ(v.size(), 654u);
  EXPECT_EQ(v.front(), Pixel(7, 653));
  EXPECT_EQ(v.back(), Pixel(7, 0));

  Pixels d = clipped(int_min, int_min, int_max, int_max, 700, 654);
  ASSERT_EQ(d.size(), 654u);
  for (std::size_t i = 0; i < d.size(); ++i) EXPECT_EQ(d[i], Pixel(i, i));

  EXPECT_TRUE(clipped(int_min, int_min, int_max, int_min, 700, 654).empty());
  EXPECT_TRUE(clipped(int_max, int_max, int_min, int_max, 700, 654).empty());
  EXPECT_TRUE(clipped(int_min, int_max, int_min, int_min, 700, 654).empty());
  // The end point is excluded even at the edge of the range.
  Pixels e = clipped(int_max, 0, int_max - 1, 0, int_max, 1);
  EXPECT_EQ(e, (Pixels{}));  // column int_max lies outside [0, int_max)
  Pixels f = clipped(int_max - 1, 0, int_max, 0, int_max, 1);
  EXPECT_EQ(f, (Pixels{{int_max - 1, 0}}));
}

}  // namespace
}  // namespace fpu
