// Generation of the three rings of points.
#pragma once

#include "scene/scene_state.h"

namespace fpu {

// rebuild_rings reads the axis mask's bits as a selection of what to rebuild.
namespace rebuild {
inline constexpr std::uint16_t ring_a = axis::x;
inline constexpr std::uint16_t ring_b = axis::y;
inline constexpr std::uint16_t reset_z = axis::z;
}  // namespace rebuild

// Fills rings A and B (doubled radius, z = -200 / +200) starting from the current ring_angle.
void build_initial_rings(SceneState& scene);
// Refills the rings the axis mask selects from `radius`, always refills ring C, and applies
// the full-ring rule to ring A when full_ring is off.
void rebuild_rings(SceneState& scene);

}  // namespace fpu
