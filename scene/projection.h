// Rotation of one scene point about X, Y and Z, and its orthographic projection.
#pragma once

#include "scene/scene_state.h"

namespace fpu {

// Sets scene.screen_x and scene.screen_y to the projected position of `point`.
void project_point(SceneState& scene, const Point& point);

}  // namespace fpu
