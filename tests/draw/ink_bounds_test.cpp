// A surface's ink bounds (where it may hold pixels other than its plain value) let fills in
// the plain colour skip rows and columns. Random drawing must leave exactly the pixels of a
// twin platform whose plain fills write every pixel, and no non-plain pixel may lie outside
// the bounds at any point.
#include "backends/soft/ink_bounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "backends/soft/line_raster.h"
#include "backends/soft/soft_platform.h"

namespace fpu {
namespace {

// Two memory DCs on one platform: the one drawn on most, and a second one copied from and
// sometimes drawn on too.
struct Rig {
  Rig(std::int32_t w, std::int32_t h) {
    for (Handle& dc : dcs) {
      dc = p.create_compatible_dc(p.window_dc());
      p.select_object(dc, p.create_compatible_bitmap(p.window_dc(), w, h));
    }
  }
  SoftPlatform p{8, 8};
  Handle dcs[2] = {};
};

constexpr ColorRef palette[] = {color::black, color::white, color::red, 0xC0C0C0};

// Every pixel other than the plain value lies in a marked band and the column range.
::testing::AssertionResult inside_bounds(SoftPlatform& p, Handle dc) {
  const Surface& s = *p.dc_surface(dc);
  const InkBounds& ink = *p.dc_ink(dc);
  for (std::int32_t y = 0; y < s.height; ++y) {
    for (std::int32_t x = 0; x < s.width; ++x) {
      if (s.at(x, y) == ink.plain()) continue;
      const int b = ink.band_of(y);
      if (!ink.band_marked(y) || x < ink.band_left(b) || x >= ink.band_right(b)) {
        return ::testing::AssertionFailure()
               << "pixel (" << x << "," << y << ") = " << std::hex << s.at(x, y)
               << " outside the bounds (plain " << ink.plain() << ", bands " << ink.bands()
               << std::dec << ", band " << b << ": columns " << ink.band_left(b) << ".."
               << ink.band_right(b) << ")";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

struct RandomCase {
  const char* name;
  std::int32_t width, height;  // band heights 1 (up to 64 rows), 2, 3, 11 (the demo's)
  unsigned seed;
  int steps;
};

TEST(InkBounds, RandomDrawingMatchesFillingEveryPixel) {
  const RandomCase cases[] = {
      {"small, one row a band", 16, 12, 1, 3000},
      {"64 rows, one band each", 20, 64, 2, 3000},
      {"two rows a band, last one short", 70, 65, 3, 3000},
      {"three rows a band, narrow", 5, 130, 4, 3000},
      {"one pixel", 1, 1, 5, 500},
      {"the demo's size", 700, 654, 6, 250},
  };
  for (const RandomCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::int32_t w = c.width, h = c.height;
    Rig tested(w, h), twin(w, h);
    std::mt19937 rng(c.seed);
    const auto uniform = [&rng](std::int64_t lo, std::int64_t hi) {
      return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
    };
    const auto coord = [&](std::int32_t extent) {
      const std::int64_t pick = uniform(0, 9);
      if (pick == 0) {
        return static_cast<std::int32_t>(uniform(std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
      }
      if (pick == 1) return static_cast<std::int32_t>(uniform(-5000, 5000));
      return static_cast<std::int32_t>(uniform(-3, extent + 2));
    };
    ColorRef plain_colour[2] = {color::black, color::black};  // kept here: reading settles
    for (int step = 0; step < c.steps; ++step) {
      const int on = uniform(0, 3) == 0 ? 1 : 0;  // the second DC a quarter of the time
      const ColorRef colour = palette[uniform(0, 3)];
      const std::int64_t op = uniform(0, 99);
      std::string what;
      // Each operation is done alike on both platforms.
      const auto both = [&](auto&& draw) {
        draw(tested.p, tested.dcs[on]);
        draw(twin.p, twin.dcs[on]);
      };
      if (op < 20) {
        const std::int32_t x = coord(w), y = coord(h);
        what = "pixel";
        both([&](SoftPlatform& p, Handle dc) { p.set_pixel(dc, x, y, colour); });
      } else if (op < 50) {
        const std::int32_t x0 = coord(w), y0 = coord(h), x1 = coord(w), y1 = coord(h);
        const bool again = uniform(0, 3) == 0;  // drawn twice, the second time the other way
        what = "line";
        both([&](SoftPlatform& p, Handle dc) {
          const Handle pen = p.create_pen(0, 1, colour);
          const Handle old = p.select_object(dc, pen);
          p.move_to(dc, x0, y0);
          p.line_to(dc, x1, y1);
          if (again) p.line_to(dc, x0, y0);
          p.select_object(dc, old);
          p.delete_object(pen);
        });
      } else if (op < 60) {
        const std::int32_t x = coord(w), y = coord(h);
        const std::int32_t count = static_cast<std::int32_t>(uniform(1, 8));
        const std::int32_t mode = static_cast<std::int32_t>(uniform(1, 2));
        what = "text";
        both([&](SoftPlatform& p, Handle dc) {
          p.set_bk_mode(dc, mode);
          p.set_text_color(dc, colour);
          p.text_out(dc, x, y, "Ag0#|_W.", count);
        });
      } else if (op < 88) {
        // Half the fills in the plain colour; a third of them over everything and beyond.
        const bool plain = uniform(0, 1) == 0;
        const bool all = uniform(0, 2) == 0;
        const Rect rect =
            all ? Rect{-1, -2, w + 3, h + 1} : Rect{coord(w), coord(h), coord(w), coord(h)};
        const ColorRef fill = plain ? plain_colour[on] : colour;
        what = plain ? "plain fill" : "fill";
        // A fill over the whole bitmap makes its colour the plain one.
        if (rect.left <= 0 && rect.top <= 0 && rect.right >= w && rect.bottom >= h) {
          plain_colour[on] = fill;
        }
        const Handle brush = tested.p.create_solid_brush(fill);
        tested.p.fill_rect(tested.dcs[on], rect, brush);
        tested.p.delete_object(brush);
        // The twin's rect first takes another colour: the fill then writes all of it.
        for (ColorRef first : {ColorRef{0x123456}, fill}) {
          const Handle b = twin.p.create_solid_brush(first);
          twin.p.fill_rect(twin.dcs[on], rect, b);
          twin.p.delete_object(b);
        }
      } else {
        const int from = uniform(0, 2) == 0 ? on : 1 - on;  // within one bitmap a third
        const std::int32_t x = coord(w), y = coord(h), sx = coord(w), sy = coord(h);
        const std::int32_t cw = static_cast<std::int32_t>(uniform(0, w + 2));
        const std::int32_t ch = static_cast<std::int32_t>(uniform(0, h + 2));
        what = "copy";
        tested.p.bit_blt(tested.dcs[on], x, y, cw, ch, tested.dcs[from], sx, sy);
        twin.p.bit_blt(twin.dcs[on], x, y, cw, ch, twin.dcs[from], sx, sy);
      }
      // Reading the bounds folds in the lines drawn since; most steps leave them pending.
      const bool read_bounds = uniform(0, 4) == 0;
      for (int dc = 0; dc < 2; ++dc) {
        if (read_bounds) {
          ASSERT_EQ(tested.p.dc_ink(tested.dcs[dc])->plain(),
                    (plain_colour[dc] & 0xFF00u) | ((plain_colour[dc] & 0xFFu) << 16) |
                        (plain_colour[dc] >> 16));
          ASSERT_TRUE(inside_bounds(tested.p, tested.dcs[dc])) << "step " << step << ": " << what;
        }
        ASSERT_EQ(tested.p.dc_surface(tested.dcs[dc])->pixels,
                  twin.p.dc_surface(twin.dcs[dc])->pixels)
            << "step " << step << ": " << what << " on DC " << on;
      }
    }
    EXPECT_EQ(tested.p.invalid_handle_calls(), 0u);
  }
}

void fill(SoftPlatform& p, Handle dc, Rect rect, ColorRef colour) {
  const Handle brush = p.create_solid_brush(colour);
  p.fill_rect(dc, rect, brush);
  p.delete_object(brush);
}

void pen(SoftPlatform& p, Handle dc, ColorRef colour) {
  p.select_object(dc, p.create_pen(0, 1, colour));
}

// A few lines at a time are marked band by band along their slope: every pixel the line
// lights lies in its band's columns, and a band spans no more columns than the line crosses
// in the band's rows, give or take two either side.
struct SlopeCase {
  const char* name;
  std::int32_t width, height;
  std::int32_t reach;  // end points within [-reach, size + reach]
  int lines_at_once;   // more than four only widen one box: nothing to hold them to
};

TEST(InkBounds, LinesMarkOnlyTheColumnsTheyCrossInEachBand) {
  const SlopeCase cases[] = {
      {"the demo's size, end points inside", 700, 654, 0, 1},
      {"the demo's size, end points around", 700, 654, 300, 1},
      {"four lines at a time", 700, 654, 100, 4},
      {"one row a band", 50, 40, 20, 2},
      {"tall bands, far end points", 90, 6400, 1 << 22, 1},
  };
  std::mt19937 rng(7);
  for (const SlopeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(c.width, c.height);
    SoftPlatform& p = rig.p;
    const Handle dc = rig.dcs[0];
    pen(p, dc, color::white);
    const auto coord = [&](std::int32_t extent) {
      return std::uniform_int_distribution<std::int32_t>(-c.reach, extent + c.reach)(rng);
    };
    for (int n = 0; n < 300; ++n) {
      fill(p, dc, {0, 0, c.width, c.height}, color::black);
      struct End {
        std::int32_t x0, y0, x1, y1;
      };
      std::vector<End> lines;
      for (int k = 0; k < c.lines_at_once; ++k) {
        lines.push_back({coord(c.width), coord(c.height), coord(c.width), coord(c.height)});
        p.move_to(dc, lines.back().x0, lines.back().y0);
        p.line_to(dc, lines.back().x1, lines.back().y1);
      }
      ASSERT_TRUE(inside_bounds(p, dc)) << "round " << n;
      const InkBounds& ink = *p.dc_ink(dc);
      // The columns each band may span: those of the lines' crossings of its rows.
      for (int b = 0; b < InkBounds::band_count; ++b) {
        if (((ink.bands() >> b) & 1u) == 0) continue;
        const double top = b * ink.band_height() - 1.0, bottom = top + ink.band_height() + 1.0;
        double lo = c.width, hi = -1;
        for (const End& e : lines) {
          if (e.y0 == e.y1) {
            lo = std::min<double>(lo, std::min(e.x0, e.x1));
            hi = std::max<double>(hi, std::max(e.x0, e.x1));
            continue;
          }
          for (double y : {top, bottom}) {
            const double x = e.x0 + (y - e.y0) * (e.x1 - e.x0) / double(e.y1 - e.y0);
            lo = std::min(lo, std::max<double>(x, std::min(e.x0, e.x1)));
            hi = std::max(hi, std::min<double>(x, std::max(e.x0, e.x1)));
          }
        }
        EXPECT_GE(ink.band_left(b), std::floor(lo) - 2) << "round " << n << ", band " << b;
        EXPECT_LE(ink.band_right(b), std::ceil(hi) + 3) << "round " << n << ", band " << b;
      }
    }
  }
}

// Bands are found by a multiply and a shift instead of a division: every row of small
// surfaces, and the rows around each band's edges up to the tallest bitmap, must agree.
TEST(InkBounds, BandOfARowIsTheRowOverTheBandHeight) {
  const std::int32_t heights[] = {1,    2,    63,    64,      65,       654,           1000,
                                  4097, 9999, 65536, 1 << 20, 12345677, (1 << 26) - 1, 1 << 26};
  for (std::int32_t height : heights) {
    const InkBounds ink(1, height, 0);
    const std::int32_t band = ink.band_height();
    ASSERT_EQ(band, (height + 63) / 64) << height;
    std::vector<std::int32_t> rows;
    if (height <= 100000) {
      for (std::int32_t row = 0; row < height; ++row) rows.push_back(row);
    } else {
      for (std::int64_t k = 0; k <= 64; ++k) {
        for (std::int64_t row = k * band - 2; row <= k * band + 1; ++row) {
          if (row >= 0 && row < height) rows.push_back(static_cast<std::int32_t>(row));
        }
      }
      rows.push_back(height - 1);
    }
    for (std::int32_t row : rows) ASSERT_EQ(ink.band_of(row), row / band) << height << " " << row;
  }
}

}  // namespace
}  // namespace fpu
