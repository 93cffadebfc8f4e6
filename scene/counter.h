// The six-character counter read-out in the top-left corner.
#pragma once

#include <cstdint>

#include "scene/scene_state.h"

namespace fpu {

// Overwrites bytes 0..5 of scene.counter_text with `value` in the read-out's format.
void format_counter(SceneState& scene, std::uint32_t value);

}  // namespace fpu
