#include "scene/fp_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "scene/projection.h"
#include "scene/rings.h"

namespace fpu {
namespace {

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__)) && defined(__SSE__)

std::uint16_t x87_control() {
  std::uint16_t cw;
  __asm__ volatile("fnstcw %0" : "=m"(cw) : : "memory");
  return cw;
}
void set_x87_control(std::uint16_t cw) {
  __asm__ volatile("fldcw %0" : : "m"(cw) : "memory");
}
std::uint32_t mxcsr() {
  std::uint32_t v;
  __asm__ volatile("stmxcsr %0" : "=m"(v) : : "memory");
  return v;
}
void set_mxcsr(std::uint32_t v) {
  __asm__ volatile("ldmxcsr %0" : : "m"(v) : "memory");
}

struct Angles {
  float x, y, z;
};

// Small to large angles, computed once under the default settings.
std::vector<Angles> angle_spread() {
  std::vector<Angles> out;
  for (float step = 0.0f; step < 2.0f; step += 0.08727f) out.push_back({step, 2 * step, 1 - step});
  return out;
}

// Every screen position and ring coordinate the scene computes over a spread of radii,
// full-ring pulls and angles.
std::vector<std::int32_t> scene_results(const std::vector<Angles>& angles) {
  std::vector<std::int32_t> out;
  SceneState s;
  build_initial_rings(s);
  for (std::int32_t radius : {240, 239, 97, 461}) {
    s.radius = radius;
    s.axis_mask = 3;
    s.full_ring ^= 1;
    rebuild_rings(s);
    for (const Angles& a : angles) {
      s.angle_x = a.x;
      s.angle_y = a.y;
      s.angle_z = a.z;
      for (const auto* ring : {s.ring_a.data(), s.ring_b.data(), s.ring_c.data()}) {
        for (int i = 0; i < ring_point_count; ++i) {
          project_point(s, ring[i]);
          out.insert(out.end(), {ring[i].x, ring[i].y, s.screen_x, s.screen_y});
        }
      }
    }
  }
  return out;
}

std::size_t count_differing(const std::vector<std::int32_t>& a,
                            const std::vector<std::int32_t>& b) {
  std::size_t n = a.size() == b.size() ? 0 : 1;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
  return n;
}

struct ForeignSettings {
  const char* name;
  std::uint16_t x87;    // control word the process runs with
  std::uint32_t mxcsr;  // SSE control and status
};

TEST(FloatSettings, SceneResultsDoNotDependOnTheStartingSettings) {
  const ForeignSettings cases[] = {
      {"x87 at 53-bit precision (a Windows start)", 0x027F, 0x1F80},
      {"x87 at 24-bit precision", 0x007F, 0x1F80},
      {"x87 rounding down", 0x077F, 0x1F80},
      {"x87 rounding up", 0x0B7F, 0x1F80},
      {"x87 rounding toward zero, 53-bit", 0x0E7F, 0x1F80},
      {"SSE rounding down", 0x037F, 0x3F80},
      {"SSE rounding toward zero, flush to zero, denormals are zero", 0x037F, 0xFFC0},
  };
  const std::uint16_t default_x87 = x87_control();
  const std::uint32_t default_mxcsr = mxcsr();
  const std::vector<Angles> angles = angle_spread();
  const std::vector<std::int32_t> expected = scene_results(angles);
  for (const auto& c : cases) {
    set_x87_control(c.x87);
    set_mxcsr(c.mxcsr);
    const std::vector<std::int32_t> got = scene_results(angles);
    const std::uint16_t x87_after = x87_control();
    const std::uint32_t mxcsr_after = mxcsr();
    set_x87_control(default_x87);
    set_mxcsr(default_mxcsr);
    EXPECT_EQ(count_differing(got, expected), 0u) << c.name;
    // The caller's settings are given back.
    EXPECT_EQ(x87_after, c.x87) << c.name;
    EXPECT_EQ(mxcsr_after & 0xFFC0, c.mxcsr & 0xFFC0) << c.name;
  }
}

#endif

}  // namespace
}  // namespace fpu
