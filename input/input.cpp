#include "input/input.h"

#include <cstdint>

#include "scene/counter.h"
#include "scene/fp_settings.h"
#include "scene/fpmath.h"
#include "scene/random.h"
#include "scene/rings.h"

namespace fpu {

namespace {

// Adds the step in single precision, whatever width the registers have.
float stepped(float angle, float step) {
  const ScopedFloatSettings settings;
  return round_to_float(static_cast<long double>(angle) + static_cast<long double>(step));
}

// Whole degrees, nearest with ties to even; out of the 16-bit range gives -32768.
std::int16_t whole_degrees(float angle, float degrees_per_radian) {
  const ScopedFloatSettings settings;
  return round_to_int16(static_cast<long double>(angle) *
                        static_cast<long double>(degrees_per_radian));
}

}  // namespace

namespace {
FrameRequest on_button_down(const InputTarget& input, std::uint32_t wparam, std::uint32_t lparam);
FrameRequest on_mouse_move(const InputTarget& input, std::uint32_t wparam, std::uint32_t lparam);
FrameRequest on_timer(const InputTarget& input, std::uint32_t wparam);
}  // namespace

FrameRequest on_input(const InputTarget& input, std::uint32_t message, WParam wparam,
                      LParam lparam) {
  // The message parameters are 32-bit values on the platform the program was made for.
  const auto wp = static_cast<std::uint32_t>(wparam);
  const auto lp = static_cast<std::uint32_t>(lparam);
  switch (message) {
    case msg::timer:
      return on_timer(input, wp);
    case msg::mouse_move:
      return on_mouse_move(input, wp, lp);
    case msg::rbutton_down:
      input.scene.trail = 0;
      return on_button_down(input, wp, lp);
    case msg::lbutton_down:
      return on_button_down(input, wp, lp);
    case msg::key_down:
      return key_dispatch(input, wp);
    default:  // button releases and everything else: default handling only
      return FrameRequest::none;
  }
}

FrameRequest key_dispatch(const InputTarget& input, std::uint32_t code) {
  run_key_command(input, code);
  return frame_tail(input, code);
}

FrameRequest frame_tail(const InputTarget& input, std::uint32_t code) {
  SceneState& s = input.scene;
  if (s.rot1 > 63) s.rot1 = 1;
  if (s.rot2 > 63) s.rot2 = 1;
  if (code == vk::escape) return FrameRequest::quit;
  if (s.axis_mask & axis::x) s.angle_x = stepped(s.angle_x, s.angle_step);
  if (s.axis_mask & axis::y) s.angle_y = stepped(s.angle_y, s.angle_step);
  if (s.axis_mask & axis::z) {
    s.angle_z = stepped(s.angle_z, s.angle_step);
    s.z_degrees = whole_degrees(s.angle_z, s.degrees_per_radian);
    emit_trace(input.trace, TraceLabel::xopc, s.z_degrees);
  }
  return FrameRequest::next_frame;
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

void trace_dump(const InputTarget& input) {
  const SceneState& s = input.scene;
  TraceSink& t = input.trace;
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

bool run_key_command(const InputTarget& input, std::uint32_t code) {
  SceneState& s = input.scene;
  switch (code) {
    case vk::left:
      s.angle_step = s.step_backward;
      s.axis_mask = axis::y;
      return true;
    case vk::right:
      s.angle_step = s.step_forward;
      s.axis_mask = axis::y;
      return true;
    case vk::up:
    case vk::down:
      s.angle_step = code == vk::up ? s.step_forward : s.step_backward;
      s.axis_mask = axis::x;
      return true;
    case 'X':  // full ring on/off, rebuilt with the mask as it is
      s.full_ring ^= 1;
      rebuild_rings(s);
      return true;
    case 'Z':  // rings apart
    case 'C':  // rings together
      move_rings_apart(s, code == 'Z' ? 4 : -4);
      return true;
    case 'A':
    case 'D':
      change_radius(s, s.rayon1, code == 'A', rebuild::ring_a);
      return true;
    case 'P':
      s.axes_flag ^= 1;
      return true;
    case 'Q':
    case 'E':
      change_radius(s, s.rayon2, code == 'Q', rebuild::ring_b);
      return true;
    case 'W':
      trace_dump(input);
      return true;
    case 'S':
    case vk::oem_3:  // the key left of 1
      s.string_art ^= 1;
      return true;
    case 'Y':
      s.trace_flag ^= 1;
      return true;
    case 'F':
      decrement_index(s, s.rot1);
      return true;
    case 'G':
      decrement_index(s, s.rot2);
      return true;
    case 'V':
    case 'N':
      increment_index(s, s.rot1);
      return true;
    case 'B':
    case 'M':
      increment_index(s, s.rot2);
      return true;
    case 'K':
      decrement_index(s, s.rol2);
      return true;
    case 'J':
      decrement_index(s, s.rol1);
      return true;
    case vk::oem_period:
      increment_index(s, s.rol2);
      return true;
    case vk::oem_comma:
      increment_index(s, s.rol1);
      return true;
    case 'L':            // string art off, or on with new random offsets
    case vk::oem_minus:  // always new offsets
      if (s.string_art && code == 'L') {
        s.string_art = 0;
      } else {
        s.rot1 = next_random(s, 100);
        s.rot2 = next_random(s, 100);
        s.string_art = 1;
      }
      return true;
    case 'H':
      s.trail ^= 1;
      return true;
    case vk::space:
    case vk::return_key:
    case vk::back:
      s.trail = 0;
      s.axis_mask = 0;
      return true;
    case '0':
    case vk::numpad0:  // with Num Lock on; off, the key is Insert
    case 'O':
      s.angle_x = step_reset;
      s.angle_y = step_reset;
      s.angle_z = step_reset;
      s.angle_step = step_reset;
      return true;
    case 'T':
      s.auto_mode ^= 1;
      return true;
    case 'R':
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

FrameRequest on_button_down(const InputTarget& input, std::uint32_t wparam, std::uint32_t lparam) {
  set_anchor(input.scene, lparam_x(lparam), lparam_y(lparam));
  return key_dispatch(input, wparam);
}

FrameRequest on_mouse_move(const InputTarget& input, std::uint32_t wparam, std::uint32_t lparam) {
  SceneState& s = input.scene;
  const std::uint16_t x = lparam_x(lparam);
  const std::uint16_t y = lparam_y(lparam);
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
    return key_dispatch(input, wparam);
  }
  if (!(wparam & (mk::lbutton | mk::mbutton))) return FrameRequest::none;

  // Rotation: one step each time the pointer leaves the dead-zone box.
  s.axis_mask = 0;
  if (x < s.box_left) {
    s.angle_step = s.step_backward;
    s.axis_mask |= axis::y;
  } else if (x > s.box_right) {
    s.angle_step = s.step_forward;
    s.axis_mask |= axis::y;
  } else if (y > s.box_lower) {
    s.angle_step = s.step_forward;
    s.axis_mask |= axis::x;
  } else if (y < s.box_upper) {
    s.angle_step = s.step_backward;
    s.axis_mask |= axis::x;
  }
  // The middle button turns about Z instead.
  if ((wparam & mk::mbutton) && (s.axis_mask & (axis::x | axis::y))) s.axis_mask = axis::z;
  if (s.axis_mask) set_anchor(s, x, y);
  return key_dispatch(input, wparam);
}

FrameRequest on_timer(const InputTarget& input, std::uint32_t wparam) {
  SceneState& s = input.scene;
  if (!s.auto_mode) return FrameRequest::none;
  const std::uint32_t t = input.platform.get_tick_count();
  s.axis_mask = s.random_mode ? axis::random_mode : 0;
  const TimerValues r = input.timer_noise.next();
  if (input.timer_reading != nullptr) *input.timer_reading = TimerReading{t, r};
  const auto p = static_cast<std::uint16_t>(static_cast<std::uint32_t>(r.b) * r.c);
  if (t & 0x1F40u) {
    const std::uint32_t v = (p ^ r.s) & 0x03F2u;
    if (v & 0x000Au) s.angle_step = s.step_backward;
    if (v & 0x03E8u) s.angle_step = s.step_forward;
  }
  const std::uint32_t w = p ^ 0xFFFFu;
  if (w & 0x0006u) s.rol2 = next_random(s, 63);
  return key_dispatch(input, wparam);
}

}  // namespace
}  // namespace fpu
