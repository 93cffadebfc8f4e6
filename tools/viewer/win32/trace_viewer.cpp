// fpu-trace-viewer.exe: the window trace lines are appended to on Windows.
// A top-level window of class "DbgWinClass" whose first child is a multi-line edit
// control; the program sends its lines to that control (trace/win32/viewer_sink.h).
#include <windows.h>

#include <string>

namespace {

constexpr const char* viewer_class = "DbgWinClass";
constexpr const char* viewer_title = "FPU SAMPLE trace";
// Past this many characters the oldest lines go (about half the text at once), so a long
// traced run keeps the edit control fast, as the Linux viewer keeps its newest 16 MiB. An
// insertion costs Wine's edit control more the more lines it holds.
constexpr LRESULT text_limit = 2 << 20;
// Posted to the viewer after its text changed; trimming then happens between insertions.
constexpr UINT trim_message = WM_APP + 1;

bool trim_posted = false;

// Removes the oldest lines so that the newest half of the limit remains, and puts the caret
// back at the end where the program's insertions go.
void trim(HWND edit) {
  const LRESULT length = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
  if (length <= text_limit) return;
  // The cut goes after a line break; the control's own lines may be wrapped parts of one.
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  text.resize(static_cast<std::size_t>(
      SendMessageA(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  const auto brk = text.find("\r\n", text.size() - text_limit / 2);
  if (brk == std::string::npos) return;  // one line longer than half the limit: keep it whole
  const auto cut = static_cast<LPARAM>(brk + 2);
  SendMessageA(edit, WM_SETREDRAW, FALSE, 0);
  SendMessageA(edit, EM_SETSEL, 0, cut);
  SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
  const LRESULT end = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
  SendMessageA(edit, EM_SETSEL, end, end);
  SendMessageA(edit, WM_SETREDRAW, TRUE, 0);
  SendMessageA(edit, EM_SCROLLCARET, 0, 0);
  InvalidateRect(edit, nullptr, TRUE);
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
      // The default limit (30,000 characters) would silently drop later lines.
      SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
      SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)),
                   FALSE);
      return 0;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == EN_CHANGE && !trim_posted) {
        trim_posted = PostMessageA(hwnd, trim_message, 0, lparam) != 0;
      }
      return 0;
    case trim_message:
      trim_posted = false;
      trim(reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_SIZE: {
      HWND edit = FindWindowExA(hwnd, nullptr, "Edit", nullptr);
      if (edit) MoveWindow(edit, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
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
