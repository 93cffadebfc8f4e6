// Frame painting on the software back buffer. Run with
//   bench_paint --benchmark_repetitions=7 --benchmark_report_aggregates_only=true
// and compare each median with the floor (BM_Floor): clearing the back buffer and copying it
// to the window, the least a displayed frame costs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <limits>
#include <memory>

#include "app/window.h"
#include "backends/soft/soft_platform.h"
#include "render/paint.h"
#include "scene/rings.h"

namespace fpu {
namespace {

class NullSink : public TraceSink {
 public:
  std::intptr_t send_trace_line(const char*) override { return 0; }
};

struct Setup {
  Setup() { start_program(program, 1); }
  void clear() {
    platform.fill_rect(program.draw.back_buffer, program.scene.draw_rect, program.draw.background);
  }
  SoftPlatform platform{view_width, view_height};
  NullSink sink;
  Program program{platform, sink};
};

// paint_frame alone: begin_paint, drawing, the copy to the window, end_paint. Clearing is
// the frame tail's job; without it frames pile up in the buffer at the same cost.
void run_frames(benchmark::State& state, Setup& s) {
  s.clear();
  for (auto _ : state) {
    paint_frame(s.program.frame(), 1);
    s.program.scene.angle_y += 0.01f;  // a slightly different picture each time
  }
  benchmark::DoNotOptimize(s.platform.window_surface().pixels.data());
}

// The clear alternates between two colours: a fill in the colour the buffer already has
// skips the rows that hold nothing else, and the floor is the clear of every pixel.
void BM_Floor(benchmark::State& state) {
  Setup s;
  const Handle brushes[] = {s.program.draw.background, s.platform.create_solid_brush(color::white)};
  std::size_t n = 0;
  for (auto _ : state) {
    s.platform.fill_rect(s.program.draw.back_buffer, s.program.scene.draw_rect, brushes[++n % 2]);
    s.platform.bit_blt(s.platform.window_dc(), 0, 0, view_width, view_height,
                       s.program.draw.back_buffer, 0, 0);
  }
  benchmark::DoNotOptimize(s.platform.window_surface().pixels.data());
}
BENCHMARK(BM_Floor);

void BM_DotFrame(benchmark::State& state) {
  Setup s;
  run_frames(state, s);
}
BENCHMARK(BM_DotFrame);

void BM_DotFrameWithAxes(benchmark::State& state) {
  Setup s;
  s.program.scene.axes_flag = 1;
  run_frames(state, s);
}
BENCHMARK(BM_DotFrameWithAxes);

// String art and axes at these ring offsets.
void run_string_art_frames(benchmark::State& state, std::uint32_t rot1, std::uint32_t rot2) {
  Setup s;
  s.program.scene.string_art = 1;
  s.program.scene.axes_flag = 1;
  s.program.scene.rot1 = rot1;
  s.program.scene.rot2 = rot2;
  run_frames(state, s);
}

void BM_StringArtFrameWithAxes(benchmark::State& state) {
  run_string_art_frames(state, 5, 23);
}
BENCHMARK(BM_StringArtFrameWithAxes);

// Rotations whose index pairs do not come back within a frame: all 1,399 segments differ,
// none is another drawn the other way (the median setting has 384 distinct segments).
void BM_StringArtFrameNoRepeats(benchmark::State& state) {
  run_string_art_frames(state, 62, 13);
}
BENCHMARK(BM_StringArtFrameNoRepeats);

// Ring A pulled about 2^31 away by rebuilds with full_ring off: most segments cross the
// picture from far outside.
void BM_FarRingStringArtFrame(benchmark::State& state) {
  Setup s;
  SceneState& scene = s.program.scene;
  scene.full_ring = 0;
  scene.axis_mask = 2;  // ring A is pulled again by every rebuild
  for (int i = 0; i < 4; ++i) rebuild_rings(scene);
  scene.axis_mask = 7;
  scene.string_art = 1;
  scene.axes_flag = 1;
  scene.rot1 = 5;
  scene.rot2 = 23;
  run_frames(state, s);
}
BENCHMARK(BM_FarRingStringArtFrame);

void BM_FullRangeLine(benchmark::State& state) {
  Setup s;
  const Handle dc = s.program.draw.back_buffer;
  constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t hi = std::numeric_limits<std::int32_t>::max();
  for (auto _ : state) {
    s.platform.move_to(dc, lo, lo + 7);
    s.platform.line_to(dc, hi, hi - 11);
  }
  benchmark::DoNotOptimize(s.platform.window_surface().pixels.data());
}
BENCHMARK(BM_FullRangeLine);

}  // namespace
}  // namespace fpu

BENCHMARK_MAIN();
