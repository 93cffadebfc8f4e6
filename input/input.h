// Input routing, the shared frame tail, key commands, mouse control and timer modes.
//
// Input changes the scene and says what should follow; the window procedure acts on that
// (drawing the next frame, or shutting down), so nothing here draws or releases anything.
#pragma once

#include <cstdint>
#include <optional>

#include "input/timer_noise.h"
#include "platform/platform.h"
#include "scene/scene_state.h"
#include "trace/trace.h"

namespace fpu {

// What the window procedure does once a message has been handled.
enum class FrameRequest {
  none,        // nothing changed on screen
  next_frame,  // clear, redraw the counter and ask for a paint
  quit,        // Escape: shut down
};

// What a timer tick that turned the scene read: the tick count and its three values.
struct TimerReading {
  std::uint32_t ticks;
  TimerValues values;
};

// What input works on. The platform is only asked for the tick count.
struct InputTarget {
  SceneState& scene;
  TraceSink& trace;
  TimerNoise& timer_noise;
  Platform& platform;
  // Where a tick leaves what it read (for a session recording); nowhere when null.
  std::optional<TimerReading>* timer_reading = nullptr;
};

FrameRequest on_input(const InputTarget& input, std::uint32_t message, WParam wparam,
                      LParam lparam);
// The key's command (if it has one), then the frame tail.
FrameRequest key_dispatch(const InputTarget& input, std::uint32_t code);
// Steps the selected angles, or asks to quit for Escape.
FrameRequest frame_tail(const InputTarget& input, std::uint32_t code);
// Runs the command of the key row whose codes include `code`; returns whether one matched.
bool run_key_command(const InputTarget& input, std::uint32_t code);

}  // namespace fpu
