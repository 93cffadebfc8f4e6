#include "scene/scene_state.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace fpu {
namespace {

std::int64_t dot(const Point& a, const Point& b) {
  return std::int64_t{a.x} * b.x + std::int64_t{a.y} * b.y + std::int64_t{a.z} * b.z;
}

Point cross(const Point& a, const Point& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The axes the P key draws are a right-handed frame of three equal, perpendicular arms from
// the origin, X, Y, Z in that order (the painter colours them by index), and a scene has
// none until the window is created.
TEST(SceneState, AxesAreARightHandedFrameOnceCopied) {
  SceneState s;
  for (const Point& p : s.axis_points) EXPECT_EQ(p, (Point{0, 0, 0}));
  copy_axis_template(s);
  const auto& [x, y, z] = s.axis_points;
  EXPECT_GT(dot(x, x), 0);
  EXPECT_EQ(dot(x, x), dot(y, y));
  EXPECT_EQ(dot(y, y), dot(z, z));
  EXPECT_EQ(dot(x, y), 0);
  EXPECT_EQ(dot(y, z), 0);
  EXPECT_EQ(dot(x, z), 0);
  EXPECT_GT(x.x, 0);
  EXPECT_GT(y.y, 0);
  // x cross y points along z, as long as x times y: right-handed.
  const Point xy = cross(x, y);
  EXPECT_EQ(dot(xy, z) * dot(xy, z), dot(xy, xy) * dot(z, z));
  EXPECT_GT(dot(xy, z), 0);
}

}  // namespace
}  // namespace fpu
