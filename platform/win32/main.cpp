// fpu-sample.exe: the program on the real Windows API.
#include <windows.h>

#include "app/program.h"
#include "app/window.h"
#include "platform/win32/win32_platform.h"
#include "trace/win32/viewer_sink.h"

namespace {

// WM_CREATE arrives inside CreateWindowExA, before the call returns anything that could
// carry the program to the window procedure, so the procedure finds it here.
fpu::Program* running_program = nullptr;

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!running_program) return DefWindowProcA(hwnd, message, wparam, lparam);
  return fpu::window_proc(*running_program, reinterpret_cast<fpu::WindowHandle>(hwnd), message,
                          wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  fpu::Win32Platform platform;
  fpu::Win32ViewerTraceSink trace;
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
  RegisterClassExA(&window_class);

  int x = fpu::window_x_for_screen(static_cast<std::uint32_t>(GetSystemMetrics(SM_CXSCREEN)));
  int y = fpu::window_y_for_screen(static_cast<std::uint32_t>(GetSystemMetrics(SM_CYSCREEN)));
  HWND window =
      CreateWindowExA(0, fpu::window_class_name, fpu::window_title, WS_OVERLAPPEDWINDOW, x, y,
                      fpu::frame_width, fpu::frame_height, nullptr, nullptr, instance, nullptr);
  fpu::finish_start_up(program);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);

  // GetMessageA returns -1 on an error; that ends the loop too, rather than spinning.
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  running_program = nullptr;
  return static_cast<int>(message.wParam);
}
