// Drawing one frame into the back buffer and copying it to the window.
#pragma once

#include <cstdint>

#include "app/program.h"

namespace fpu {

// Answers a paint message: rings, string art or dots with hub lines, axes, then the copy.
void paint_frame(Program& program, WindowHandle window);

// The next string-art index after `index` with step `offset`.
std::uint32_t next_index(const SceneState& scene, std::uint32_t index, std::uint32_t offset);

}  // namespace fpu
