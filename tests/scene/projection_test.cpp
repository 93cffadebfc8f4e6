#include "scene/projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace fpu {
namespace {

constexpr float half_pi = std::numbers::pi_v<float> / 2;
constexpr std::int32_t int32_min = std::numeric_limits<std::int32_t>::min();

struct ProjectionCase {
  const char* name;
  float angle_x, angle_y, angle_z;
  Point point;
  std::int32_t screen_x, screen_y;
};

TEST(SceneProjection, TurnsAboutXThenYThenZAndAddsTheCentre) {
  const ProjectionCase cases[] = {
      {"no turn, +x", 0, 0, 0, {100, 0, 0}, 450, 327},
      {"no turn, z is dropped", 0, 0, 0, {0, 0, 100}, 350, 327},
      {"Z quarter turn takes +x down the screen", 0, 0, half_pi, {100, 0, 0}, 350, 427},
      {"Y quarter turn takes +z to -x", 0, half_pi, 0, {0, 0, 100}, 250, 327},
      {"X quarter turn takes +z to -y", half_pi, 0, 0, {0, 0, 100}, 350, 227},
      {"angles are not reduced",
       0,
       0,
       half_pi + 4 * std::numbers::pi_v<float>,
       {100, 0, 0},
       350,
       427},
  };
  for (const auto& c : cases) {
    SceneState s;
    s.angle_x = c.angle_x;
    s.angle_y = c.angle_y;
    s.angle_z = c.angle_z;
    project_point(s, c.point);
    EXPECT_EQ(s.screen_x, c.screen_x) << c.name;
    EXPECT_EQ(s.screen_y, c.screen_y) << c.name;
  }
}

// Against a plain double-precision rotation the result may differ by a pixel where the float
// rounding between turns lands near a tie, never more.
TEST(SceneProjection, AgreesWithDoublePrecisionRotationWithinOnePixel) {
  const Point points[] = {{240, 0, -200}, {-238, 24, 200}, {0, 0, 100}, {17, -250, 250}};
  for (int step = 0; step < 200; ++step) {
    SceneState s;
    s.angle_x = 0.2f + 0.08727f * static_cast<float>(step);
    s.angle_y = 0.2f - 0.05f * static_cast<float>(step);
    s.angle_z = 1.0f + 0.03f * static_cast<float>(step);
    for (const Point& p : points) {
      double x = p.x, y = p.y, z = p.z;
      const double a = s.angle_x, b = s.angle_y, c = s.angle_z;
      double t = std::cos(a) * y - std::sin(a) * z;
      z = std::cos(a) * z + std::sin(a) * y;
      y = t;
      t = std::cos(b) * x - std::sin(b) * z;
      z = std::cos(b) * z + std::sin(b) * x;
      x = t;
      t = std::cos(c) * x - std::sin(c) * y;
      y = std::cos(c) * y + std::sin(c) * x;
      x = t;
      project_point(s, p);
      EXPECT_LE(std::abs(s.screen_x - (350 + std::nearbyint(x))), 1) << step;
      EXPECT_LE(std::abs(s.screen_y - (327 + std::nearbyint(y))), 1) << step;
    }
  }
}

// Sines and cosines are kept from one call to the next; two scenes with different angles
// projected in turn must each get what they get alone.
TEST(SceneProjection, InterleavedScenesDoNotShareTurns) {
  const Point point{240, 24, -200};
  SceneState a;
  SceneState b;
  b.angle_x = -1.5f;
  b.angle_y = 2.5f;
  b.angle_z = -0.0f;
  project_point(a, point);
  const std::int32_t alone_a[] = {a.screen_x, a.screen_y};
  project_point(b, point);
  const std::int32_t alone_b[] = {b.screen_x, b.screen_y};
  for (int round = 0; round < 3; ++round) {
    project_point(a, point);
    EXPECT_EQ(a.screen_x, alone_a[0]);
    EXPECT_EQ(a.screen_y, alone_a[1]);
    project_point(b, point);
    EXPECT_EQ(b.screen_x, alone_b[0]);
    EXPECT_EQ(b.screen_y, alone_b[1]);
  }
  EXPECT_NE(alone_a[0], alone_b[0]);
}

TEST(SceneProjection, UnrepresentableResultsBecomeMinimumPlusCentreWithoutOverflow) {
  struct Case {
    const char* name;
    float angle;
    Point point;
    std::int32_t centre_x;
    std::int32_t screen_x, screen_y;
  };
  const float nan_value = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {"NaN angle", nan_value, {100, 0, 0}, 350, int32_min + 350, int32_min + 327},
      // 2147483647 becomes the float 2^31, which no longer fits.
      {"x rounds past the range", 0, {2147483647, 0, 0}, 350, int32_min + 350, 327},
      {"x at the minimum", 0, {int32_min, 0, 0}, 0, int32_min, 327},
      {"centre wraps", 0, {100, 0, 0}, 2147483647, int32_min + 99, 327},
      {"both wrap", 0, {int32_min, 0, 0}, -1, 2147483647, 327},
  };
  for (const auto& c : cases) {
    SceneState s;
    s.angle_x = s.angle_y = 0;
    s.angle_z = c.angle;
    s.centre_x = c.centre_x;
    project_point(s, c.point);
    EXPECT_EQ(s.screen_x, c.screen_x) << c.name;
    EXPECT_EQ(s.screen_y, c.screen_y) << c.name;
  }
}

}  // namespace
}  // namespace fpu
