#include "scene/rings.h"

#include <cmath>
#include <cstdint>

#include "scene/fp_settings.h"
#include "scene/fpmath.h"

namespace fpu {
namespace {

static_assert(ring_point_count <= ring_c_size && ring_point_count < ring_ab_size,
              "a walk must fit every ring, with room for the closing copy");

// Whole degrees of a generation angle; the walk stops at a full turn.
std::int32_t ring_degrees(const SceneState& scene) {
  // Product before division, as the walk has always done it.
  return round_to_int32(static_cast<long double>(scene.ring_angle) *
                        static_cast<long double>(half_turn_degrees) / pi_extended);
}

// Walks the generation angle from scene.ring_angle until it reaches 360 degrees, calling
// store(i, cx, sy) for each point. Never more than ring_point_count points, so an odd step
// (zero, negative, NaN) can neither hang nor write past entry 62.
template <class Store>
void walk_ring_angles(SceneState& scene, Store&& store) {
  const ScopedFloatSettings settings;
  const long double r = static_cast<long double>(scene.radius);
  for (int i = 0; i < ring_point_count; ++i) {
    const float a = scene.ring_angle;
    const std::int32_t cx = round_to_int32(r * std::cos(static_cast<long double>(a)));
    const std::int32_t sy = round_to_int32(r * std::sin(static_cast<long double>(a)));
    store(i, cx, sy);
    scene.ring_angle = round_to_float(static_cast<long double>(a) + scene.ring_angle_step);
    if (ring_degrees(scene) >= 360) break;
  }
}

// Wrapping arithmetic on stored coordinates, without signed overflow.
std::int32_t wrap_double(std::int32_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) * 2u);
}

// The full-ring pull: v minus the unsigned value of c shifted right by one, modulo 2^32.
std::int32_t pull(std::int32_t v, std::int32_t c) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) -
                                   (static_cast<std::uint32_t>(c) >> 1));
}

}  // namespace

void build_initial_rings(SceneState& scene) {
  walk_ring_angles(scene, [&scene](int i, std::int32_t cx, std::int32_t sy) {
    // Rounded first, then doubled: the initial rings have twice the radius.
    const std::int32_t x = wrap_double(cx);
    const std::int32_t y = wrap_double(sy);
    scene.ring_a[i] = Point{x, y, -200};
    scene.ring_b[i] = Point{x, y, 200};
  });
  scene.ring_a[63] = scene.ring_a[0];
  scene.ring_b[63] = scene.ring_b[0];
}

void rebuild_rings(SceneState& scene) {
  const bool ring_a_selected = (scene.axis_mask & rebuild::ring_a) != 0;
  const bool ring_b_selected = (scene.axis_mask & rebuild::ring_b) != 0;
  const bool reset_z = (scene.axis_mask & rebuild::reset_z) != 0;
  scene.ring_angle = 0.0f;
  walk_ring_angles(scene, [&](int i, std::int32_t cx, std::int32_t sy) {
    Point& a = scene.ring_a[i];
    Point& b = scene.ring_b[i];
    if (ring_a_selected) {
      a.x = cx;
      a.y = sy;
    }
    if (ring_b_selected) {
      b.x = cx;
      b.y = sy;
    }
    scene.ring_c[i] = Point{cx, sy, 250};
    // With full_ring off ring A is pulled whether or not it was just rebuilt, so repeated
    // rebuilds keep pulling it.
    if (scene.full_ring == 0) {
      a.x = pull(a.x, cx);
      a.y = pull(a.y, sy);
    }
    if (reset_z) {
      a.z = -200;
      b.z = 200;
    }
  });
  if (ring_a_selected) scene.ring_a[63] = scene.ring_a[0];
  if (ring_b_selected) scene.ring_b[63] = scene.ring_b[0];
}

}  // namespace fpu
