#include "scene/scene_state.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

namespace fpu {
namespace {

struct FloatPattern {
  const char* name;
  float value;
  std::uint32_t bits;
};

TEST(SceneState, FloatConstantsHaveExactBitPatterns) {
  const SceneState s;
  const FloatPattern cases[] = {
      {"step_forward", s.step_forward, 0x3DB2BA9D},
      {"angle_step", s.angle_step, 0x3DB2BA9D},
      {"step_backward", s.step_backward, 0xBDB2BA9D},
      {"degrees_per_radian", s.degrees_per_radian, 0x42652EE1},
      {"ring_angle_step", s.ring_angle_step, 0x3DCC2F83},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(c.value), c.bits) << c.name;
  }
  // The literal values the patterns stand for round to the same floats.
  EXPECT_EQ(s.step_forward, 0.08727f);
  EXPECT_EQ(s.degrees_per_radian, 57.29578f);
  EXPECT_EQ(s.ring_angle_step, 0.0997f);
}

TEST(SceneState, CopyAxisTemplateCopiesThePointsInOrder) {
  SceneState s;
  EXPECT_EQ(s.axis_points[0], (Point{0, 0, 0}));
  copy_axis_template(s);
  EXPECT_EQ(s.axis_points[0], (Point{100, 0, 0}));
  EXPECT_EQ(s.axis_points[1], (Point{0, 100, 0}));
  EXPECT_EQ(s.axis_points[2], (Point{0, 0, 100}));
}

}  // namespace
}  // namespace fpu
