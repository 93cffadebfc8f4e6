#include "scene/projection.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "scene/fp_settings.h"
#include "scene/fpmath.h"
#include "scene/wide_rotation.h"

namespace fpu {
namespace {

struct Rotation {
  RotationFactor cos;
  RotationFactor sin;
};

// Sine and cosine of the last angle seen on each axis. Painting projects a whole frame with
// the same three angles, so this saves the six extended-precision sin/cos evaluations per
// point; the key is the exact bit pattern, so results are the same as recomputing them.
struct RotationMemo {
  std::uint32_t key_bits = 0;
  Rotation rotation{rotation_factor(1.0L), rotation_factor(0.0L)};  // of +0.0
};
thread_local std::array<RotationMemo, 3> rotation_memo;

Rotation rotation_of(int axis, float angle) {
  RotationMemo& memo = rotation_memo[axis];
  const auto bits = std::bit_cast<std::uint32_t>(angle);
  if (bits != memo.key_bits) {
    const long double a = angle;
    memo.rotation = {rotation_factor(std::cos(a)), rotation_factor(std::sin(a))};
    memo.key_bits = bits;
  }
  return memo.rotation;
}

// Plane rotation of (u, v) whose result is rounded to float per coordinate, as stored
// between the three turns: u' = cos*u - sin*v, v' = cos*v + sin*u.
void turn(const Rotation& r, float& u, float& v) {
  const float nu = rotate_to_float(r.cos, -r.sin, u, v);
  const float nv = rotate_to_float(r.cos, r.sin, v, u);
  u = nu;
  v = nv;
}

// Screen coordinate: the rounded value plus the centre, wrapping modulo 2^32.
std::int32_t to_screen(float value, std::int32_t centre) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(round_to_int32(value)) +
                                   static_cast<std::uint32_t>(centre));
}

}  // namespace

void project_point(SceneState& scene, const Point& point) {
  const ScopedFloatSettings settings;
  float x = static_cast<float>(point.x);
  float y = static_cast<float>(point.y);
  float z = static_cast<float>(point.z);
  turn(rotation_of(0, scene.angle_x), y, z);  // about X
  turn(rotation_of(1, scene.angle_y), x, z);  // about Y, same form: x' = cos*x - sin*z
  turn(rotation_of(2, scene.angle_z), x, y);  // about Z; z is dropped (orthographic)
  scene.screen_x = to_screen(x, scene.centre_x);
  scene.screen_y = to_screen(y, scene.centre_y);
}

}  // namespace fpu
