#include "scene/projection.h"

#include <cmath>
#include <cstdint>

#include "scene/fpmath.h"

namespace fpu {
namespace {

struct Rotation {
  long double cos;
  long double sin;
};

Rotation rotation_of(float angle) {
  const long double a = angle;
  return {std::cos(a), std::sin(a)};
}

// Plane rotation of (u, v) whose result is rounded to float per coordinate, as stored
// between the three turns: u' = cos*u - sin*v, v' = cos*v + sin*u.
void turn(const Rotation& r, float& u, float& v) {
  const long double lu = u;
  const long double lv = v;
  const float nu = round_to_float(r.cos * lu - r.sin * lv);
  const float nv = round_to_float(r.cos * lv + r.sin * lu);
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
  float x = static_cast<float>(point.x);
  float y = static_cast<float>(point.y);
  float z = static_cast<float>(point.z);
  turn(rotation_of(scene.angle_x), y, z);  // about X
  turn(rotation_of(scene.angle_y), x, z);  // about Y, same form: x' = cos*x - sin*z
  turn(rotation_of(scene.angle_z), x, y);  // about Z; z is dropped (orthographic)
  scene.screen_x = to_screen(x, scene.centre_x);
  scene.screen_y = to_screen(y, scene.centre_y);
}

}  // namespace fpu
