// A started program on the software back buffer, with trace lines collected.
#pragma once

#include <string>
#include <vector>

#include "app/program.h"
#include "app/window.h"
#include "backends/soft/soft_platform.h"
#include "tests/support/collecting_trace_sink.h"

namespace fpu::testing {

inline constexpr WindowHandle test_window = 1;

// Starts the program as the window does: creation, the start-up steps, the first paint.
class StartedProgram {
 public:
  explicit StartedProgram(std::uint32_t start_ticks = 12345678) {
    platform.set_tick_count(start_ticks);
    start_program(program, test_window);
    platform.clear_invalidated();
    trace.lines.clear();
  }

  std::intptr_t send(std::uint32_t message, WParam wparam, LParam lparam) {
    return window_proc(program, test_window, message, wparam, lparam);
  }
  void key(std::uint32_t code) { send(msg::key_down, code, 0); }
  void mouse(std::uint32_t message, int x, int y, std::uint32_t flags) {
    send(message, flags, widen_lparam(pack_mouse_lparam(x, y)));
  }

  SoftPlatform platform{view_width, view_height};
  CollectingTraceSink trace;
  Program program{platform, trace};
  SceneState& scene = program.scene;
};

}  // namespace fpu::testing
