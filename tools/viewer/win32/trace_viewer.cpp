// fpu-trace-viewer.exe: the window trace lines are appended to on Windows.
// A top-level window of class fpu::viewer_window_class whose first child, of class "Edit", takes
// the messages of a multi-line edit control; the program sends its lines to that control
// (trace/win32/viewer_sink.h).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "app/window.h"
#include "backends/win32/console.h"
#include "scene/scene_state.h"
#include "tools/viewer/viewer_command_line.h"
#include "tools/viewer/viewer_placement.h"
#include "tools/viewer/win32/text_view.h"
#include "trace/win32/viewer_sink.h"

namespace {

constexpr const char* viewer_title = "FPU SAMPLE trace";

// The scale the program shows its picture at: the desktop's whole-number scale (its dots per
// inch over 96), lowered until the program's window fits the work area, as the program does.
// The viewer is DPI-aware (its manifest), so Windows does not stretch it; it grows its font
// and window itself.
int desktop_scale() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  const std::int32_t wanted =
      fpu::scale_for_dpi(dpi > 0 ? static_cast<std::uint32_t>(dpi) : fpu::unscaled_dpi);
  RECT area{};
  RECT frame{0, 0, 2 * fpu::view_width, 2 * fpu::view_height};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) ||
      !AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0)) {
    return wanted;
  }
  return fpu::fitting_scale(wanted, fpu::view_width, fpu::view_height,
                            frame.right - frame.left - 2 * fpu::view_width,
                            frame.bottom - frame.top - 2 * fpu::view_height, area.right - area.left,
                            area.bottom - area.top);
}

// The text's font: the fixed system font at 100 %, else a fixed-pitch one `scale` times its
// height (made once, kept for the process, whose scale does not change).
HFONT text_font(int scale) {
  if (scale <= 1) return static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
  static HFONT scaled = CreateFontA(-13 * scale, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                    ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New");
  return scaled != nullptr ? scaled : static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
}

// Refusing activation lasts until the user clicks into the viewer, or this long after it
// was shown.
constexpr UINT_PTR activate_timer = 1;
constexpr UINT refuse_activation_ms = 2000;

// Lets the window be activated; false when it could be already.
bool may_activate(HWND hwnd) {
  const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_EXSTYLE);
  if ((style & WS_EX_NOACTIVATE) == 0) return false;
  SetWindowLongPtrA(hwnd, GWL_EXSTYLE, style & ~LONG_PTR{WS_EX_NOACTIVATE});
  return true;
}

// Wine's X11 driver tells the window manager whether a window takes the keyboard only when
// WS_DISABLED changes: a moment's disabling passes the new style on.
void tell_window_manager(HWND hwnd) {
  EnableWindow(hwnd, FALSE);
  EnableWindow(hwnd, TRUE);
}

LRESULT CALLBACK viewer_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
      HWND edit = CreateWindowExA(
          WS_EX_CLIENTEDGE, "Edit", "",
          WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, 0, 0, 0,
          0, hwnd, nullptr, create->hInstance, nullptr);
      if (!edit) return -1;
      // A system edit control would silently drop lines past its default limit.
      SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
      const int scale = static_cast<int>(reinterpret_cast<std::intptr_t>(create->lpCreateParams));
      SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(text_font(scale)), FALSE);
      return 0;
    }
    case WM_SIZE: {
      HWND edit = FindWindowExA(hwnd, nullptr, "Edit", nullptr);
      if (edit) MoveWindow(edit, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      return 0;
    }
    case WM_SETFOCUS: {
      // Keys and the wheel go to the text view.
      HWND edit = FindWindowExA(hwnd, nullptr, "Edit", nullptr);
      if (edit) SetFocus(edit);
      return 0;
    }
    case WM_MOUSEACTIVATE:
      // A click into the viewer is the user asking for it: from now on it activates as any
      // window does.
      may_activate(hwnd);
      return MA_ACTIVATE;
    case WM_TIMER:
      // By now a window manager has offered the new window the keyboard (and was refused);
      // a click on its frame must work from here on.
      if (wparam == activate_timer) {
        KillTimer(hwnd, activate_timer);
        if (may_activate(hwnd)) tell_window_manager(hwnd);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

constexpr int viewer_width = 480;  // at 100 %
constexpr int viewer_height = 600;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  fpu::viewer::ViewerCommandLine line;
  const std::vector<std::string_view> args(__argv + 1, __argv + __argc);
  // Answers go to the console the viewer was started from, else to a message box.
  const bool console = !args.empty() && fpu::use_parent_console();
  const fpu::options::Parsed parsed = fpu::viewer::parse_viewer_command_line(
      fpu::viewer::ViewerPlatform::windows, args, &line,
      console ? fpu::options::HelpStyle::console : fpu::options::HelpStyle::message_box);
  if (parsed.action != fpu::options::Parsed::Action::run) {
    if (console) {
      std::fputs(parsed.message.c_str(), parsed.exit_code == 0 ? stdout : stderr);
      std::fflush(parsed.exit_code == 0 ? stdout : stderr);
    } else {
      MessageBoxA(nullptr, parsed.message.c_str(), "fpu-trace-viewer",
                  MB_OK | (parsed.exit_code == 0 ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    return parsed.exit_code;
  }
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof(WNDCLASSEXA);
  window_class.lpfnWndProc = viewer_proc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = fpu::viewer_window_class;
  if (!RegisterClassExA(&window_class)) return 1;
  // The "Edit" child is the viewer's own text view (tools/viewer/win32/text_view.h).
  if (!fpu::viewer::register_text_view(instance)) return 1;

  // Beside the program's window, never over it: where the program says it is (--beside
  // FRAME), else where the program places it; inside the desktop's work area.
  fpu::ProgramFrame beside = line.beside;
  const bool have_beside = line.have_beside;
  const int screen_width = GetSystemMetrics(SM_CXSCREEN);
  const int screen_height = GetSystemMetrics(SM_CYSCREEN);
  RECT area{0, 0, screen_width, screen_height};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  const fpu::ScreenRect work{area.left, area.top, area.right - area.left, area.bottom - area.top};
  // Text as large as the program shows its picture: at the scale its frame says (it may
  // have been started with --scale), else as the program would on this desktop.
  const int told = have_beside ? fpu::viewer::picture_scale_of(beside) : 0;
  const int scale = told > 0 ? told : desktop_scale();
  if (!have_beside) {
    beside.frame = fpu::viewer::program_rect(screen_width, screen_height, fpu::frame_width,
                                             fpu::frame_height, scale);
  }
  // The window its text needs: the text view's least size, with its sunken edge and the
  // system's scroll bar, in the window's frame.
  fpu::viewer::LayoutMetrics metrics = fpu::viewer::text_metrics(text_font(scale));
  metrics.scroll_bar = GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE);
  const fpu::viewer::LayoutSize least = fpu::viewer::least_size(metrics);
  RECT need{0, 0, least.width, least.height + 2 * GetSystemMetrics(SM_CYEDGE)};
  AdjustWindowRectEx(&need, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
  const int need_width = need.right - need.left;
  const int need_height = need.bottom - need.top;
  const fpu::viewer::ScreenRect place = fpu::viewer::place_viewer(
      beside.frame, work, std::max(viewer_width * scale, need_width),
      std::max(viewer_height * scale, need_height), need_width, need_height);
  // Whatever show command the starter asked for, the viewer never takes the keyboard from
  // the program it serves: shown without activation, and not to be activated (a window
  // manager offering it the focus when it maps the window is refused) until the user clicks
  // into it or 2 s passed. It keeps its taskbar button.
  HWND window = CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_APPWINDOW, fpu::viewer_window_class,
                                viewer_title, WS_OVERLAPPEDWINDOW, place.x, place.y, place.width,
                                place.height, nullptr, nullptr, instance,
                                reinterpret_cast<void*>(static_cast<std::intptr_t>(scale)));
  if (!window) return 1;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  UpdateWindow(window);
  SetTimer(window, activate_timer, refuse_activation_ms, nullptr);

  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
