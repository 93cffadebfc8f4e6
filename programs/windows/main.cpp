// fpu-sample.exe: the program on the real Windows API, with the command line every
// platform's demo reads. Declared per-monitor DPI-aware (its manifest), so Windows does not
// blur the picture on a scaled desktop: it shows it enlarged by a whole number itself, each
// pixel an exact square.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/event_loop.h"
#include "app/program.h"
#include "app/window.h"
#include "app/window_frame.h"
#include "backends/win32/console.h"
#include "backends/win32/win32_platform.h"
#include "programs/session_file.h"
#include "trace/stream_trace_sinks.h"
#include "trace/win32/stdout_sink.h"
#include "trace/win32/viewer_sink.h"

namespace {

struct Running {
  fpu::Program* program;
  fpu::Win32Platform* platform;
  std::int32_t fixed_scale;  // from the command line; 0 follows the monitor's
};
// WM_CREATE arrives inside CreateWindowExA, before the call returns anything that could
// carry the program to the window procedure, so the procedure finds it here.
Running* running = nullptr;

// Windows 10 (1607) and later only: looked up, so older systems still start the program.
template <class Function>
Function* user32_function(const char* name) {
  return reinterpret_cast<Function*>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// The window's outer size at `scale` on a monitor of `dpi`: at 1 the program's own frame
// size, above it the frame around a client area of scale times the picture.
SIZE window_size(std::int32_t scale, UINT dpi) {
  if (scale <= 1) return SIZE{fpu::frame_width, fpu::frame_height};
  RECT rect{0, 0, fpu::view_width * scale, fpu::view_height * scale};
  static auto* const adjust_for_dpi =
      user32_function<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  if (adjust_for_dpi != nullptr) {
    adjust_for_dpi(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0, dpi);
  } else {
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
  }
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// Moved to a monitor of another scale: the new scale (unless the command line fixed one),
// the window resized around it where Windows suggests, and everything painted again.
void on_dpi_changed(HWND hwnd, const Running& state, UINT dpi, const RECT& suggested) {
  const std::int32_t scale = state.fixed_scale > 0 ? state.fixed_scale : fpu::scale_for_dpi(dpi);
  state.platform->set_scale(scale);
  const SIZE size = window_size(scale, dpi);
  SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, size.cx, size.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd, nullptr, TRUE);
}

bool is_mouse_message(UINT message) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return true;
    default:
      return false;
  }
}

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
  if (running == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  if (message == WM_DPICHANGED) {
    on_dpi_changed(hwnd, *running, LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
    return 0;
  }
  // The program works in picture pixels, whatever the window's scale.
  if (is_mouse_message(message) && running->platform->scale() > 1) {
    lparam = fpu::picture_mouse_lparam(lparam, running->platform->scale());
  }
  return fpu::window_proc(*running->program, reinterpret_cast<fpu::WindowHandle>(hwnd), message,
                          wparam, lparam);
}

// Help, the version or why the command line is refused: in the console the program was
// started from, else (from a shortcut or Explorer) in a message box.
int answer(const fpu::CommandLineResult& result) {
  const bool refused = result.action == fpu::CommandLineResult::Action::error;
  if (fpu::use_parent_console()) {
    std::fputs(result.message.c_str(), refused ? stderr : stdout);
    std::fflush(refused ? stderr : stdout);
  } else {
    MessageBoxA(nullptr, result.message.c_str(), "fpu-sample",
                MB_OK | (refused ? MB_ICONERROR : MB_ICONINFORMATION));
  }
  return result.exit_code;
}

std::unique_ptr<fpu::TraceSink> make_trace_sink(fpu::TraceMode mode) {
  switch (mode) {
    case fpu::TraceMode::viewer: {
      fpu::ViewerSinkOptions options;
      options.viewer_arguments = viewer_arguments;  // opens beside the window
      return std::make_unique<fpu::Win32ViewerTraceSink>(options);
    }
    case fpu::TraceMode::stdout_lines:
      // Each line goes out as it is made, for a reader at the other end of a pipe, from a
      // thread of its own so that a reader that stops never holds up the window.
      fpu::use_parent_console();
      return std::make_unique<fpu::Win32StdoutTraceSink>([](const std::string& text) {
        std::fprintf(stderr, "fpu-sample: %s\n", text.c_str());
        std::fflush(stderr);
      });
    case fpu::TraceMode::none:
      break;
  }
  return std::make_unique<fpu::NullTraceSink>();
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
  fpu::use_parent_console();
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

// Ctrl+C, Ctrl+Break or the console closing, in the console the program was started from:
// the demo ends as the close button ends it (so a session being saved is saved).
BOOL WINAPI on_console_event(DWORD) {
  const HWND window = main_window.load();
  if (window == nullptr) return FALSE;
  PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::vector<std::string_view> args(__argv + 1, __argv + __argc);
  // Started from a console, the help reads in columns there; else a message box shows it.
  const bool console = !args.empty() && fpu::use_parent_console();
  const fpu::CommandLineResult command_line = fpu::parse_demo_command_line(
      args, fpu::DemoPlatform::windows,
      console ? fpu::options::HelpStyle::console : fpu::options::HelpStyle::message_box);
  if (command_line.action != fpu::CommandLineResult::Action::run) return answer(command_line);
  // A file that cannot be written is said before the window opens, not after the session.
  fpu::SessionFile session;
  std::string session_error;
  if (!session.open(command_line.options.save_script, &session_error)) {
    fpu::CommandLineResult refused;
    refused.action = fpu::CommandLineResult::Action::error;
    refused.message = session_error + "\n";
    refused.exit_code = 1;
    return answer(refused);
  }

  fpu::Win32Platform platform;
  const auto trace = make_trace_sink(command_line.options.trace);
  fpu::Program program(platform, *trace);  // the counter text starts blank, NUL, NUL, NUL, ...
  session.attach(program);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  Running state{&program, &platform, command_line.options.scale};
  running = &state;

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

  // Centred on the primary monitor, at its scale; a move to another monitor rescales it.
  const UINT dpi = fpu::system_dpi();  // the primary monitor's when the program started
  const std::int32_t wanted = state.fixed_scale > 0 ? state.fixed_scale : fpu::scale_for_dpi(dpi);
  // No larger than the work area holds, frame and caption included: a taller window puts
  // its title bar off the screen.
  RECT area{};
  // The frame and caption around a scaled client area (at 1 the window has its own size).
  const SIZE two = window_size(2, dpi);
  const std::int32_t scale =
      SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)
          ? fpu::fitting_scale(wanted, fpu::view_width, fpu::view_height,
                               two.cx - 2 * fpu::view_width, two.cy - 2 * fpu::view_height,
                               area.right - area.left, area.bottom - area.top)
          : wanted;
  if (scale < wanted) {
    std::fprintf(stderr,
                 "fpu-sample: scale %d lowered to %d: the window fits the %ldx%ld work area\n",
                 wanted, scale, area.right - area.left, area.bottom - area.top);
  }
  platform.set_scale(scale);
  const SIZE size = window_size(scale, dpi);
  const auto unsigned_scale = static_cast<std::uint32_t>(scale);
  int x = fpu::window_x_for_screen(static_cast<std::uint32_t>(GetSystemMetrics(SM_CXSCREEN)),
                                   unsigned_scale);
  int y = fpu::window_y_for_screen(static_cast<std::uint32_t>(GetSystemMetrics(SM_CYSCREEN)),
                                   unsigned_scale);
  HWND window = CreateWindowExA(0, fpu::window_class_name, fpu::window_title, WS_OVERLAPPEDWINDOW,
                                x, y, size.cx, size.cy, nullptr, nullptr, instance, nullptr);
  main_window = window;
  if (window == nullptr) {
    const int code = fail("creating the window");
    running = nullptr;
    return code;
  }
  fpu::finish_start_up(program);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);

  SetConsoleCtrlHandler(on_console_event, TRUE);

  QueueLoop loop;
  fpu::run_message_loop(loop);
  running = nullptr;
  if (!session.finish(&session_error)) {
    fpu::CommandLineResult failed;
    failed.action = fpu::CommandLineResult::Action::error;
    failed.message = session_error + "\n";
    failed.exit_code = 1;
    return answer(failed);
  }
  return loop.exit_code();
}
