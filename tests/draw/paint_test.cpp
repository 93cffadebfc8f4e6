#include "render/paint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/window.h"
#include "backends/soft/line_raster.h"
#include "backends/soft/soft_platform.h"
#include "scene/projection.h"
#include "scene/rings.h"
#include "tests/support/collecting_trace_sink.h"

namespace fpu {
namespace {

constexpr std::uint32_t px_white = 0xFFFFFF;
constexpr std::uint32_t px_green = 0x00FF00;
constexpr std::uint32_t px_red = 0xFF0000;   // COLORREF 0x0000FF
constexpr std::uint32_t px_blue = 0x0000FF;  // COLORREF 0xFF0000
constexpr WindowHandle window = 1;

using Pixel = std::pair<std::int32_t, std::int32_t>;

using CollectingSink = testing::CollectingTraceSink;

// A program right after start-up, its back buffer cleared again so that each test sees
// only what its own paint draws.
struct Fixture {
  Fixture() {
    start_program(program, window);
    platform.fill_rect(program.draw.back_buffer, program.scene.draw_rect, program.draw.background);
  }
  std::pair<std::int32_t, std::int32_t> project(const Point& p) {
    SceneState copy = program.scene;
    project_point(copy, p);
    return {copy.screen_x, copy.screen_y};
  }
  const Surface& screen() const { return platform.window_surface(); }
  std::size_t count(std::uint32_t pixel) const {
    return static_cast<std::size_t>(
        std::count(screen().pixels.begin(), screen().pixels.end(), pixel));
  }
  SoftPlatform platform{view_width, view_height};
  CollectingSink sink;
  Program program{platform, sink};
};

std::set<Pixel> line_pixels(Pixel from, Pixel to) {
  std::set<Pixel> out;
  raster_line(from.first, from.second, to.first, to.second, 700, 654,
              [&](std::int32_t x, std::int32_t y) { out.emplace(x, y); });
  return out;
}

struct IndexCase {
  std::uint32_t index, offset, expected;
};

TEST(NextIndex, SumModuloSixtyFourOrQuotient) {
  const IndexCase cases[] = {
      {0, 0, 0},     {1, 0, 1},     {63, 1, 1},          {1, 1, 2},
      {62, 1, 63},   {64, 0, 1},    {0, 64, 1},          {100, 30, 2},
      {4095, 1, 64}, {4480, 0, 70}, {0xFFFFFFFFu, 1, 0}, {0xFFFFFFC0u, 0, 0x3FFFFFFu},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(next_index(c.index, c.offset), c.expected) << c.index << "+" << c.offset;
  }
}

// The start-up frame as drawn: ring A's marker keeps (466,579) and (466,580) green, its
// other two pixels being covered by the hub line; ring C's marker at the centre keeps
// only (351,327), the dots of entries 1..62 covering (350,327) and the two hub lines
// (350,328) and (351,328).
TEST(PaintFrame, StartUpFrame) {
  Fixture f;
  ASSERT_EQ(f.project(f.program.scene.ring_a[0]), Pixel(465, 579));
  paint_frame(f.program.frame(), window);

  const Surface& s = f.screen();
  for (auto [x, y] : {Pixel{466, 579}, Pixel{466, 580}, Pixel{351, 327}}) {
    EXPECT_EQ(s.at(x, y), px_green) << x << "," << y;
  }
  for (auto [x, y] :
       {Pixel{465, 579}, Pixel{465, 580}, Pixel{350, 327}, Pixel{350, 328}, Pixel{351, 328}}) {
    EXPECT_EQ(s.at(x, y), px_white) << x << "," << y;
  }
  EXPECT_EQ(f.count(px_green), 3u);
  EXPECT_EQ(f.count(px_green) + f.count(px_white) + f.count(0), s.pixels.size());
  // Every other dot of rings A and B is white.
  for (int i = 1; i < ring_point_count; ++i) {
    for (const Point& p : {f.program.scene.ring_a[i], f.program.scene.ring_b[i]}) {
      auto [x, y] = f.project(p);
      EXPECT_EQ(s.at(x, y), px_white) << "entry " << i;
    }
  }
  // The window shows exactly the back buffer, and painting leaves the pen and objects alone.
  EXPECT_EQ(s.pixels, f.platform.dc_surface(f.program.draw.back_buffer)->pixels);
  EXPECT_EQ(f.platform.selected_pen(f.program.draw.back_buffer), f.program.draw.white_pen);
  EXPECT_EQ(f.platform.invalid_handle_calls(), 0u);
  EXPECT_TRUE(f.sink.lines.empty());
}

TEST(PaintFrame, HubLinesEndAtTheDefaultCentreAfterADrag) {
  Fixture f;
  f.program.scene.centre_x = 100;
  f.program.scene.centre_y = 100;
  const Pixel b62 = f.project(f.program.scene.ring_b[62]);
  paint_frame(f.program.frame(), window);
  for (const Pixel& p : line_pixels(b62, {350, 327})) {
    EXPECT_EQ(f.screen().at(p.first, p.second), px_white) << p.first << "," << p.second;
  }
  EXPECT_EQ(f.screen().at(350, 327), 0u);  // end point of both hub lines, not drawn
}

// rot and rol all 0: the segment between ring A entry 0 and ring B entry 0, drawn to and
// fro, both ends included.
TEST(PaintFrame, StringArtWithZeroOffsetsRepeatsOneSegment) {
  Fixture f;
  SceneState& scene = f.program.scene;
  scene.string_art = 1;
  scene.trace_flag = 1;
  const Pixel a0 = f.project(scene.ring_a[0]);
  const Pixel b0 = f.project(scene.ring_b[0]);
  paint_frame(f.program.frame(), window);

  EXPECT_EQ(scene.rol1, 0u);
  EXPECT_EQ(scene.rol2, 0u);
  ASSERT_EQ(f.sink.lines.size(), 1400u);
  for (std::size_t i = 0; i < f.sink.lines.size(); i += 2) {
    ASSERT_EQ(f.sink.lines[i], compose_trace_line(TraceLabel::rol1, 0));
    ASSERT_EQ(f.sink.lines[i + 1], compose_trace_line(TraceLabel::rol2, 0));
  }
  std::set<Pixel> segment = line_pixels(a0, b0);
  segment.merge(line_pixels(b0, a0));
  ASSERT_GT(segment.size(), 2u);
  // Outside ring C's 2 x 2 marker at the centre, the segment's pixels are all that is lit.
  const std::set<Pixel> marker{{350, 327}, {351, 327}, {350, 328}, {351, 328}};
  std::size_t lit = 0;
  for (std::int32_t y = 0; y < 654; ++y) {
    for (std::int32_t x = 0; x < 700; ++x) {
      if (marker.contains({x, y})) continue;
      const bool on = f.screen().at(x, y) != 0;
      lit += on ? 1 : 0;
      if (on) {
        EXPECT_EQ(f.screen().at(x, y), px_white);
      }
      EXPECT_EQ(on, segment.contains({x, y})) << x << "," << y;
    }
  }
  std::erase_if(segment, [&](const Pixel& p) { return marker.contains(p); });
  EXPECT_EQ(lit, segment.size());
}

// rot1 = 1, rol1 = 63: the sum 64 gives 1, then 2 .. 63, then 1 again (entry 0 skipped).
TEST(PaintFrame, StringArtIndicesRunOneToSixtyThree) {
  Fixture f;
  SceneState& scene = f.program.scene;
  scene.string_art = 1;
  scene.trace_flag = 1;
  scene.rot1 = 1;
  scene.rol1 = 63;
  scene.rot2 = 2;
  scene.rol2 = 0;
  paint_frame(f.program.frame(), window);
  ASSERT_EQ(f.sink.lines.size(), 1400u);
  std::uint32_t rol2 = 0;
  for (std::uint32_t k = 0; k < 700; ++k) {
    rol2 = next_index(rol2, 2);
    ASSERT_EQ(f.sink.lines[2 * k],
              compose_trace_line(TraceLabel::rol1, static_cast<std::int32_t>(k % 63 + 1)))
        << k;
    ASSERT_EQ(f.sink.lines[2 * k + 1],
              compose_trace_line(TraceLabel::rol2, static_cast<std::int32_t>(rol2)))
        << k;
  }
  EXPECT_EQ(scene.rol1, 699u % 63 + 1);
  EXPECT_EQ(scene.rol2, rol2);
  // The next frame continues the sequence; without trace_flag nothing is sent.
  scene.trace_flag = 0;
  paint_frame(f.program.frame(), window);
  EXPECT_EQ(f.sink.lines.size(), 1400u);
  EXPECT_EQ(scene.rol1, (699u + 700u) % 63 + 1);
}

// An index of 70 or more (4480 = 70 * 64 gives 70) names no entry; it is drawn as the
// last spare entry, 69. Two runs, one through index 69 and one through 70, then through
// entries 5 and 6 made equal, give the same picture.
TEST(PaintFrame, StringArtIndexBeyondTheRingDrawsTheLastSpareEntry) {
  auto run = [](std::uint32_t start) {
    auto f = std::make_unique<Fixture>();
    SceneState& scene = f->program.scene;
    scene.string_art = 1;
    scene.ring_a[69] = {100, -50, 0};
    scene.ring_a[5] = scene.ring_a[6] = {-100, 80, 0};
    scene.rol1 = start;
    paint_frame(f->program.frame(), window);
    return f;
  };
  const auto through_69 = run(69 * 64);
  const auto through_70 = run(70 * 64);
  EXPECT_EQ(through_70->program.scene.rol1, 6u);
  EXPECT_EQ(through_69->screen().pixels, through_70->screen().pixels);
  const Pixel spare = through_70->project({100, -50, 0});
  EXPECT_EQ(through_70->screen().at(spare.first, spare.second), px_white);

  Fixture huge;
  huge.program.scene.string_art = 1;
  huge.program.scene.rol1 = 0xFFFFFFC0u;  // gives 0x3FFFFFF
  huge.program.scene.rol2 = 0xFFFFFFC0u;
  paint_frame(huge.program.frame(), window);
  EXPECT_EQ(huge.platform.invalid_handle_calls(), 0u);
}

// Ring entries are projected once a frame however often the walk comes back to them: the
// segments drawn must be those of projecting every step, whatever the indices do.
TEST(PaintFrame, StringArtDrawsEachStepsProjection) {
  class Recording : public SoftPlatform {
   public:
    using SoftPlatform::SoftPlatform;
    void move_to(Handle dc, std::int32_t x, std::int32_t y) override {
      points.emplace_back(x, y);
      SoftPlatform::move_to(dc, x, y);
    }
    void line_to(Handle dc, std::int32_t x, std::int32_t y) override {
      points.emplace_back(x, y);
      SoftPlatform::line_to(dc, x, y);
    }
    std::vector<Pixel> points;
  };
  struct Case {
    std::uint32_t rot1, rol1, rot2, rol2;
  };
  const Case cases[] = {{5, 0, 23, 0}, {1, 63, 2, 0}, {0, 3, 0, 9}, {7, 70 * 64, 63, 69 * 64}};
  for (const Case& c : cases) {
    Recording platform{view_width, view_height};
    CollectingSink sink;
    Program program{platform, sink};
    start_program(program, window);
    SceneState& scene = program.scene;
    scene.string_art = 1;
    scene.axes_flag = 0;
    scene.angle_x = 0.3f;  // no axis left unturned
    scene.angle_y = 1.1f;
    scene.angle_z = -0.7f;
    scene.rot1 = c.rot1;
    scene.rol1 = c.rol1;
    scene.rot2 = c.rot2;
    scene.rol2 = c.rol2;
    SceneState reference = scene;
    std::vector<Pixel> expected;
    for (int k = 0; k < 700; ++k) {
      reference.rol1 = next_index(reference.rol1, reference.rot1);
      project_point(reference, reference.ring_a[std::min<std::uint32_t>(reference.rol1, 69)]);
      expected.emplace_back(reference.screen_x, reference.screen_y);
      reference.rol2 = next_index(reference.rol2, reference.rot2);
      project_point(reference, reference.ring_b[std::min<std::uint32_t>(reference.rol2, 69)]);
      expected.emplace_back(reference.screen_x, reference.screen_y);
    }
    platform.points.clear();
    paint_frame(program.frame(), window);
    ASSERT_GE(platform.points.size(), expected.size()) << c.rot1 << "/" << c.rot2;
    // Ring C and the hub lines draw no lines in string-art mode; the axes come after.
    const std::vector<Pixel> drawn(
        platform.points.begin(),
        platform.points.begin() + static_cast<std::ptrdiff_t>(expected.size()));
    EXPECT_EQ(drawn, expected) << c.rot1 << "/" << c.rot2;
    EXPECT_EQ(scene.screen_x, reference.screen_x) << c.rot1 << "/" << c.rot2;
    EXPECT_EQ(scene.screen_y, reference.screen_y) << c.rot1 << "/" << c.rot2;
  }
}

// Axes: per-frame pens, each deleted after the next is selected, white pen back at the end.
TEST(PaintFrame, AxesUseFramePensAndReleaseThem) {
  Fixture f;
  SceneState& scene = f.program.scene;
  scene.axes_flag = 1;
  const std::size_t live = f.platform.live_objects();
  const Pixel centre{scene.centre_x, scene.centre_y};
  const Pixel x_end = f.project(scene.axis_points[0]);
  const Pixel y_end = f.project(scene.axis_points[1]);
  const Pixel z_end = f.project(scene.axis_points[2]);
  paint_frame(f.program.frame(), window);
  paint_frame(f.program.frame(), window);

  EXPECT_EQ(f.platform.live_objects(), live);
  EXPECT_EQ(f.platform.invalid_handle_calls(), 0u);
  EXPECT_EQ(f.platform.selected_pen(f.program.draw.back_buffer), f.program.draw.white_pen);
  const std::set<Pixel> x_line = line_pixels(centre, x_end);
  const std::set<Pixel> y_line = line_pixels(centre, y_end);
  for (const Pixel& p : line_pixels(centre, z_end)) {
    EXPECT_EQ(f.screen().at(p.first, p.second), px_green);
  }
  std::size_t red = 0, blue = 0;
  for (std::int32_t y = 0; y < 654; ++y) {
    for (std::int32_t x = 0; x < 700; ++x) {
      const std::uint32_t v = f.screen().at(x, y);
      if (v == px_red) {
        EXPECT_TRUE(x_line.contains({x, y})) << x << "," << y;
      }
      if (v == px_blue) {
        EXPECT_TRUE(y_line.contains({x, y})) << x << "," << y;
      }
      red += v == px_red ? 1 : 0;
      blue += v == px_blue ? 1 : 0;
    }
  }
  EXPECT_GT(red, x_line.size() / 2);
  EXPECT_GT(blue, y_line.size() / 2);
}

// After several rebuilds with full_ring off ring A lies about 2^31 away; the frame still
// draws, clipped, and ends.
TEST(PaintFrame, FarRingsAfterFullRingOffRebuilds) {
  Fixture f;
  SceneState& scene = f.program.scene;
  scene.full_ring = 0;
  scene.axis_mask = 2;  // ring A is pulled again by every rebuild
  for (int i = 0; i < 4; ++i) rebuild_rings(scene);
  scene.string_art = 1;
  scene.axes_flag = 1;
  scene.rot1 = 5;
  scene.rot2 = 7;
  paint_frame(f.program.frame(), window);
  EXPECT_EQ(f.platform.invalid_handle_calls(), 0u);
  EXPECT_GT(f.count(px_white), 0u);
}

// The marker steps the projected position by one pixel; at the edge of the int32 range it
// wraps instead of overflowing.
TEST(PaintFrame, MarkerAtTheEdgeOfTheIntRange) {
  Fixture f;
  SceneState& scene = f.program.scene;
  scene.angle_x = scene.angle_y = scene.angle_z = 0.0f;
  scene.centre_x = std::numeric_limits<std::int32_t>::max();
  scene.centre_y = std::numeric_limits<std::int32_t>::max();
  paint_frame(f.program.frame(), window);
  EXPECT_EQ(f.platform.invalid_handle_calls(), 0u);
  EXPECT_EQ(f.count(px_green), 0u);
}

}  // namespace
}  // namespace fpu
