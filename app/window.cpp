#include "app/window.h"

#include "input/input.h"
#include "render/paint.h"
#include "scene/random.h"
#include "scene/rings.h"

namespace fpu {

std::intptr_t window_proc(Program& program, WindowHandle window, std::uint32_t message,
                          WParam wparam, LParam lparam) {
  // After shutdown the drawing objects are gone; messages still queued ahead of the quit
  // message only get default handling, so nothing draws with (or deletes) a dead object.
  if (!program.shut_down) {
    switch (message) {
      case msg::paint:
        paint_frame(program, window);
        break;
      case msg::timer:
      case msg::mouse_move:
      case msg::lbutton_up:
      case msg::rbutton_up:
      case msg::rbutton_down:
      case msg::lbutton_down:
      case msg::key_down:
        on_input(program, window, message, wparam, lparam);
        break;
      case msg::create:
        on_create(program, window);
        break;
      case msg::close:
        shutdown(program, window);
        break;
      default:
        break;
    }
  }
  return program.platform->default_window_proc(window, message, wparam, lparam);
}

void on_create(Program& program, WindowHandle window) {
  SceneState& scene = program.scene;
  Platform& platform = *program.platform;
  // `background` holds the colour until here, then the brush of that colour.
  scene.background = platform.create_solid_brush(static_cast<ColorRef>(scene.background));
  build_initial_rings(scene);
  Handle dc = platform.get_dc(window);
  scene.back_buffer = platform.create_compatible_dc(dc);
  platform.set_bk_mode(scene.back_buffer, bk_mode_transparent);
  platform.set_text_color(scene.back_buffer, color::silver);
  scene.back_bitmap = platform.create_compatible_bitmap(dc, back_buffer_width, back_buffer_height);
  platform.select_object(scene.back_buffer, scene.back_bitmap);
  platform.release_dc(window, dc);
  platform.set_timer(window, timer_id, timer_period_ms);
}

void finish_start_up(Program& program) {
  SceneState& scene = program.scene;
  Platform& platform = *program.platform;
  scene.white_pen = platform.create_pen(pen_style_solid, 1, color::white);
  platform.select_object(scene.back_buffer, scene.white_pen);
  seed_random(scene, platform.get_tick_count());
  copy_axis_template(scene);
  scene.axis_mask = 7;
}

void shutdown(Program& program, WindowHandle window) {
  if (program.shut_down) return;
  program.shut_down = true;
  SceneState& scene = program.scene;
  Platform& platform = *program.platform;
  platform.post_quit_message(0);
  if (program.before_release) program.before_release(program);
  platform.delete_dc(scene.back_buffer);
  platform.delete_object(scene.back_bitmap);
  platform.delete_object(scene.background);
  platform.delete_object(scene.white_pen);
  platform.kill_timer(window, timer_id);
}

std::int32_t window_x_for_screen(std::uint32_t screen_width) {
  return static_cast<std::int32_t>(screen_width / 2 - 350u);
}

std::int32_t window_y_for_screen(std::uint32_t screen_height) {
  return static_cast<std::int32_t>(screen_height / 2 - 327u);
}

}  // namespace fpu
