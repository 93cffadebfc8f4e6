// fpu-trace-viewer.exe: the window trace lines are appended to on Windows.
// A top-level window of class "DbgWinClass" whose first child, of class "Edit", takes the
// messages of a multi-line edit control; the program sends its lines to that control
// (trace/win32/viewer_sink.h).
#include <windows.h>

#include "tools/viewer/win32/text_view.h"

namespace {

constexpr const char* viewer_class = "DbgWinClass";
constexpr const char* viewer_title = "FPU SAMPLE trace";

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
      SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)),
                   FALSE);
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
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof(WNDCLASSEXA);
  window_class.lpfnWndProc = viewer_proc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = viewer_class;
  if (!RegisterClassExA(&window_class)) return 1;
  // The "Edit" child is the viewer's own text view (tools/viewer/win32/text_view.h).
  if (!fpu::viewer::register_text_view(instance)) return 1;

  HWND window = CreateWindowExA(0, viewer_class, viewer_title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 480, 600, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
