// Generation of the three rings of points.
#pragma once

#include "scene/scene_state.h"

namespace fpu {

// Fills rings A and B (doubled radius, z = -200 / +200) starting from the current ring_angle.
void build_initial_rings(SceneState& scene);
// Refills the rings the axis mask selects from `radius`, always refills ring C, and applies
// the full-ring rule to ring A when full_ring is off.
void rebuild_rings(SceneState& scene);

}  // namespace fpu
