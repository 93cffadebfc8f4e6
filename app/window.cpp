#include "app/window.h"

#include "app/session_recorder.h"
#include "scene/random.h"
#include "scene/rings.h"

namespace fpu {

std::intptr_t window_proc(Program& program, WindowHandle window, std::uint32_t message,
                          WParam wparam, LParam lparam) {
  // After shutdown the drawing objects are gone; messages still queued ahead of the quit
  // message only get default handling, so nothing draws with (or deletes) a dead object.
  if (!program.shut_down) {
    program.timer_reading.reset();
    bool handled = true;
    switch (message) {
      case msg::paint:
        paint_frame(program.frame(), window);
        break;
      case msg::timer:
      case msg::mouse_move:
      case msg::lbutton_up:
      case msg::rbutton_up:
      case msg::rbutton_down:
      case msg::lbutton_down:
      case msg::key_down:
        switch (on_input(program.input(), message, wparam, lparam)) {
          case FrameRequest::next_frame:
            prepare_next_frame(program.frame(), window);
            break;
          case FrameRequest::quit:
            shutdown(program, window);
            break;
          case FrameRequest::none:
            break;
        }
        break;
      case msg::create:
        on_create(program, window);
        break;
      case msg::close:
        shutdown(program, window);
        break;
      default:
        handled = false;
        break;
    }
    if (handled && program.recorder != nullptr) {
      const auto& reading = program.timer_reading;
      program.recorder->record(message, wparam, lparam, reading ? &*reading : nullptr);
    }
  }
  return program.platform->default_window_proc(window, message, wparam, lparam);
}

void on_create(Program& program, WindowHandle window) {
  DrawResources& draw = program.draw;
  Platform& platform = *program.platform;
  draw.background = platform.create_solid_brush(color::black);
  build_initial_rings(program.scene);
  Handle dc = platform.get_dc(window);
  draw.back_buffer = platform.create_compatible_dc(dc);
  platform.set_bk_mode(draw.back_buffer, bk_mode_transparent);
  platform.set_text_color(draw.back_buffer, color::silver);
  draw.back_bitmap = platform.create_compatible_bitmap(dc, view_width, view_height);
  platform.select_object(draw.back_buffer, draw.back_bitmap);
  platform.release_dc(window, dc);
  platform.set_timer(window, timer_id, timer_period_ms);
}

void finish_start_up(Program& program) {
  SceneState& scene = program.scene;
  DrawResources& draw = program.draw;
  Platform& platform = *program.platform;
  draw.white_pen = platform.create_pen(pen_style_solid, 1, color::white);
  platform.select_object(draw.back_buffer, draw.white_pen);
  const std::uint32_t start_ticks = platform.get_tick_count();
  seed_random(scene, start_ticks);
  if (program.recorder != nullptr) program.recorder->begin(start_ticks);
  copy_axis_template(scene);
  scene.axis_mask = axis::all;
}

void start_program(Program& program, WindowHandle window, const std::function<void()>& show) {
  window_proc(program, window, msg::create, 0, 0);
  finish_start_up(program);
  if (show) show();
  window_proc(program, window, msg::paint, 0, 0);
}

void shutdown(Program& program, WindowHandle window) {
  if (program.shut_down) return;
  program.shut_down = true;
  const DrawResources& draw = program.draw;
  Platform& platform = *program.platform;
  platform.post_quit_message(0);
  if (program.before_release) program.before_release(program);
  platform.delete_dc(draw.back_buffer);
  platform.delete_object(draw.back_bitmap);
  platform.delete_object(draw.background);
  platform.delete_object(draw.white_pen);
  platform.kill_timer(window, timer_id);
}

}  // namespace fpu
