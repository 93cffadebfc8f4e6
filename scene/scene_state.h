// The one record of the whole scene, view and mode state, with its defaults.
//
// Every procedure of the program reads and writes these fields directly; the
// record is passed explicitly so that each test can start from a fresh one.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "platform/types.h"  // Rect

namespace fpu {

// A stored scene point, in scene units.
struct Point {
  std::int32_t x;
  std::int32_t y;
  std::int32_t z;
  friend bool operator==(const Point&, const Point&) = default;
};

// A 16-bit mode flag: on when non-zero, toggled by exclusive-or with 1.
using Flag = std::uint16_t;

inline constexpr int ring_ab_size = 70;  // entries 0..62 generated, 63 closing copy, 64..69 spare
inline constexpr int ring_c_size = 63;
inline constexpr int ring_point_count = 63;  // points one angle walk produces with the default step

// The picture: the back buffer, and the window's client area it is copied to.
inline constexpr std::int32_t view_width = 700;
inline constexpr std::int32_t view_height = 654;
inline constexpr std::int32_t view_centre_x = view_width / 2;   // 350
inline constexpr std::int32_t view_centre_y = view_height / 2;  // 327

// Values of `axis_mask`: which angles the frame tail steps. Ring rebuilding reads the same
// bits as "ring A", "ring B" and "reset z" (see rebuild_rings).
namespace axis {
inline constexpr std::uint16_t x = 1;
inline constexpr std::uint16_t y = 2;
inline constexpr std::uint16_t z = 4;
inline constexpr std::uint16_t all = x | y | z;
// Random mode sets every bit, so every angle steps.
inline constexpr std::uint16_t random_mode = 0xFFFF;
}  // namespace axis

// String-art indices run modulo this.
inline constexpr std::uint32_t index_modulus = 64;
// What 0, O and numeric-pad 0 set every angle and the step to.
inline constexpr float step_reset = 0.0f;
inline constexpr float half_turn_degrees = 180.0f;

// The float constants are given by their exact bit patterns.
inline constexpr float step_forward_value = std::bit_cast<float>(0x3DB2BA9Du);        // +0.08727
inline constexpr float step_backward_value = std::bit_cast<float>(0xBDB2BA9Du);       // -0.08727
inline constexpr float degrees_per_radian_value = std::bit_cast<float>(0x42652EE1u);  // 57.29578
inline constexpr float ring_angle_step_value = std::bit_cast<float>(0x3DCC2F83u);     // 0.0997

struct SceneState {
  // View and drawing.
  Rect draw_rect{0, 0, view_width, view_height};
  Rect counter_rect{0, 0, 40, 16};
  std::int32_t centre_x = view_centre_x;
  std::int32_t centre_y = view_centre_y;
  std::int32_t screen_x = 0;
  std::int32_t screen_y = 0;

  // Rotation.
  float angle_x = 0.2f;
  float angle_y = 0.2f;
  float angle_z = 1.0f;
  float angle_step = step_forward_value;
  float step_forward = step_forward_value;
  float step_backward = step_backward_value;
  std::uint16_t axis_mask = 0;
  float degrees_per_radian = degrees_per_radian_value;
  std::int16_t z_degrees = 0;

  // Rings and geometry.
  std::int32_t radius = 120;
  std::int32_t rayon1 = 240;
  std::int32_t rayon2 = 240;
  float ring_angle = 0.0f;
  float ring_angle_step = ring_angle_step_value;
  std::array<Point, ring_ab_size> ring_a{};
  std::array<Point, ring_ab_size> ring_b{};
  std::array<Point, ring_c_size> ring_c{};
  std::array<Point, 3> axis_template{{{100, 0, 0}, {0, 100, 0}, {0, 0, 100}}};
  std::array<Point, 3> axis_points{};

  // String-art indices, compared as unsigned.
  std::uint32_t rot1 = 0;
  std::uint32_t rot2 = 0;
  std::uint32_t rol1 = 0;
  std::uint32_t rol2 = 0;

  // Mode flags.
  Flag random_mode = 0;
  std::uint32_t trace_flag = 0;
  Flag axes_flag = 0;
  Flag auto_mode = 0;
  Flag full_ring = 1;
  Flag string_art = 0;
  Flag trail = 0;

  // Mouse dead-zone box.
  std::uint16_t anchor_x = 0;
  std::uint16_t anchor_y = 0;
  std::uint16_t box_left = 0;
  std::uint16_t box_upper = 0;
  std::uint16_t box_right = 0;
  std::uint16_t box_lower = 0;

  // Other.
  std::array<std::uint8_t, 8> counter_text{' ', 0, 0, 0, ' ', 0, 0, 0};
  std::uint32_t random_seed = 12345678;
};

// Sets the axis points equal to the axis template.
void copy_axis_template(SceneState& scene);

// Calls visit(name, field) for every field a state dump shows, in dump order.
template <class Visitor>
void visit_dump_fields(const SceneState& s, Visitor&& visit) {
  visit("centre_x", s.centre_x);
  visit("centre_y", s.centre_y);
  visit("screen_x", s.screen_x);
  visit("screen_y", s.screen_y);
  visit("angle_x", s.angle_x);
  visit("angle_y", s.angle_y);
  visit("angle_z", s.angle_z);
  visit("angle_step", s.angle_step);
  visit("axis_mask", s.axis_mask);
  visit("z_degrees", s.z_degrees);
  visit("radius", s.radius);
  visit("rayon1", s.rayon1);
  visit("rayon2", s.rayon2);
  visit("ring_angle", s.ring_angle);
  visit("ring_a", s.ring_a);
  visit("ring_b", s.ring_b);
  visit("ring_c", s.ring_c);
  visit("axis_points", s.axis_points);
  visit("rot1", s.rot1);
  visit("rot2", s.rot2);
  visit("rol1", s.rol1);
  visit("rol2", s.rol2);
  visit("random_mode", s.random_mode);
  visit("trace_flag", s.trace_flag);
  visit("axes_flag", s.axes_flag);
  visit("auto_mode", s.auto_mode);
  visit("full_ring", s.full_ring);
  visit("string_art", s.string_art);
  visit("trail", s.trail);
  visit("anchor_x", s.anchor_x);
  visit("anchor_y", s.anchor_y);
  visit("box_left", s.box_left);
  visit("box_upper", s.box_upper);
  visit("box_right", s.box_right);
  visit("box_lower", s.box_lower);
  visit("counter_text", s.counter_text);
  visit("random_seed", s.random_seed);
}

}  // namespace fpu
