// fpu-viewer-sink-test.exe: checks the Windows trace delivery against a viewer window
// made by this process (run under Wine by tests/wine). The viewer lives on the main
// thread, so the main thread pumps messages while it waits for the sink's worker.
#include "trace/win32/viewer_sink.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

void pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

// Pumps messages until the sink has handled every queued line.
bool settle(const fpu::Win32ViewerTraceSink& sink) {
  const DWORD start = GetTickCount();
  while (!sink.wait_idle(0)) {
    if (GetTickCount() - start > 20000) return false;
    pump();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

LRESULT CALLBACK viewer_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

// Insertions the test viewer's edit control received.
int insertions = 0;
WNDPROC edit_proc = nullptr;

LRESULT CALLBACK counting_edit_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == EM_REPLACESEL) ++insertions;
  return CallWindowProcA(edit_proc, hwnd, message, wparam, lparam);
}

struct Viewer {
  HWND window = nullptr;
  HWND edit = nullptr;
  Viewer() {
    window = CreateWindowExA(0, fpu::viewer_window_class, "test viewer", WS_OVERLAPPEDWINDOW, 0, 0,
                             300, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    edit = CreateWindowExA(0, "Edit", "", WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, 0,
                           0, 300, 300, window, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
    edit_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(counting_edit_proc)));
    insertions = 0;
  }
  ~Viewer() { DestroyWindow(window); }
  std::string text() const {
    std::string t(static_cast<std::size_t>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    t.resize(static_cast<std::size_t>(
        SendMessageA(edit, WM_GETTEXT, t.size(), reinterpret_cast<LPARAM>(t.data()))));
    return t;
  }
  void clear() const { SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("")); }
};

std::string joined(const char* prefix, int first, int count) {
  std::string out;
  for (int i = first; i < first + count; ++i) {
    if (!out.empty()) out += "\r\n";
    out += prefix + std::to_string(i);
  }
  return out;
}

fpu::ViewerSinkOptions options(std::size_t capacity, std::uint32_t timeout_ms) {
  fpu::ViewerSinkOptions o;
  o.viewer_path = "C:\\no such folder\\fpu-trace-viewer.exe";
  o.capacity = capacity;
  o.send_timeout_ms = timeout_ms;
  return o;
}

void lines_arrive_in_order() {
  Viewer viewer;
  fpu::Win32ViewerTraceSink sink(options(4096, 5000));
  for (int i = 0; i < 300; ++i) sink.send_trace_line(("a" + std::to_string(i)).c_str());
  check(settle(sink), "300 lines are handled");
  check(viewer.text() == joined("a", 0, 300),
        "lines appear in order, CR LF between them and none before the first");
  check(sink.stats().delivered == 300, "every line counts as delivered");

  // A click into the viewer moves the caret to the start; lines must still append.
  SendMessageA(viewer.edit, EM_SETSEL, 0, 0);
  sink.send_trace_line("after click");
  check(settle(sink), "the line after the click is handled");
  check(viewer.text() == joined("a", 0, 300) + "\r\nafter click",
        "a line sent after the caret moved to the start is appended at the end");
}

void full_queue_drops_instead_of_blocking() {
  Viewer viewer;
  const std::size_t capacity = 16;
  fpu::Win32ViewerTraceSink sink(options(capacity, 10000));
  // The viewer cannot answer while this thread sends, so the queue fills up.
  std::intptr_t accepted = 0;
  for (int i = 0; i < 1000; ++i)
    accepted += sink.send_trace_line(("b" + std::to_string(i)).c_str());
  fpu::ViewerSinkStats s = sink.stats();
  check(s.queued + s.dropped == 1000, "every line is either queued or counted as dropped");
  check(s.queued <= capacity + 1 && s.queued >= capacity,
        "no more than the bound (plus the line in hand) is accepted");
  check(static_cast<std::uint64_t>(accepted) == s.queued,
        "send_trace_line returns 1 exactly when queued");
  check(settle(sink), "the queued lines are handled once the viewer answers");
  check(viewer.text() == joined("b", 0, static_cast<int>(s.queued)),
        "the accepted lines arrive, the first ones and in order");
}

void unanswered_messages_time_out() {
  Viewer viewer;
  fpu::Win32ViewerTraceSink sink(options(64, 100));
  for (int i = 0; i < 3; ++i) sink.send_trace_line("never shown");
  // Not pumping here, so the viewer does not answer.
  for (int waited = 0; waited < 5000 && sink.stats().failed < 3; waited += 50) Sleep(50);
  check(sink.stats().failed == 3 && sink.stats().delivered == 0,
        "each line gives up after the time-out");
  pump();
  check(viewer.text().empty(), "a line that timed out leaves nothing half-inserted");
}

void no_viewer_drops_the_line() {
  fpu::Win32ViewerTraceSink sink(options(64, 100));
  sink.send_trace_line("nobody listens");
  settle(sink);  // one line at a time: a start attempt goes with each delivery
  sink.send_trace_line("still nobody");
  check(settle(sink), "lines without a viewer are handled");
  fpu::ViewerSinkStats s = sink.stats();
  check(s.no_viewer == 2 && s.start_attempts == 2,
        "each line tries to start the viewer once and is dropped");
}

void traced_frame_arrives_complete_in_few_insertions() {
  Viewer viewer;
  fpu::Win32ViewerTraceSink sink(options(4096, 5000));
  for (int i = 0; i < 1400; ++i) sink.send_trace_line(("rol1 = " + std::to_string(i)).c_str());
  check(settle(sink), "a 1,400-line frame is handled");
  check(viewer.text() == joined("rol1 = ", 0, 1400), "all 1,400 lines arrive, in order");
  check(sink.stats().delivered == 1400 && sink.stats().dropped == 0,
        "every line of the frame counts as delivered");
  check(insertions <= 20, ("waiting lines go in together (" + std::to_string(insertions) +
                           " insertions for 1,400 lines)")
                              .c_str());
}

// Empty lines leave the text as one insertion per line would: an empty line into an empty
// control adds nothing, later ones add a line break.
void empty_lines_as_one_insertion_per_line() {
  Viewer viewer;
  viewer.clear();
  fpu::Win32ViewerTraceSink sink(options(64, 5000));
  for (const char* line : {"", "", "a", "", "b"}) sink.send_trace_line(line);
  check(settle(sink), "lines with empty ones are handled");
  check(viewer.text() == "a\r\n\r\nb", "empty lines give the text single insertions give");
}

void dropped_lines_are_told_before_the_next_line() {
  Viewer viewer;
  const std::size_t capacity = 16;
  fpu::Win32ViewerTraceSink sink(options(capacity, 10000));
  // The viewer does not answer while this thread sends, so the queue overflows.
  for (int i = 0; i < 1000; ++i) sink.send_trace_line(("c" + std::to_string(i)).c_str());
  check(settle(sink), "the accepted lines are handled");
  const fpu::ViewerSinkStats s = sink.stats();
  sink.send_trace_line("next");
  check(settle(sink), "the line after the drops is handled");
  const std::string expected = joined("c", 0, static_cast<int>(s.queued)) + "\r\n[" +
                               std::to_string(s.dropped) + " trace lines dropped]\r\nnext";
  check(s.dropped > 0 && viewer.text() == expected,
        "[N trace lines dropped] comes just before the next line");

  // Lines lost to a viewer that did not answer are told too.
  viewer.clear();
  fpu::Win32ViewerTraceSink impatient(options(64, 100));
  for (int i = 0; i < 3; ++i) impatient.send_trace_line("lost");
  for (int waited = 0; waited < 5000 && impatient.stats().failed < 3; waited += 50) Sleep(50);
  pump();
  impatient.send_trace_line("answered");
  check(settle(impatient), "the line after the time-outs is handled");
  check(viewer.text() == "[3 trace lines dropped]\r\nanswered",
        "lines that timed out are counted in the notice");

  // Without a next line, a viewer that answers again is told within a second or so.
  viewer.clear();
  for (int i = 0; i < 2; ++i) impatient.send_trace_line("lost again");
  for (int waited = 0; waited < 5000 && impatient.stats().failed < 5; waited += 50) Sleep(50);
  const DWORD start = GetTickCount();
  while (viewer.text().empty() && GetTickCount() - start < 3000) {
    pump();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  check(viewer.text() == "[2 trace lines dropped]",
        "lines lost are told once the viewer answers, without a next line");
}

}  // namespace

int main() {
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = viewer_proc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = fpu::viewer_window_class;
  RegisterClassExA(&window_class);

  lines_arrive_in_order();
  full_queue_drops_instead_of_blocking();
  unanswered_messages_time_out();
  no_viewer_drops_the_line();
  traced_frame_arrives_complete_in_few_insertions();
  empty_lines_as_one_insertion_per_line();
  dropped_lines_are_told_before_the_next_line();
  std::printf("%s\n", failures ? "FAILED" : "PASSED");
  return failures ? 1 : 0;
}
