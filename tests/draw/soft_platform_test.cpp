#include "backends/soft/soft_platform.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "backends/soft/line_raster.h"
#include "backends/soft/png_writer.h"

namespace fpu {
namespace {

constexpr std::uint32_t px_white = 0xFFFFFF;
constexpr std::uint32_t px_silver = 0xC0C0C0;

// A memory DC with a fresh bitmap of the given size selected.
// Not the demo's size: the window's size is the one the platform is given.
constexpr std::int32_t window_width = 70, window_height = 65;

struct Canvas {
  explicit Canvas(std::int32_t w = 16, std::int32_t h = 12) {
    dc = platform.create_compatible_dc(platform.window_dc());
    bitmap = platform.create_compatible_bitmap(platform.window_dc(), w, h);
    platform.select_object(dc, bitmap);
  }
  const Surface& surface() const { return *platform.dc_surface(dc); }
  std::size_t count(std::uint32_t pixel) const {
    std::size_t n = 0;
    for (std::uint32_t p : surface().pixels) n += p == pixel ? 1 : 0;
    return n;
  }
  void fill(ColorRef color) {
    const Handle brush = platform.create_solid_brush(color);
    platform.fill_rect(dc, Rect{0, 0, surface().width, surface().height}, brush);
    platform.delete_object(brush);
  }
  SoftPlatform platform{window_width, window_height};
  Handle dc = 0;
  Handle bitmap = 0;
};

TEST(SoftPlatform, NewSurfacesAreBlackAndWindowHasTheGivenSize) {
  Canvas c;
  EXPECT_EQ(c.count(0), 16u * 12u);
  const Surface& w = c.platform.window_surface();
  EXPECT_EQ(w.width, window_width);
  EXPECT_EQ(w.height, window_height);
  EXPECT_EQ(w.pixels.size(), std::size_t{window_width} * window_height);
  EXPECT_EQ(c.platform.begin_paint(1), c.platform.window_dc());
  EXPECT_EQ(c.platform.get_dc(1), c.platform.window_dc());
  EXPECT_EQ(c.platform.live_objects(), 2u);
}

TEST(SoftPlatform, ColorsAreStoredAsRgbPixels) {
  Canvas c;
  c.platform.set_pixel(c.dc, 1, 1, color::red);
  c.platform.set_pixel(c.dc, 2, 1, color::blue);
  EXPECT_EQ(c.surface().at(1, 1), 0xFF0000u);
  EXPECT_EQ(c.surface().at(2, 1), 0x0000FFu);
  // Outside the bitmap nothing happens.
  for (auto [x, y] : {std::pair{-1, 0},
                      {16, 0},
                      {0, -1},
                      {0, 12},
                      {std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}}) {
    c.platform.set_pixel(c.dc, x, y, color::white);
  }
  EXPECT_EQ(c.count(px_white), 0u);
}

// The page's layout holds the same colours as bytes R, G, B, 255, whichever way a pixel is
// written, black included (new bitmaps, the stock pen, the default text colour).
TEST(SoftPlatform, EachLayoutHoldsTheSameColours) {
  const auto draw = [](SoftPlatform& p) {
    const Handle dc = p.create_compatible_dc(p.window_dc());
    p.select_object(dc, p.create_compatible_bitmap(dc, 16, 12));
    const Handle other = p.create_compatible_dc(p.window_dc());
    p.select_object(other, p.create_compatible_bitmap(other, 4, 4));
    p.fill_rect(other, Rect{1, 1, 3, 3}, p.create_solid_brush(color::green));
    p.fill_rect(dc, Rect{0, 0, 8, 12}, p.create_solid_brush(0x00336699));
    p.set_pixel(dc, 9, 1, color::red);
    p.move_to(dc, 0, 11);
    p.line_to(dc, 15, 0);  // the stock pen: black over the fill
    p.select_object(dc, p.create_pen(pen_style_solid, 1, color::blue));
    p.line_to(dc, 15, 11);
    p.text_out(dc, 1, 2, "ab", 2);  // black text on white cells
    p.set_text_color(dc, color::silver);
    p.text_out(dc, 8, 4, "c", 1);
    p.bit_blt(dc, 12, 8, 4, 4, other, 0, 0);
    return *p.dc_surface(dc);
  };
  SoftPlatform dib(window_width, window_height);
  SoftPlatform canvas(window_width, window_height, PixelLayout::rgba_bytes);
  const Surface want = draw(dib);
  const Surface got = draw(canvas);
  ASSERT_EQ(got.pixels.size(), want.pixels.size());
  std::size_t colours = 0;
  for (std::size_t i = 0; i < want.pixels.size(); ++i) {
    const std::uint32_t p = want.pixels[i];
    const std::uint32_t bytes = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | (p >> 16);
    ASSERT_EQ(got.pixels[i], bytes) << "pixel " << i % 16 << ", " << i / 16;
    colours += p != 0 ? 1 : 0;
  }
  EXPECT_GT(colours, want.pixels.size() / 2);
}

TEST(SoftPlatform, SelectReturnsPreviousObjectOfThatKind) {
  Canvas c;
  SoftPlatform& p = c.platform;
  const Handle pen1 = p.create_pen(pen_style_solid, 1, color::white);
  const Handle pen2 = p.create_pen(pen_style_solid, 1, color::red);
  const Handle brush = p.create_solid_brush(color::green);
  const Handle stock_pen = p.select_object(c.dc, pen1);
  EXPECT_NE(stock_pen, 0u);
  EXPECT_EQ(p.select_object(c.dc, brush) != 0, true);
  EXPECT_EQ(p.select_object(c.dc, pen2), pen1);
  EXPECT_EQ(p.select_object(c.dc, stock_pen), pen2);
  const Handle other = p.create_compatible_bitmap(c.dc, 4, 4);
  EXPECT_EQ(p.select_object(c.dc, other), c.bitmap);
  EXPECT_EQ(p.invalid_handle_calls(), 0u);
}

TEST(SoftPlatform, LineToUsesSelectedPenAndMovesCurrentPosition) {
  Canvas c;
  SoftPlatform& p = c.platform;
  std::int32_t x = -1, y = -1;
  ASSERT_TRUE(p.current_position(c.dc, x, y));
  EXPECT_EQ(std::pair(x, y), std::pair(0, 0));
  p.select_object(c.dc, p.create_pen(pen_style_solid, 1, color::white));
  p.line_to(c.dc, 5, 2);  // from (0, 0)
  EXPECT_EQ(c.count(px_white), 5u);
  EXPECT_EQ(c.surface().at(4, 2), px_white);
  EXPECT_EQ(c.surface().at(5, 2), 0u);  // end point excluded
  p.current_position(c.dc, x, y);
  EXPECT_EQ(std::pair(x, y), std::pair(5, 2));
  // Far outside: nothing visible, the position still moves.
  p.move_to(c.dc, -1000, -1000);
  p.line_to(c.dc, -2000, 3000);
  p.current_position(c.dc, x, y);
  EXPECT_EQ(std::pair(x, y), std::pair(-2000, 3000));
  EXPECT_EQ(c.count(px_white), 5u);
  p.line_to(c.dc, -2000, 3000);  // zero length
  EXPECT_EQ(c.count(px_white), 5u);
}

// line_to walks the visible span its own way; it must light exactly raster_line's pixels.
TEST(SoftPlatform, LineToLightsTheRasterisersPixels) {
  constexpr int lo = std::numeric_limits<int>::min();
  constexpr int hi = std::numeric_limits<int>::max();
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> small(-30, 90);
  std::uniform_int_distribution<int> any(lo, hi);
  Canvas c(64, 48);
  c.platform.select_object(c.dc, c.platform.create_pen(pen_style_solid, 1, color::white));
  for (int n = 0; n < 3000; ++n) {
    c.fill(color::black);
    const bool far = n % 3 == 0;
    const int x0 = far ? any(rng) : small(rng), y0 = far ? any(rng) : small(rng);
    const int x1 = n % 2 ? small(rng) : any(rng), y1 = n % 2 ? small(rng) : any(rng);
    c.platform.move_to(c.dc, x0, y0);
    c.platform.line_to(c.dc, x1, y1);
    std::vector<std::uint32_t> want(64 * 48, 0);
    raster_line(x0, y0, x1, y1, 64, 48, [&](int x, int y) { want[y * 64 + x] = px_white; });
    ASSERT_EQ(c.surface().pixels, want)
        << "(" << x0 << "," << y0 << ")->(" << x1 << "," << y1 << ")";
  }
}

// Flat lines are drawn four pixels a turn and the rest one by one: every length up to
// nine, each way a flat line can point and climb, must still light exactly its pixels.
TEST(SoftPlatform, FlatLinesOfEveryShortLengthLightTheRasterisersPixels) {
  struct Way {
    int sx, sy;    // the directions along x and y
    int num, den;  // the climb per step, below one
  };
  const Way ways[] = {{1, 1, 3, 7},  {1, -1, 3, 7}, {-1, 1, 3, 7}, {-1, -1, 3, 7},
                      {1, -1, 4, 5}, {-1, 1, 4, 5}, {1, 1, 0, 1},  {-1, 1, 0, 1}};
  Canvas c(40, 40);
  c.platform.select_object(c.dc, c.platform.create_pen(pen_style_solid, 1, color::white));
  for (const Way& way : ways) {
    for (int length = 1; length <= 9; ++length) {
      const int x1 = 20 + way.sx * length, y1 = 20 + way.sy * (length * way.num / way.den);
      c.fill(color::black);
      c.platform.move_to(c.dc, 20, 20);
      c.platform.line_to(c.dc, x1, y1);
      std::vector<std::uint32_t> want(40 * 40, 0);
      raster_line(20, 20, x1, y1, 40, 40, [&](int x, int y) { want[y * 40 + x] = px_white; });
      ASSERT_EQ(c.surface().pixels, want) << "(20,20)->(" << x1 << "," << y1 << ")";
    }
  }
}

// A line drawn again, either way, over pixels nothing else has written since is skipped or
// reduced to its start. Lines are repeated and reversed among pen changes, pixels, fills and
// copies into the bitmap, near and far; the bitmap must always match plain drawing.
TEST(SoftPlatform, RepeatedLinesMatchDrawingEveryPixel) {
  constexpr int w = 48, h = 40;
  std::mt19937 rng(32);
  std::uniform_int_distribution<int> near(-10, 57);
  std::uniform_int_distribution<int> far(std::numeric_limits<int>::min(),
                                         std::numeric_limits<int>::max());
  std::uniform_int_distribution<int> pick(0, 99);
  const ColorRef colors[] = {color::white, color::red, color::black};
  Canvas c(w, h);
  Handle pens[3];
  for (int i = 0; i < 3; ++i) pens[i] = c.platform.create_pen(pen_style_solid, 1, colors[i]);
  const Handle source_dc = c.platform.create_compatible_dc(c.platform.window_dc());
  c.platform.select_object(source_dc, c.platform.create_compatible_bitmap(source_dc, w, h));
  const Handle blue = c.platform.create_solid_brush(color::blue);
  c.platform.fill_rect(source_dc, Rect{0, 0, w, h}, blue);

  std::vector<std::uint32_t> want(w * h, 0);
  struct Line {
    int x0, y0, x1, y1;
  };
  std::vector<Line> drawn;
  int pen = 0;
  c.platform.select_object(c.dc, pens[pen]);
  for (int n = 0; n < 4000; ++n) {
    const int what = pick(rng);
    Line line{};
    if (what < 30 && !drawn.empty()) {  // again, the same way
      line = drawn[static_cast<std::size_t>(pick(rng)) % drawn.size()];
    } else if (what < 60 && !drawn.empty()) {  // again, the other way
      const Line& l = drawn[static_cast<std::size_t>(pick(rng)) % drawn.size()];
      line = {l.x1, l.y1, l.x0, l.y0};
    } else if (what < 75) {
      const bool outside = what < 64;
      line = {outside ? far(rng) : near(rng), near(rng), near(rng), outside ? far(rng) : near(rng)};
    } else if (what < 83) {
      pen = pick(rng) % 3;
      c.platform.select_object(c.dc, pens[pen]);
      continue;
    } else if (what < 91) {
      const int x = near(rng), y = near(rng);
      const ColorRef color = colors[pick(rng) % 3];
      c.platform.set_pixel(c.dc, x, y, color);
      if (x >= 0 && y >= 0 && x < w && y < h) want[y * w + x] = pixel_from_colorref(color);
      continue;
    } else if (what < 96) {
      const int x = near(rng) / 2, y = near(rng) / 2;
      const ColorRef color = colors[pick(rng) % 3];
      const Handle brush = c.platform.create_solid_brush(color);
      c.platform.fill_rect(c.dc, Rect{x, y, x + 5, y + 4}, brush);
      c.platform.delete_object(brush);
      for (int j = std::max(y, 0); j < std::min(y + 4, h); ++j) {
        for (int i = std::max(x, 0); i < std::min(x + 5, w); ++i) {
          want[j * w + i] = pixel_from_colorref(color);
        }
      }
      continue;
    } else {
      const int x = near(rng) / 2, y = near(rng) / 2;
      c.platform.bit_blt(c.dc, x, y, 6, 3, source_dc, 0, 0);
      for (int j = std::max(y, 0); j < std::min(y + 3, h); ++j) {
        for (int i = std::max(x, 0); i < std::min(x + 6, w); ++i) want[j * w + i] = 0x0000FF;
      }
      continue;
    }
    c.platform.move_to(c.dc, line.x0, line.y0);
    c.platform.line_to(c.dc, line.x1, line.y1);
    raster_line(line.x0, line.y0, line.x1, line.y1, w, h,
                [&](int x, int y) { want[y * w + x] = pixel_from_colorref(colors[pen]); });
    drawn.push_back(line);
    if (drawn.size() > 12) drawn.erase(drawn.begin());  // recent lines come back most
    ASSERT_EQ(c.surface().pixels, want) << "step " << n;
  }
}

// Text written over a line hides part of it; drawing the line again shows it whole.
TEST(SoftPlatform, LineDrawnAgainOverTextIsWhole) {
  Canvas c(40, 20);
  c.platform.select_object(c.dc, c.platform.create_pen(pen_style_solid, 1, color::white));
  c.platform.move_to(c.dc, 0, 5);
  c.platform.line_to(c.dc, 39, 9);
  c.platform.set_text_color(c.dc, color::silver);
  c.platform.text_out(c.dc, 0, 0, "88", 2);  // opaque: its cells are painted white and silver
  ASSERT_GT(c.count(px_silver), 0u);
  std::vector<std::uint32_t> want = c.surface().pixels;
  raster_line(0, 5, 39, 9, 40, 20, [&](int x, int y) { want[y * 40 + x] = px_white; });
  c.platform.move_to(c.dc, 0, 5);
  c.platform.line_to(c.dc, 39, 9);
  EXPECT_EQ(c.surface().pixels, want);
}

struct FillCase {
  const char* name;
  Rect rect;
  std::size_t filled;
};

TEST(SoftPlatform, FillRectEdges) {
  const FillCase cases[] = {
      {"right and bottom exclusive", {2, 3, 5, 7}, 3 * 4},
      {"single pixel", {0, 0, 1, 1}, 1},
      {"empty width", {4, 4, 4, 9}, 0},
      {"empty height", {4, 4, 9, 4}, 0},
      {"reversed", {9, 9, 4, 4}, 0},
      {"clipped left/top", {-5, -5, 2, 3}, 2 * 3},
      {"clipped right/bottom", {14, 10, 100, 100}, 2 * 2},
      {"covers all",
       {std::numeric_limits<int>::min(), std::numeric_limits<int>::min(),
        std::numeric_limits<int>::max(), std::numeric_limits<int>::max()},
       16 * 12},
      {"entirely outside", {20, 0, 30, 5}, 0},
  };
  for (const auto& fc : cases) {
    Canvas c;
    const Handle brush = c.platform.create_solid_brush(color::white);
    c.platform.fill_rect(c.dc, fc.rect, brush);
    EXPECT_EQ(c.count(px_white), fc.filled) << fc.name;
  }
  Canvas c;
  const Handle brush = c.platform.create_solid_brush(color::white);
  c.platform.fill_rect(c.dc, {2, 3, 5, 7}, brush);
  EXPECT_EQ(c.surface().at(2, 3), px_white);
  EXPECT_EQ(c.surface().at(4, 6), px_white);
  EXPECT_EQ(c.surface().at(5, 6), 0u);
  EXPECT_EQ(c.surface().at(4, 7), 0u);
}

TEST(SoftPlatform, TextWritesOnlySilverSetBits) {
  Canvas c(60, 20);
  SoftPlatform& p = c.platform;
  c.fill(0x123456);
  p.set_bk_mode(c.dc, bk_mode_transparent);
  p.set_text_color(c.dc, color::silver);
  const char text[6] = {'-', '0', ' ', '\0', '8', '9'};
  p.text_out(c.dc, 2, 2, text, 6);
  const std::uint32_t fill = pixel_from_colorref(0x123456);
  std::size_t silver = 0;
  for (std::int32_t y = 0; y < 20; ++y) {
    for (std::int32_t x = 0; x < 60; ++x) {
      const std::uint32_t v = c.surface().at(x, y);
      ASSERT_TRUE(v == fill || v == px_silver) << x << "," << y;
      if (v == px_silver) {
        ++silver;
        // Inside the six cells' glyph rows.
        EXPECT_GE(x, 2);
        EXPECT_LT(x, 2 + 6 * 6);
        EXPECT_GE(y, 2 + 3);
        EXPECT_LE(y, 2 + 12);
      }
    }
  }
  EXPECT_GT(silver, 60u);
  // The blank cell is empty; the NUL cell shows a visible glyph.
  auto cell_pixels = [&](int cell) {
    std::size_t n = 0;
    for (std::int32_t y = 0; y < 20; ++y) {
      for (std::int32_t x = 2 + 6 * cell; x < 2 + 6 * cell + 6; ++x) {
        n += c.surface().at(x, y) == px_silver ? 1 : 0;
      }
    }
    return n;
  };
  EXPECT_EQ(cell_pixels(2), 0u);
  EXPECT_GT(cell_pixels(3), 10u);
  EXPECT_GT(cell_pixels(0), 0u);
  // Exactly `count` bytes: a shorter count draws fewer cells.
  Canvas d(60, 20);
  d.platform.set_bk_mode(d.dc, bk_mode_transparent);
  d.platform.set_text_color(d.dc, color::silver);
  d.platform.text_out(d.dc, 2, 2, text, 2);
  EXPECT_EQ(d.count(px_silver), static_cast<std::size_t>(cell_pixels(0) + cell_pixels(1)));
}

TEST(SoftPlatform, TextIsClipped) {
  Canvas c(8, 8);
  c.platform.set_bk_mode(c.dc, bk_mode_transparent);
  c.platform.set_text_color(c.dc, color::silver);
  const char text[] = "888";
  c.platform.text_out(c.dc, -3, -6, text, 3);
  c.platform.text_out(c.dc, 5, 5, text, 3);
  c.platform.text_out(c.dc, std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), text,
                      3);
  c.platform.text_out(c.dc, std::numeric_limits<int>::min(), 0, text, 3);
  EXPECT_GT(c.count(px_silver), 0u);
  EXPECT_EQ(c.count(px_silver) + c.count(0), 64u);
}

TEST(SoftPlatform, BitBltCopiesAndClipsToBothBitmaps) {
  SoftPlatform p{window_width, window_height};
  const Handle src = p.create_compatible_dc(0);
  const Handle dst = p.create_compatible_dc(0);
  p.select_object(src, p.create_compatible_bitmap(p.window_dc(), 4, 3));
  p.select_object(dst, p.create_compatible_bitmap(p.window_dc(), 5, 5));
  // Source pixel (x, y) holds 10 * y + x + 1 (as a colour).
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) p.set_pixel(src, x, y, pixel_from_colorref(10 * y + x + 1));
  }
  const Surface& d = *p.dc_surface(dst);
  // Larger than both, offset: only pixels with both ends inside are written.
  p.bit_blt(dst, 2, 1, 100, 100, src, 1, 0);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      const int sx = x - 2 + 1, sy = y - 1;
      const bool copied = x >= 2 && y >= 1 && sx < 4 && sy < 3;
      EXPECT_EQ(d.at(x, y), copied ? static_cast<std::uint32_t>(10 * sy + sx + 1) : 0u)
          << x << "," << y;
    }
  }
  // Negative source offsets and far positions are clipped without effect outside.
  p.bit_blt(dst, 0, 0, 5, 5, src, -4, -3);
  EXPECT_EQ(d.at(0, 0), 0u);
  EXPECT_EQ(d.at(4, 3), 1u);
  p.bit_blt(dst, std::numeric_limits<int>::max(), 0, std::numeric_limits<int>::max(), 5, src, 0, 0);
  p.bit_blt(dst, std::numeric_limits<int>::min(), std::numeric_limits<int>::min(),
            std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), src,
            std::numeric_limits<int>::min(), 0);
  p.bit_blt(dst, 0, 0, -5, -5, src, 0, 0);
  EXPECT_EQ(p.invalid_handle_calls(), 0u);
}

TEST(SoftPlatform, BitBltWithinOneBitmapBehavesLikeMemmove) {
  Canvas c(4, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) c.platform.set_pixel(c.dc, x, y, pixel_from_colorref(4 * y + x));
  }
  c.platform.bit_blt(c.dc, 1, 1, 3, 3, c.dc, 0, 0);  // down-right by one
  for (int y = 1; y < 4; ++y) {
    for (int x = 1; x < 4; ++x) EXPECT_EQ(c.surface().at(x, y), std::uint32_t(4 * (y - 1) + x - 1));
  }
  c.platform.bit_blt(c.dc, 0, 0, 3, 3, c.dc, 1, 1);  // and back
  EXPECT_EQ(c.surface().at(0, 0), 0u);
  EXPECT_EQ(c.surface().at(2, 2), 10u);
}

TEST(SoftPlatform, InvalidHandlesHaveNoEffectAndAreCounted) {
  Canvas c;
  SoftPlatform& p = c.platform;
  const Handle pen = p.create_pen(pen_style_solid, 1, color::white);
  const Handle brush = p.create_solid_brush(color::white);
  ASSERT_TRUE(p.delete_object(pen));
  EXPECT_FALSE(p.delete_object(pen));  // twice
  const Handle dead_dc = p.create_compatible_dc(0);
  ASSERT_TRUE(p.delete_dc(dead_dc));
  EXPECT_FALSE(p.delete_dc(dead_dc));
  EXPECT_EQ(p.invalid_handle_calls(), 2u);
  // A new object may reuse the slot; the old handle stays dead.
  const Handle reused = p.create_pen(pen_style_solid, 1, color::red);
  EXPECT_NE(reused, pen);

  const std::uint64_t before = p.invalid_handle_calls();
  EXPECT_EQ(p.select_object(c.dc, pen), 0u);       // deleted
  EXPECT_EQ(p.select_object(c.dc, 0), 0u);         // null
  EXPECT_EQ(p.select_object(dead_dc, brush), 0u);  // deleted DC
  EXPECT_EQ(p.select_object(c.dc, c.dc), 0u);      // a DC is not selectable
  EXPECT_FALSE(p.delete_object(c.dc));             // wrong kind
  EXPECT_FALSE(p.delete_dc(brush));                // wrong kind
  EXPECT_FALSE(p.delete_dc(p.window_dc()));        // not a memory DC
  p.set_pixel(dead_dc, 1, 1, color::white);
  p.line_to(0, 5, 5);
  p.move_to(pen, 5, 5);
  p.fill_rect(c.dc, {0, 0, 5, 5}, pen);  // a pen is no brush
  p.fill_rect(c.dc, {0, 0, 5, 5}, 0);
  p.text_out(brush, 0, 0, "8", 1);
  p.bit_blt(c.dc, 0, 0, 5, 5, dead_dc, 0, 0);
  p.set_bk_mode(0, bk_mode_transparent);
  p.set_text_color(pen, color::white);
  EXPECT_EQ(p.create_compatible_bitmap(dead_dc, 4, 4), 0u);
  EXPECT_EQ(p.create_compatible_dc(brush), 0u);
  EXPECT_EQ(p.invalid_handle_calls() - before, 18u);
  EXPECT_EQ(c.count(px_white), 0u);
  EXPECT_EQ(p.window_surface().pixels, std::vector<std::uint32_t>(window_width * window_height, 0));
}

TEST(SoftPlatform, LiveObjectsTrackCreationAndDeletion) {
  SoftPlatform p{window_width, window_height};
  EXPECT_EQ(p.live_objects(), 0u);
  const Handle dc = p.create_compatible_dc(p.get_dc(1));
  const Handle bitmap = p.create_compatible_bitmap(p.get_dc(1), 700, 654);
  const Handle pen = p.create_pen(pen_style_solid, 1, color::white);
  const Handle brush = p.create_solid_brush(color::black);
  p.select_object(dc, bitmap);
  p.select_object(dc, pen);
  EXPECT_EQ(p.live_objects(), 4u);
  EXPECT_TRUE(p.delete_dc(dc));
  EXPECT_TRUE(p.delete_object(bitmap));
  EXPECT_TRUE(p.delete_object(pen));
  EXPECT_TRUE(p.delete_object(brush));
  EXPECT_EQ(p.live_objects(), 0u);
  EXPECT_EQ(p.bitmap_surface(bitmap), nullptr);
  EXPECT_EQ(p.dc_surface(dc), nullptr);
  EXPECT_EQ(p.create_compatible_bitmap(p.get_dc(1), 0, 10), 0u);
  EXPECT_EQ(p.create_compatible_bitmap(p.get_dc(1), -1, 10), 0u);
}

TEST(PngWriter, WritesRgbAndReadsBack) {
  Surface s;
  s.width = 3;
  s.height = 2;
  s.pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xC0C0C0, 0x000000, 0x123456};
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("draw_tests_" + std::to_string(::getpid()) + ".png"))
                               .string();
  std::string error;
  ASSERT_TRUE(write_png(path, s, &error)) << error;

  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  ASSERT_NE(png_image_begin_read_from_file(&image, path.c_str()), 0) << image.message;
  EXPECT_EQ(image.width, 3u);
  EXPECT_EQ(image.height, 2u);
  EXPECT_EQ(image.format, static_cast<png_uint_32>(PNG_FORMAT_RGB));
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_NE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr), 0) << image.message;
  std::filesystem::remove(path);
  for (std::size_t i = 0; i < s.pixels.size(); ++i) {
    const std::uint32_t got =
        (std::uint32_t{rgb[3 * i]} << 16) | (std::uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
    EXPECT_EQ(got, s.pixels[i]) << i;
  }
}

TEST(PngWriter, ReportsFailures) {
  Surface s;
  s.width = 2;
  s.height = 2;
  s.pixels = {0, 0, 0, 0};
  std::string error;
  EXPECT_FALSE(write_png("/nonexistent-folder/x/out.png", s, &error));
  EXPECT_NE(error.find("/nonexistent-folder/x/out.png"), std::string::npos) << error;
  EXPECT_FALSE(error.empty());
  Surface bad;
  bad.width = 2;
  bad.height = 2;  // no pixels
  error.clear();
  EXPECT_FALSE(write_png("/tmp/never-written.png", bad, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(write_png("/nonexistent-folder/y.png", s));  // no error text wanted
}

}  // namespace
}  // namespace fpu
