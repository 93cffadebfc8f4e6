// Cost on the user-interface thread of a string-art frame with tracing on (1,400 lines)
// delivered to a live headless viewer, against the same number of request-and-reply round
// trips over the same kind of socket to the same viewer.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/harness/viewer_harness.h"
#include "trace/trace.h"
#include "trace/unix/viewer_endpoint.h"
#include "trace/unix/viewer_trace_sink.h"

namespace {

constexpr int kFrameLines = 1400;

struct LiveViewer {
  LiveViewer() {
    fpu::testing::prepare_process();
    fpu::testing::start_headless_viewer(dir.path());
  }
  ~LiveViewer() { fpu::testing::stop_viewer(dir.path()); }
  fpu::testing::PrivateDir dir;
};

LiveViewer& live_viewer() {
  static LiveViewer viewer;
  return viewer;
}

// What the user-interface thread pays for a frame, the viewer having caught up with the
// previous one (frames come 50 ms apart).
void BM_FrameOfLinesToViewer(benchmark::State& state) {
  fpu::UnixViewerTraceSink sink("", live_viewer().dir.path());
  sink.send_trace_line("connect");
  for (auto _ : state) {
    for (int i = 0; i < kFrameLines; ++i) fpu::emit_trace(sink, fpu::TraceLabel::rol1, i);
    state.PauseTiming();
    if (!sink.wait_until_read(std::chrono::seconds(5))) state.SkipWithError("viewer lost");
    state.ResumeTiming();
  }
  state.counters["dropped"] = static_cast<double>(sink.dropped_lines());
}
BENCHMARK(BM_FrameOfLinesToViewer)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9);

// The same frame until the viewer has appended its last line.
void BM_FrameOfLinesToViewerEndToEnd(benchmark::State& state) {
  fpu::UnixViewerTraceSink sink("", live_viewer().dir.path());
  sink.send_trace_line("connect");
  for (auto _ : state) {
    for (int i = 0; i < kFrameLines; ++i) fpu::emit_trace(sink, fpu::TraceLabel::rol1, i);
    if (!sink.wait_until_read(std::chrono::seconds(5))) state.SkipWithError("viewer lost");
  }
  state.counters["dropped"] = static_cast<double>(sink.dropped_lines());
}
BENCHMARK(BM_FrameOfLinesToViewerEndToEnd)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(9);

// Baseline: one request and its reply per line, over the same kind of socket.
void BM_FrameOfRoundTrips(benchmark::State& state) {
  const int fd = fpu::testing::connect_viewer(live_viewer().dir.path());
  if (fd < 0) {
    state.SkipWithError("no viewer");
    return;
  }
  const char ping = fpu::viewer::kTagPing;
  char reply[16];
  for (auto _ : state) {
    for (int i = 0; i < kFrameLines; ++i) {
      if (::send(fd, &ping, 1, MSG_NOSIGNAL) != 1 || ::recv(fd, reply, sizeof reply, 0) != 1) {
        state.SkipWithError("round trip failed");
        break;
      }
    }
  }
  ::close(fd);
}
BENCHMARK(BM_FrameOfRoundTrips)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9);

// A line while no viewer runs and no viewer program exists: the start attempt is a stat.
void BM_LineWithoutViewerProgram(benchmark::State& state) {
  fpu::testing::PrivateDir empty;
  fpu::UnixViewerTraceSink sink(empty.path(), empty.path());
  for (auto _ : state) benchmark::DoNotOptimize(sink.send_trace_line("rol1 = 1"));
}
BENCHMARK(BM_LineWithoutViewerProgram)->Unit(benchmark::kMicrosecond)->Repetitions(9);

// A frame while the viewer is stopped (SIGSTOP) with its socket buffer full: once the sink
// knows the viewer is stuck, little more than the failed sends.
void BM_FrameOfLinesToStoppedViewer(benchmark::State& state) {
  fpu::testing::PrivateDir dir;
  const pid_t pid = fpu::testing::start_headless_viewer(dir.path());
  fpu::UnixViewerTraceSink sink("", dir.path());
  sink.send_trace_line("connect");
  ::kill(pid, SIGSTOP);
  for (int frame = 0; frame < 100 && sink.dropped_lines() == 0; ++frame) {
    for (int i = 0; i < kFrameLines; ++i) fpu::emit_trace(sink, fpu::TraceLabel::rol1, i);
  }
  for (auto _ : state) {
    for (int i = 0; i < kFrameLines; ++i) fpu::emit_trace(sink, fpu::TraceLabel::rol1, i);
  }
  ::kill(pid, SIGCONT);
  fpu::testing::stop_viewer(dir.path());
}
BENCHMARK(BM_FrameOfLinesToStoppedViewer)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
