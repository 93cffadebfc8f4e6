// Cost of projecting one point and of one ring rebuild, against a plain float multiply-add
// loop measured in the same run. Compare medians:
//   bench_scene --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "scene/projection.h"
#include "scene/rings.h"

namespace fpu {
namespace {

// The 126 dot-mode points of rings A and B.
std::array<Point, 2 * ring_point_count> ring_points() {
  SceneState s;
  build_initial_rings(s);
  std::array<Point, 2 * ring_point_count> points{};
  for (int i = 0; i < ring_point_count; ++i) {
    points[i] = s.ring_a[i];
    points[ring_point_count + i] = s.ring_b[i];
  }
  return points;
}

// Baseline: a float 3x3 rotation with a precomputed matrix, per point.
void BM_BaselineFloatMultiplyAdd(benchmark::State& state) {
  const auto points = ring_points();
  float m[9] = {0.9f, 0.1f, 0.2f, -0.1f, 0.95f, 0.3f, 0.2f, -0.3f, 0.9f};
  benchmark::DoNotOptimize(m);
  for (auto _ : state) {
    for (const Point& p : points) {
      const float x = static_cast<float>(p.x), y = static_cast<float>(p.y),
                  z = static_cast<float>(p.z);
      float sx = m[0] * x + m[1] * y + m[2] * z;
      float sy = m[3] * x + m[4] * y + m[5] * z;
      benchmark::DoNotOptimize(sx);
      benchmark::DoNotOptimize(sy);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
}
BENCHMARK(BM_BaselineFloatMultiplyAdd);

void BM_ProjectPoint(benchmark::State& state) {
  const auto points = ring_points();
  SceneState s;
  for (auto _ : state) {
    for (const Point& p : points) {
      project_point(s, p);
      benchmark::DoNotOptimize(s.screen_x);
      benchmark::DoNotOptimize(s.screen_y);
    }
    s.angle_x += s.angle_step;  // a new frame turns the scene
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
}
BENCHMARK(BM_ProjectPoint);

// Worst case for the kept sines and cosines: every point sees new angles.
void BM_ProjectPointNewAnglesEachPoint(benchmark::State& state) {
  const auto points = ring_points();
  SceneState s;
  for (auto _ : state) {
    for (const Point& p : points) {
      s.angle_x += s.angle_step;
      s.angle_y += s.angle_step;
      s.angle_z += s.angle_step;
      project_point(s, p);
      benchmark::DoNotOptimize(s.screen_x);
      benchmark::DoNotOptimize(s.screen_y);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
}
BENCHMARK(BM_ProjectPointNewAnglesEachPoint);

void BM_RebuildRings(benchmark::State& state) {
  SceneState s;
  build_initial_rings(s);
  s.radius = 240;
  s.axis_mask = 7;
  for (auto _ : state) {
    rebuild_rings(s);
    benchmark::DoNotOptimize(s.ring_c);
  }
}
BENCHMARK(BM_RebuildRings);

}  // namespace
}  // namespace fpu

BENCHMARK_MAIN();
