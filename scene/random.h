// The program's pseudo-random generator (multiplicative congruential, Schrage's method).
#pragma once

#include <cstdint>

#include "scene/scene_state.h"

namespace fpu {

void seed_random(SceneState& scene, std::uint32_t value);
// Returns a value below `bound` (> 0) and advances scene.random_seed.
std::uint32_t next_random(SceneState& scene, std::uint32_t bound);

}  // namespace fpu
