// Drawing one frame into the back buffer and copying it to the window.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "render/draw_resources.h"
#include "scene/scene_state.h"
#include "trace/trace.h"

namespace fpu {

// What a frame is drawn with. The scene is written too: projection leaves the last screen
// position in it, and string art advances its running indices.
struct FrameTarget {
  Platform& platform;
  DrawResources& draw;
  SceneState& scene;
  TraceSink& trace;
};

// Answers a paint message: rings, string art or dots with hub lines, axes, then the copy.
void paint_frame(const FrameTarget& frame, WindowHandle window);

// After input has changed the scene: clears the back buffer (unless the trail is on), draws
// the counter text and asks for a paint of the whole view.
void prepare_next_frame(const FrameTarget& frame, WindowHandle window);

// The next string-art index after `index` with step `offset`.
std::uint32_t next_index(std::uint32_t index, std::uint32_t offset);

}  // namespace fpu
