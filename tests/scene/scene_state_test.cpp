#include "scene/scene_state.h"

#include <gtest/gtest.h>

namespace fpu {
namespace {

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
