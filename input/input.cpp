#include "input/input.h"

#include <cstdint>

#include "app/window.h"
#include "scene/counter.h"
#include "scene/fpmath.h"
#include "scene/random.h"
#include "scene/rings.h"

namespace fpu {

namespace {

std::uint16_t low_word(std::uint32_t v) {
  return static_cast<std::uint16_t>(v & 0xFFFFu);
}
std::uint16_t high_word(std::uint32_t v) {
  return static_cast<std::uint16_t>(v >> 16);
}

// Adds the step in single precision, whatever width the registers have.
float stepped(float angle, float step) {
  return round_to_float(static_cast<long double>(angle) + static_cast<long double>(step));
}

}  // namespace

void on_input(Program& program, WindowHandle window, std::uint32_t message, WParam wparam,
              LParam lparam) {
  // The message parameters are 32-bit values on the platform the program was made for.
  const auto wp = static_cast<std::uint32_t>(wparam);
  const auto lp = static_cast<std::uint32_t>(lparam);
  switch (message) {
    case msg::timer:
      on_timer(program, window, wp);
      break;
    case msg::mouse_move:
      on_mouse_move(program, window, wp, lp);
      break;
    case msg::rbutton_down:
      program.scene.trail = 0;
      on_button_down(program, window, wp, lp);
      break;
    case msg::lbutton_down:
      on_button_down(program, window, wp, lp);
      break;
    case msg::key_down:
      key_dispatch(program, window, wp);
      break;
    default:  // button releases and everything else: default handling only
      break;
  }
}

void key_dispatch(Program& program, WindowHandle window, std::uint32_t code) {
  run_key_command(program, window, code);
  frame_tail(program, window, code);
}

void frame_tail(Program& program, WindowHandle window, std::uint32_t code) {
  SceneState& s = program.scene;
  Platform& platform = *program.platform;
  if (s.rot1 > 63) s.rot1 = 1;
  if (s.rot2 > 63) s.rot2 = 1;
  if (code == vk::escape) {
    shutdown(program, window);
    return;
  }
  if (s.axis_mask & 1u) s.angle_x = stepped(s.angle_x, s.angle_step);
  if (s.axis_mask & 2u) s.angle_y = stepped(s.angle_y, s.angle_step);
  if (s.axis_mask & 4u) {
    s.angle_z = stepped(s.angle_z, s.angle_step);
    // Whole degrees, nearest with ties to even; out of the 16-bit range gives -32768.
    s.z_degrees = round_to_int16(static_cast<long double>(s.angle_z) *
                                 static_cast<long double>(s.degrees_per_radian));
    emit_trace(*program.trace, TraceLabel::xopc, s.z_degrees);
  }
  if (!s.trail) platform.fill_rect(s.back_buffer, s.draw_rect, s.background);
  platform.fill_rect(s.back_buffer, s.counter_rect, s.background);
  platform.text_out(s.back_buffer, 2, 2, reinterpret_cast<const char*>(s.counter_text.data()), 6);
  platform.redraw_window(window, s.draw_rect);
}

namespace {

// A - D and Q - E: one radius down (wrapping, then bounded) or up, then rebuild the ring.
void change_radius(SceneState& s, std::int32_t& rayon, bool down, std::uint16_t mask) {
  s.axis_mask = mask;
  auto value = static_cast<std::uint32_t>(rayon);
  if (down) {
    value -= 1;
    if (value > 1000) value = 260;
  } else {
    value += 1;
  }
  rayon = static_cast<std::int32_t>(value);
  s.radius = rayon;
  format_counter(s, static_cast<std::uint32_t>(s.radius));
  rebuild_rings(s);
  s.axis_mask = 0;
}

// F, G, J, K: one down; a wrap below zero (or any large value) is caught by the bound.
void decrement_index(SceneState& s, std::uint32_t& index) {
  index -= 1;
  if (index > 64) index = 64;
  format_counter(s, index);
}

void increment_index(SceneState& s, std::uint32_t& index) {
  index += 1;
  format_counter(s, index);
}

void move_rings_apart(SceneState& s, std::int32_t d) {
  for (int i = 0; i < ring_ab_size; ++i) {
    s.ring_a[i].z = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.ring_a[i].z) +
                                              static_cast<std::uint32_t>(d));
    s.ring_b[i].z = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.ring_b[i].z) -
                                              static_cast<std::uint32_t>(d));
  }
  s.axis_mask = 0;
  format_counter(s, static_cast<std::uint32_t>(s.ring_b[0].z));
}

void trace_dump(Program& program) {
  const SceneState& s = program.scene;
  TraceSink& t = *program.trace;
  emit_trace(t, TraceLabel::rot1, static_cast<std::int32_t>(s.rot1));
  emit_trace(t, TraceLabel::rot2, static_cast<std::int32_t>(s.rot2));
  emit_trace(t, TraceLabel::rol1, static_cast<std::int32_t>(s.rol1));
  emit_trace(t, TraceLabel::rol2, static_cast<std::int32_t>(s.rol2));
  emit_trace(t, TraceLabel::rayon1, s.rayon1);
  emit_trace(t, TraceLabel::rayon2, s.rayon2);
  emit_trace(t, TraceLabel::eAX, s.ring_a[1].z);  // every entry of ring A shares one z
  emit_trace(t, TraceLabel::separator, 0);
}

}  // namespace

bool run_key_command(Program& program, WindowHandle /*window*/, std::uint32_t code) {
  SceneState& s = program.scene;
  // Tested in this order; the first row whose codes include `code` runs.
  switch (code) {
    case 37:  // Left arrow
      s.angle_step = s.step_backward;
      s.axis_mask = 2;
      return true;
    case 39:  // Right arrow
      s.angle_step = s.step_forward;
      s.axis_mask = 2;
      return true;
    case 38:  // Up arrow
    case 40:  // Down arrow
      s.angle_step = code == 38 ? s.step_forward : s.step_backward;
      s.axis_mask = 1;
      return true;
    case 88:  // X: full ring on/off, rebuilt with the mask as it is
      s.full_ring ^= 1;
      rebuild_rings(s);
      return true;
    case 90:  // Z: rings apart
    case 67:  // C: rings together
      move_rings_apart(s, code == 90 ? 4 : -4);
      return true;
    case 65:  // A
    case 68:  // D
      change_radius(s, s.rayon1, code == 65, 1);
      return true;
    case 80:  // P
      s.axes_flag ^= 1;
      return true;
    case 81:  // Q
    case 69:  // E
      change_radius(s, s.rayon2, code == 81, 2);
      return true;
    case 87:  // W
      trace_dump(program);
      return true;
    case 83:   // S
    case 192:  // the key left of 1
      s.string_art ^= 1;
      return true;
    case 89:  // Y
      s.trace_flag ^= 1;
      return true;
    case 70:  // F
      decrement_index(s, s.rot1);
      return true;
    case 71:  // G
      decrement_index(s, s.rot2);
      return true;
    case 86:  // V
    case 78:  // N
      increment_index(s, s.rot1);
      return true;
    case 66:  // B
    case 77:  // M
      increment_index(s, s.rot2);
      return true;
    case 75:  // K
      decrement_index(s, s.rol2);
      return true;
    case 74:  // J
      decrement_index(s, s.rol1);
      return true;
    case 190:  // full stop
      increment_index(s, s.rol2);
      return true;
    case 188:  // comma
      increment_index(s, s.rol1);
      return true;
    case 76:   // L: string art off, or on with new random offsets
    case 189:  // minus: always new offsets
      if (s.string_art && code == 76) {
        s.string_art = 0;
      } else {
        s.rot1 = next_random(s, 100);
        s.rot2 = next_random(s, 100);
        s.string_art = 1;
      }
      return true;
    case 72:  // H
      s.trail ^= 1;
      return true;
    case 32:  // Space
    case 13:  // Return
    case 8:   // Backspace
      s.trail = 0;
      s.axis_mask = 0;
      return true;
    case 48:  // 0
    case 96:  // numeric-pad 0 with Num Lock on
    case 79:  // O
      s.angle_x = s.step_reset;
      s.angle_y = s.step_reset;
      s.angle_z = s.step_reset;
      s.angle_step = s.step_reset;
      return true;
    case 84:  // T
      s.auto_mode ^= 1;
      return true;
    case 82:  // R
      s.random_mode ^= 1;
      s.auto_mode ^= 1;
      return true;
    default:
      return false;
  }
}

namespace {

// The dead-zone box is +/-3 around the anchor, in wrapping 16-bit arithmetic.
void set_anchor(SceneState& s, std::uint16_t x, std::uint16_t y) {
  s.anchor_x = x;
  s.anchor_y = y;
  s.box_left = static_cast<std::uint16_t>(x - 3);
  s.box_right = static_cast<std::uint16_t>(x + 3);
  s.box_upper = static_cast<std::uint16_t>(y - 3);
  s.box_lower = static_cast<std::uint16_t>(y + 3);
}

// Adds a signed 16-bit pointer difference to a centre coordinate, wrapping at 32 bits.
std::int32_t add_wrapping(std::int32_t centre, std::int16_t delta) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(centre) +
                                   static_cast<std::uint32_t>(static_cast<std::int32_t>(delta)));
}

}  // namespace

void on_button_down(Program& program, WindowHandle window, std::uint32_t wparam,
                    std::uint32_t lparam) {
  set_anchor(program.scene, low_word(lparam), high_word(lparam));
  key_dispatch(program, window, wparam);
}

void on_mouse_move(Program& program, WindowHandle window, std::uint32_t wparam,
                   std::uint32_t lparam) {
  SceneState& s = program.scene;
  const std::uint16_t x = low_word(lparam);
  const std::uint16_t y = high_word(lparam);
  if ((wparam & mk::rbutton) && !(wparam & mk::lbutton)) {
    // Centre drag: moves the picture and the anchor, never the box.
    s.trail = 0;
    s.auto_mode = 0;
    const auto dx = static_cast<std::int16_t>(static_cast<std::uint16_t>(x - s.anchor_x));
    if (dx != 0) {
      s.centre_x = add_wrapping(s.centre_x, dx);
      s.anchor_x = x;
    }
    const auto dy = static_cast<std::int16_t>(static_cast<std::uint16_t>(y - s.anchor_y));
    if (dy != 0) {
      s.centre_y = add_wrapping(s.centre_y, dy);
      s.anchor_y = y;
    }
    s.axis_mask = 0;
    key_dispatch(program, window, wparam);
    return;
  }
  if (!(wparam & (mk::lbutton | mk::mbutton))) return;

  // Rotation: one step each time the pointer leaves the dead-zone box.
  s.axis_mask = 0;
  if (x < s.box_left) {
    s.angle_step = s.step_backward;
    s.axis_mask |= 2;
  } else if (x > s.box_right) {
    s.angle_step = s.step_forward;
    s.axis_mask |= 2;
  } else if (y > s.box_lower) {
    s.angle_step = s.step_forward;
    s.axis_mask |= 1;
  } else if (y < s.box_upper) {
    s.angle_step = s.step_backward;
    s.axis_mask |= 1;
  }
  if ((wparam & mk::mbutton) && (s.axis_mask & 3u)) s.axis_mask = 4;  // Z mode
  if (s.axis_mask) set_anchor(s, x, y);
  key_dispatch(program, window, wparam);
}

void on_timer(Program& program, WindowHandle window, std::uint32_t wparam) {
  SceneState& s = program.scene;
  if (!s.auto_mode) return;
  const std::uint32_t t = program.platform->get_tick_count();
  s.axis_mask = s.random_mode ? 0xFFFF : 0;
  const TimerValues r = program.timer_noise.next();
  const auto p = static_cast<std::uint16_t>(static_cast<std::uint32_t>(r.b) * r.c);
  if (t & 0x1F40u) {
    const std::uint32_t v = (p ^ r.s) & 0x03F2u;
    if (v & 0x000Au) s.angle_step = s.step_backward;
    if (v & 0x03E8u) s.angle_step = s.step_forward;
  }
  const std::uint32_t w = p ^ 0xFFFFu;
  if (w & 0x0006u) s.rol2 = next_random(s, 63);
  key_dispatch(program, window, wparam);
}

}  // namespace fpu
