#include "scene/rings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>

#include "scene/fpmath.h"

namespace fpu {
namespace {

constexpr Point sentinel{12345, -6789, 4242};

// Whole degrees of the generation angle, the walk's stop test.
std::int32_t degrees_of(float angle) {
  return round_to_int32(static_cast<long double>(angle) * 180.0L / pi_extended);
}

SceneState initial_scene() {
  SceneState s;
  build_initial_rings(s);
  return s;
}

// Rebuilds as the key commands do: radius and mask set first.
void rebuild(SceneState& s, std::int32_t radius, std::uint16_t mask) {
  s.radius = radius;
  s.axis_mask = mask;
  rebuild_rings(s);
}

struct EntryCase {
  int index;
  std::int32_t x;
  std::int32_t y;
};

TEST(SceneRings, InitialBuildGivesDoubledRingsAtMinusAndPlus200) {
  const SceneState s = initial_scene();
  const EntryCase cases[] = {{0, 240, 0}, {1, 238, 24}, {2, 236, 48}, {62, 238, -24}};
  for (const auto& c : cases) {
    EXPECT_EQ(s.ring_a[c.index], (Point{c.x, c.y, -200})) << "ring A entry " << c.index;
    EXPECT_EQ(s.ring_b[c.index], (Point{c.x, c.y, 200})) << "ring B entry " << c.index;
  }
  EXPECT_EQ(s.ring_a[63], s.ring_a[0]);
  EXPECT_EQ(s.ring_b[63], s.ring_b[0]);
  for (int i = 64; i < ring_ab_size; ++i) {
    EXPECT_EQ(s.ring_a[i], (Point{0, 0, 0})) << i;
    EXPECT_EQ(s.ring_b[i], (Point{0, 0, 0})) << i;
  }
  for (const Point& p : s.ring_c) EXPECT_EQ(p, (Point{0, 0, 0}));
  // The walk ends at 360 degrees after 63 points and leaves ring_angle there.
  EXPECT_EQ(degrees_of(s.ring_angle), 360);
  EXPECT_LT(degrees_of(s.ring_angle - s.ring_angle_step), 360);
}

TEST(SceneRings, RebuildAt240RoundsBeforeNotAfterSoItDiffersFromTheInitialBuild) {
  const SceneState initial = initial_scene();
  SceneState s = initial;
  rebuild(s, 240, 1);
  EXPECT_EQ(s.ring_a[1], (Point{239, 24, -200}));
  int differing = 0;
  for (int i = 0; i < ring_point_count; ++i) {
    if (s.ring_a[i] != initial.ring_a[i]) ++differing;
    EXPECT_LE(std::abs(s.ring_a[i].x - initial.ring_a[i].x), 1) << i;
    EXPECT_LE(std::abs(s.ring_a[i].y - initial.ring_a[i].y), 1) << i;
  }
  EXPECT_EQ(differing, 41);
  EXPECT_EQ(s.ring_a[63], s.ring_a[0]);
  EXPECT_EQ(s.ring_b, initial.ring_b);  // bit 1 clear
  EXPECT_EQ(s.ring_c[1], (Point{239, 24, 250}));
}

// The number of points does not depend on the radius, and nothing past entry 62 is written
// except the closing copy.
TEST(SceneRings, RebuildWritesExactly63PointsForAnyRadius) {
  const std::int32_t radii[] = {0,    1,     -1,      25,         240,
                                -240, 32769, 1 << 30, 2147483647, -2147483647 - 1};
  for (std::int32_t radius : radii) {
    SceneState s;
    s.ring_a.fill(sentinel);
    s.ring_b.fill(sentinel);
    s.ring_c.fill(sentinel);
    const auto axis_template = s.axis_template;
    rebuild(s, radius, 3);
    for (int i = 0; i < ring_point_count; ++i) {
      EXPECT_EQ(s.ring_c[i].z, 250) << "radius " << radius << " entry " << i;
      EXPECT_EQ(s.ring_a[i].z, sentinel.z) << "radius " << radius << " entry " << i;
      EXPECT_EQ((Point{s.ring_a[i].x, s.ring_a[i].y, 250}), s.ring_c[i]) << radius << " " << i;
      EXPECT_EQ((Point{s.ring_b[i].x, s.ring_b[i].y, 250}), s.ring_c[i]) << radius << " " << i;
    }
    EXPECT_EQ(s.ring_c[0], (Point{radius, 0, 250})) << radius;
    EXPECT_EQ(s.ring_a[63], s.ring_a[0]) << radius;
    EXPECT_EQ(s.ring_b[63], s.ring_b[0]) << radius;
    for (int i = 64; i < ring_ab_size; ++i) {
      EXPECT_EQ(s.ring_a[i], sentinel) << radius << " " << i;
      EXPECT_EQ(s.ring_b[i], sentinel) << radius << " " << i;
    }
    EXPECT_EQ(s.axis_template, axis_template) << radius;
    EXPECT_EQ(degrees_of(s.ring_angle), 360) << radius;
  }
}

TEST(SceneRings, RadiusZeroPutsEveryRebuiltPointAtTheOrigin) {
  SceneState s = initial_scene();
  rebuild(s, 0, 7);
  for (int i = 0; i <= 63; ++i) {
    EXPECT_EQ(s.ring_a[i], (Point{0, 0, -200})) << i;
    EXPECT_EQ(s.ring_b[i], (Point{0, 0, 200})) << i;
  }
  for (const Point& p : s.ring_c) EXPECT_EQ(p, (Point{0, 0, 250}));
}

TEST(SceneRings, FullRingOffHalvesNonNegativeCoordinatesRoundingUp) {
  struct Case {
    std::int32_t radius;
    int index;
    Point before_pull;
    Point after;
  };
  const Case cases[] = {
      {240, 0, {240, 0, -200}, {120, 0, -200}},
      {240, 1, {239, 24, -200}, {120, 12, -200}},
      {25, 0, {25, 0, -200}, {13, 0, -200}},
  };
  for (const auto& c : cases) {
    SceneState s = initial_scene();
    s.full_ring = 0;
    rebuild(s, c.radius, 1);
    EXPECT_EQ(s.ring_c[c.index], (Point{c.before_pull.x, c.before_pull.y, 250}));
    EXPECT_EQ(s.ring_a[c.index], c.after) << c.radius << " entry " << c.index;
    EXPECT_EQ(s.ring_a[63], s.ring_a[0]);
  }
}

TEST(SceneRings, FullRingOffMovesNegativeCoordinatesByAbout2To31) {
  SceneState s = initial_scene();
  s.full_ring = 0;
  rebuild(s, 240, 1);
  // Entry 31 is (-240, 12): -240 shifts as unsigned to 2147483528, and -240 minus that wraps.
  EXPECT_EQ(s.ring_c[31], (Point{-240, 12, 250}));
  EXPECT_EQ(s.ring_a[31].x, 2147483528);
  EXPECT_EQ(s.ring_a[31].y, 6);
  for (int i = 0; i < ring_point_count; ++i) {
    if (s.ring_c[i].x < 0) {
      EXPECT_GT(s.ring_a[i].x, 1 << 30) << i;
    }
    if (s.ring_c[i].y < 0) {
      EXPECT_GT(s.ring_a[i].y, 1 << 30) << i;
    }
  }
}

TEST(SceneRings, FullRingOffPullsRingAEvenWhenOnlyRingBIsRebuilt) {
  const SceneState initial = initial_scene();
  SceneState s = initial;
  s.full_ring = 0;
  rebuild(s, 240, 2);
  EXPECT_EQ(s.ring_b[1], (Point{239, 24, 200}));
  EXPECT_EQ(s.ring_a[1], (Point{238 - 119, 24 - 12, -200}));
  EXPECT_EQ(s.ring_a[0], (Point{120, 0, -200}));
  EXPECT_EQ(s.ring_a[63], initial.ring_a[63]);  // closing copy only with bit 0
}

TEST(SceneRings, Bit2DecidesWhetherRingZIsReset) {
  SceneState s = initial_scene();
  // As the ring separation keys leave it.
  for (auto& p : s.ring_a) p.z = -300;
  for (auto& p : s.ring_b) p.z = 300;
  rebuild(s, 200, 3);
  for (int i = 0; i < ring_ab_size; ++i) {
    EXPECT_EQ(s.ring_a[i].z, -300) << i;
    EXPECT_EQ(s.ring_b[i].z, 300) << i;
  }
  rebuild(s, 200, 4);
  for (int i = 0; i < ring_point_count; ++i) {
    EXPECT_EQ(s.ring_a[i].z, -200) << i;
    EXPECT_EQ(s.ring_b[i].z, 200) << i;
  }
  EXPECT_EQ(s.ring_a[63].z, -300);  // no closing copy without bits 0 and 1
  EXPECT_EQ(s.ring_b[64].z, 300);
}

TEST(SceneRings, EachPressOfXThatTurnsFullRingOffPullsRingAAgain) {
  SceneState s = initial_scene();
  // The A key: rayon1 239, rebuild ring A, clear the mask.
  rebuild(s, 239, 1);
  s.axis_mask = 0;
  ASSERT_EQ(s.ring_a[0].x, 239);
  // The X key: toggle full_ring, rebuild with the mask as it is.
  const std::int32_t expected_x[] = {120, 120, 1, 1, -118};
  for (int press = 0; press < 5; ++press) {
    s.full_ring ^= 1;
    rebuild_rings(s);
    EXPECT_EQ(s.ring_a[0].x, expected_x[press]) << "press " << press + 1;
  }
}

// An odd step or start angle must neither hang nor write past the rings.
TEST(SceneRings, OddGenerationAnglesStayWithinTheRings) {
  struct Case {
    const char* name;
    float start;
    float step;
  };
  const float nan_value = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {"zero step", 0.0f, 0.0f},
      {"tiny step", 0.0f, 0.01f},
      {"negative step", 0.0f, -0.0997f},
      {"NaN step", 0.0f, nan_value},
      {"NaN start", nan_value, ring_angle_step_value},
      {"infinite step", 0.0f, std::numeric_limits<float>::infinity()},
      {"step past a turn", 0.0f, 7.0f},
  };
  for (const auto& c : cases) {
    SceneState s;
    s.ring_a.fill(sentinel);
    s.ring_b.fill(sentinel);
    s.ring_c.fill(sentinel);
    const auto axis_template = s.axis_template;
    s.ring_angle = c.start;
    s.ring_angle_step = c.step;
    build_initial_rings(s);
    EXPECT_EQ(s.ring_a[63], s.ring_a[0]) << c.name;
    for (int i = 64; i < ring_ab_size; ++i) EXPECT_EQ(s.ring_a[i], sentinel) << c.name;
    for (int i = 64; i < ring_ab_size; ++i) EXPECT_EQ(s.ring_b[i], sentinel) << c.name;
    s.ring_c.fill(sentinel);
    s.ring_a.fill(sentinel);
    rebuild(s, 240, 3);
    EXPECT_EQ(s.ring_c[0], (Point{240, 0, 250})) << c.name;
    for (int i = 64; i < ring_ab_size; ++i) EXPECT_EQ(s.ring_a[i], sentinel) << c.name;
    EXPECT_EQ(s.axis_template, axis_template) << c.name;
  }
}

}  // namespace
}  // namespace fpu
