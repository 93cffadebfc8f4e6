// fpu-sample.exe: the program on the real Windows API. Answers --help and --version and
// ignores every other argument. Stays DPI-unaware, so that Windows scales its 700 x 654
// picture on a high-resolution desktop.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/event_loop.h"
#include "app/program.h"
#include "app/window.h"
#include "app/info_options.h"
#include "app/window_frame.h"
#include "backends/win32/win32_platform.h"
#include "trace/win32/viewer_sink.h"

namespace {

// WM_CREATE arrives inside CreateWindowExA, before the call returns anything that could
// carry the program to the window procedure, so the procedure finds it here.
fpu::Program* running_program = nullptr;
// The program's window once created, for the trace sink's worker thread.
std::atomic<HWND> main_window{nullptr};

// "--beside FRAME" for a viewer started now: the window's frame and its extents.
std::string viewer_arguments() {
  const HWND window = main_window.load();
  RECT frame;
  RECT client;
  POINT origin{0, 0};
  if (window == nullptr || !GetWindowRect(window, &frame) || !GetClientRect(window, &client) ||
      !ClientToScreen(window, &origin)) {
    return {};
  }
  const auto extent = [](LONG v) { return static_cast<std::int32_t>(std::max<LONG>(v, 0)); };
  const fpu::ProgramFrame beside{
      {frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top},
      {extent(origin.x - frame.left), extent(origin.y - frame.top),
       extent(frame.right - origin.x - client.right),
       extent(frame.bottom - origin.y - client.bottom)}};
  if (beside.frame.width <= 0 || beside.frame.height <= 0) return {};
  return "--beside " + fpu::format_program_frame(beside);
}

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!running_program) return DefWindowProcA(hwnd, message, wparam, lparam);
  return fpu::window_proc(*running_program, reinterpret_cast<fpu::WindowHandle>(hwnd), message,
                          wparam, lparam);
}

constexpr const char* help_text =
    "usage: fpu-sample [--help | --version]\n"
    "Shows the rotating wire-frame scene in a window; keys and mouse drags turn it.\n"
    "Trace lines go to fpu-trace-viewer.exe, started from this program's folder.\n";

// A window program has no console of its own: it answers in the one it was started from,
// when standard output goes nowhere else.
void use_parent_console() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
  }
}

// Shows why the window cannot exist, on standard error and in a message box, and gives the
// exit status: without a window nothing could ever end the message loop.
int fail(const char* step) {
  const DWORD code = GetLastError();
  char* text = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string system_text = text != nullptr ? text : "";
  if (text != nullptr) LocalFree(text);
  while (!system_text.empty() && std::strchr(" .\r\n", system_text.back()) != nullptr) {
    system_text.pop_back();
  }
  const std::string reason = std::string("fpu-sample: ") + step + " failed (error " +
                             std::to_string(code) +
                             (system_text.empty() ? "" : ": " + system_text) + ")";
  use_parent_console();
  std::fprintf(stderr, "%s\n", reason.c_str());
  std::fflush(stderr);
  MessageBoxA(nullptr, reason.c_str(), "fpu-sample", MB_OK | MB_ICONERROR);
  return 1;
}

// The shared message loop over the thread's queue. Windows itself keeps the loop's order: it
// returns posted and input messages first, WM_QUIT once posted, and makes up WM_PAINT and
// then WM_TIMER only when nothing else waits. So every message comes through
// deliver_input, and paint and timer have nothing of their own to add.
class QueueLoop final : public fpu::MessageSource {
 public:
  bool quit_posted() override { return quit_; }
  bool deliver_input() override {
    MSG message{};
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    if (message.message == WM_QUIT) {
      quit_ = true;
      exit_code_ = static_cast<int>(message.wParam);
      return true;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return true;
  }
  bool deliver_paint() override { return false; }
  bool deliver_timer() override { return false; }
  // The queue has been emptied, so WaitMessage returns with the next message of any kind.
  void wait() override { WaitMessage(); }
  int exit_code() const { return exit_code_; }

 private:
  bool quit_ = false;
  int exit_code_ = 0;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (const auto request = fpu::find_info_request(__argc, __argv);
      request != fpu::InfoRequest::none) {
    use_parent_console();
    fpu::print_info(request, "fpu-sample", help_text);
    return 0;
  }
  fpu::Win32Platform platform;
  fpu::ViewerSinkOptions trace_options;
  trace_options.viewer_arguments = viewer_arguments;
  fpu::Win32ViewerTraceSink trace(trace_options);
  fpu::Program program(platform, trace);  // the counter text starts blank, NUL, NUL, NUL, ...
  HINSTANCE instance = GetModuleHandleA(nullptr);
  running_program = &program;

  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof(WNDCLASSEXA);
  window_class.style = CS_VREDRAW | CS_HREDRAW | CS_BYTEALIGNWINDOW;
  window_class.lpfnWndProc = main_window_proc;
  window_class.cbClsExtra = 0;
  window_class.cbWndExtra = 0;
  window_class.hInstance = instance;
  window_class.hIcon = nullptr;
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNTEXT + 1);
  window_class.lpszMenuName = nullptr;
  window_class.lpszClassName = fpu::window_class_name;
  window_class.hIconSm = nullptr;
  static_assert((CS_VREDRAW | CS_HREDRAW | CS_BYTEALIGNWINDOW) == 0x2003);
  static_assert(sizeof(void*) != 4 || sizeof(WNDCLASSEXA) == 48);
  if (RegisterClassExA(&window_class) == 0) return fail("registering the window class");

  int x = fpu::window_x_for_screen(static_cast<std::uint32_t>(GetSystemMetrics(SM_CXSCREEN)));
  int y = fpu::window_y_for_screen(static_cast<std::uint32_t>(GetSystemMetrics(SM_CYSCREEN)));
  HWND window =
      CreateWindowExA(0, fpu::window_class_name, fpu::window_title, WS_OVERLAPPEDWINDOW, x, y,
                      fpu::frame_width, fpu::frame_height, nullptr, nullptr, instance, nullptr);
  main_window = window;
  if (window == nullptr) {
    const int code = fail("creating the window");
    running_program = nullptr;
    return code;
  }
  fpu::finish_start_up(program);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);

  QueueLoop loop;
  fpu::run_message_loop(loop);
  running_program = nullptr;
  return loop.exit_code();
}
