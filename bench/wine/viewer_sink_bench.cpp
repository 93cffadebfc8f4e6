// fpu-viewer-sink-bench.exe: what a trace line costs the user-interface thread, delivered
// synchronously (the viewer protocol run on the calling thread, one insertion per line: the
// baseline) and through the sink's queue, with the real fpu-trace-viewer.exe from beside
// this program; how fast the sink's worker fills the visible viewer; and whether 10 s of
// traced string-art animation (1,400 lines every 50 ms) arrive with nothing dropped.
// Run under Wine by tests/wine/bench/trace-delivery.sh. Figures are medians of 5 runs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "trace/win32/viewer_sink.h"

namespace {

constexpr int runs = 5;
constexpr int sync_lines = 40;     // synchronous delivery is slow: a few dozen lines suffice
constexpr int frame_lines = 1400;  // what one traced string-art frame sends
constexpr int frame_interval_ms = 50;
constexpr int animation_frames = 200;  // 10 s

double now_us() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

HWND viewer_edit() {
  HWND viewer = FindWindowA(fpu::viewer_window_class, nullptr);
  return viewer ? FindWindowExA(viewer, nullptr, "Edit", nullptr) : nullptr;
}

// The protocol as a synchronous sender runs it: look-ups and messages on this thread.
void send_synchronously(const char* text) {
  HWND viewer = FindWindowA(fpu::viewer_window_class, nullptr);
  HWND edit = FindWindowExA(viewer, nullptr, "Edit", nullptr);
  LRESULT length = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
  SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
  if (length != 0) SendMessageA(edit, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("\r\n"));
  SendMessageA(edit, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
  SendMessageA(edit, EM_SCROLLCARET, 0, 0);
}

void clear_viewer() {
  SendMessageA(viewer_edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
}

}  // namespace

int main() {
  const std::string viewer = fpu::default_viewer_path();
  if (!FindWindowA(fpu::viewer_window_class, nullptr)) WinExec(viewer.c_str(), SW_SHOWNORMAL);
  for (int i = 0; i < 100 && !viewer_edit(); ++i) Sleep(50);
  if (!viewer_edit()) {
    std::fprintf(stderr, "no viewer window (is %s there?)\n", viewer.c_str());
    return 1;
  }

  std::vector<double> sync_us;
  for (int run = 0; run < runs; ++run) {
    clear_viewer();
    double start = now_us();
    for (int i = 0; i < sync_lines; ++i) send_synchronously("xopc = 62, ---- Z");
    sync_us.push_back((now_us() - start) / sync_lines);
  }

  std::vector<double> queued_us;
  std::vector<double> delivered_per_s;
  for (int run = 0; run < runs; ++run) {
    clear_viewer();
    fpu::ViewerSinkOptions options;
    options.drain_ms = 0;  // what is left after the measurement is not delivered
    fpu::Win32ViewerTraceSink sink(options);
    double start = now_us();
    for (int i = 0; i < frame_lines; ++i) sink.send_trace_line("xopc = 62, ---- Z");
    queued_us.push_back((now_us() - start) / frame_lines);
    sink.wait_idle(60000);
    delivered_per_s.push_back(static_cast<double>(sink.stats().delivered) /
                              ((now_us() - start) / 1e6));
  }

  // The animation: a traced frame every 50 ms for 10 s, the viewer visible throughout.
  clear_viewer();
  fpu::ViewerSinkStats animation;
  double animation_s = 0;
  {
    fpu::Win32ViewerTraceSink sink;
    const double start = now_us();
    for (int frame = 0; frame < animation_frames; ++frame) {
      for (int i = 0; i < frame_lines; ++i) {
        sink.send_trace_line(i % 2 ? "rol2 = 123" : "rol1 = 45");
      }
      const double next = start + (frame + 1) * frame_interval_ms * 1000.0;
      const double left_ms = (next - now_us()) / 1000;
      if (left_ms > 0) Sleep(static_cast<DWORD>(left_ms));
    }
    sink.wait_idle(60000);
    animation_s = (now_us() - start) / 1e6;
    animation = sink.stats();
  }
  const LRESULT viewer_length = SendMessageA(viewer_edit(), WM_GETTEXTLENGTH, 0, 0);

  const double sync = median(sync_us);
  const double queued = median(queued_us);
  std::printf("UI thread per line, synchronous delivery (baseline): median %.1f us\n", sync);
  std::printf("UI thread per line, queued delivery:                 median %.2f us\n", queued);
  std::printf("ratio baseline / queued: %.0fx\n", sync / queued);
  std::printf("a %d-line traced frame holds the UI thread: %.0f ms synchronous, %.2f ms queued\n",
              frame_lines, sync * frame_lines / 1000, queued * frame_lines / 1000);
  std::printf(
      "lines delivered to the visible viewer, one insertion per line (baseline): %.0f per second\n",
      1e6 / sync);
  std::printf("lines the worker delivers to the visible viewer: median %.0f per second (%.0fx)\n",
              median(delivered_per_s), median(delivered_per_s) * sync / 1e6);
  std::printf(
      "animation, %d frames of %d lines every %d ms: %llu queued, %llu delivered, %llu dropped, "
      "%llu failed, in %.1f s (%.0f lines per second); viewer text %ld characters\n",
      animation_frames, frame_lines, frame_interval_ms,
      static_cast<unsigned long long>(animation.queued),
      static_cast<unsigned long long>(animation.delivered),
      static_cast<unsigned long long>(animation.dropped),
      static_cast<unsigned long long>(animation.failed), animation_s,
      static_cast<double>(animation.delivered) / animation_s, static_cast<long>(viewer_length));
  return 0;
}
