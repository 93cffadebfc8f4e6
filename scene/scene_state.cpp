#include "scene/scene_state.h"

namespace fpu {

void copy_axis_template(SceneState& scene) {
  scene.axis_points = scene.axis_template;
}

}  // namespace fpu
