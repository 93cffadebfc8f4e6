#include "tools/viewer/win32/text_view.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace fpu::viewer {

namespace {

constexpr std::size_t text_limit = std::size_t{16} << 20;
constexpr int wheel_lines = 3;
constexpr int margin = 2;
// Longest part of a line drawn; the rest would be off the window anyway.
constexpr std::size_t max_drawn = 400;

struct TextView {
  HWND hwnd = nullptr;
  HFONT font = nullptr;
  int line_height = 16;
  int char_width = 8;
  int rows = 1;

  std::string text;
  std::vector<std::size_t> starts{0};  // where each line begins
  // The insertion point programs set with EM_SETSEL (start, end).
  std::size_t sel_start = 0;
  std::size_t sel_end = 0;
  // The user's mouse selection, shown and copied.
  std::size_t mark_anchor = 0;
  std::size_t mark_caret = 0;
  bool marking = false;

  int top = 0;  // first line shown
  bool following = true;

  int line_count() const { return static_cast<int>(starts.size()); }
  int last_top() const { return std::max(line_count() - rows, 0); }
  std::size_t line_end(int line) const {
    return line + 1 < line_count() ? starts[static_cast<std::size_t>(line) + 1] - 2 : text.size();
  }

  // Line starts from `line` on, after the text there changed.
  void rebuild_from(int line) {
    starts.resize(static_cast<std::size_t>(std::max(line, 0)) + 1);
    for (std::size_t at = text.find("\r\n", starts.back()); at != std::string::npos;
         at = text.find("\r\n", at + 2)) {
      starts.push_back(at + 2);
    }
  }

  int line_of(std::size_t offset) const {
    return static_cast<int>(std::upper_bound(starts.begin(), starts.end(), offset) -
                            starts.begin()) -
           1;
  }

  void replace_selection(const char* insert) {
    const std::size_t from = std::min(sel_start, sel_end);
    const std::size_t to = std::max(sel_start, sel_end);
    const std::size_t length = insert ? std::strlen(insert) : 0;
    // A line break split in two by the range would leave a stray "\r": rebuild one line earlier.
    const int line = std::max(line_of(from) - 1, 0);
    text.replace(from, to - from, insert ? insert : "", length);
    rebuild_from(line);
    sel_start = sel_end = from + length;
    // Text put in before the end of the user's selection shifts it: it goes.
    if (from < std::max(mark_anchor, mark_caret)) mark_anchor = mark_caret = 0;
    if (text.size() > text_limit) trim();
    scroll_to(following ? last_top() : top);
  }

  // Keeps the lines that begin in the newest half of the limit.
  void trim() {
    const auto first = std::lower_bound(starts.begin(), starts.end(), text.size() - text_limit / 2);
    if (first == starts.end()) return;  // one line longer than that: kept whole
    const std::size_t cut = *first;
    const int removed = static_cast<int>(first - starts.begin());
    text.erase(0, cut);
    starts.erase(starts.begin(), first);
    for (auto& start : starts) start -= cut;
    auto shift = [cut](std::size_t& offset) { offset = offset > cut ? offset - cut : 0; };
    shift(sel_start), shift(sel_end), shift(mark_anchor), shift(mark_caret);
    top = std::max(top - removed, 0);
  }

  void scroll_to(int line) {
    top = std::clamp(line, 0, last_top());
    following = top == last_top();
    SCROLLINFO info{sizeof info,
                    SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL,
                    0,
                    line_count() - 1,
                    static_cast<UINT>(rows),
                    top,
                    0};
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
    InvalidateRect(hwnd, nullptr, FALSE);
  }

  void set_font(HFONT f) {
    font = f;
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(ANSI_FIXED_FONT));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    line_height = std::max<int>(metrics.tmHeight, 1);
    char_width = std::max<int>(metrics.tmAveCharWidth, 1);
    resize();
  }

  void resize() {
    RECT client{};
    GetClientRect(hwnd, &client);
    rows = std::max<int>((client.bottom - 2 * margin) / line_height, 1);
    scroll_to(following ? last_top() : top);
  }

  std::size_t offset_at(int x, int y) const {
    const int line = std::clamp(top + (y - margin) / line_height, 0, line_count() - 1);
    const int column = std::max((x - margin + char_width / 2) / char_width, 0);
    return std::min(starts[static_cast<std::size_t>(line)] + static_cast<std::size_t>(column),
                    line_end(line));
  }

  void copy() const {
    const std::size_t from = std::min(mark_anchor, mark_caret);
    const std::size_t to = std::max(mark_anchor, mark_caret);
    if (from == to || !OpenClipboard(hwnd)) return;
    EmptyClipboard();
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, to - from + 1)) {
      char* data = static_cast<char*>(GlobalLock(block));
      text.copy(data, to - from, from);
      data[to - from] = '\0';
      GlobalUnlock(block);
      if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
    }
    CloseClipboard();
  }

  void paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client{};
    GetClientRect(hwnd, &client);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(ANSI_FIXED_FONT));
    const COLORREF text_colour = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF back = GetSysColor(COLOR_WINDOW);
    const std::size_t mark_from = std::min(mark_anchor, mark_caret);
    const std::size_t mark_to = std::max(mark_anchor, mark_caret);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    for (int row = 0; row <= rows && top + row < line_count(); ++row) {
      const int line = top + row;
      const std::size_t begin = starts[static_cast<std::size_t>(line)];
      const std::size_t end = std::min(line_end(line), begin + max_drawn);
      const int y = margin + row * line_height;
      // Three runs: before, inside and after the user's selection.
      const std::size_t cuts[4] = {begin, std::clamp(mark_from, begin, end),
                                   std::clamp(mark_to, begin, end), end};
      for (int run = 0; run < 3; ++run) {
        if (cuts[run + 1] <= cuts[run]) continue;
        const bool marked = run == 1;
        SetTextColor(dc, marked ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text_colour);
        SetBkColor(dc, marked ? GetSysColor(COLOR_HIGHLIGHT) : back);
        TextOutA(dc, margin + static_cast<int>(cuts[run] - begin) * char_width, y,
                 text.data() + cuts[run], static_cast<int>(cuts[run + 1] - cuts[run]));
      }
    }
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
  }

  void scroll_bar(int code) {
    SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd, SB_VERT, &info);
    switch (code) {
      case SB_LINEUP:
        scroll_to(top - 1);
        break;
      case SB_LINEDOWN:
        scroll_to(top + 1);
        break;
      case SB_PAGEUP:
        scroll_to(top - std::max(rows - 1, 1));
        break;
      case SB_PAGEDOWN:
        scroll_to(top + std::max(rows - 1, 1));
        break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION:
        scroll_to(info.nTrackPos);
        break;
      case SB_TOP:
        scroll_to(0);
        break;
      case SB_BOTTOM:
        scroll_to(last_top());
        break;
      default:
        break;
    }
  }

  bool key(WPARAM vk) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    switch (vk) {
      case VK_PRIOR:
        scroll_bar(SB_PAGEUP);
        return true;
      case VK_NEXT:
        scroll_bar(SB_PAGEDOWN);
        return true;
      case VK_UP:
        scroll_bar(SB_LINEUP);
        return true;
      case VK_DOWN:
        scroll_bar(SB_LINEDOWN);
        return true;
      case VK_HOME:
        scroll_to(0);
        return true;
      case VK_END:
        scroll_to(last_top());
        return true;
      case 'A':
        if (!ctrl) return false;
        mark_anchor = 0;
        mark_caret = text.size();
        InvalidateRect(hwnd, nullptr, FALSE);
        return true;
      case 'C':
        if (!ctrl) return false;
        copy();
        return true;
      default:
        return false;
    }
  }
};

TextView* view_of(HWND hwnd) {
  return reinterpret_cast<TextView*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK text_view_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  TextView* view = view_of(hwnd);
  if (message == WM_NCCREATE) {
    view = new TextView;
    view->hwnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
  }
  if (view == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_CREATE:
      view->set_font(nullptr);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      delete view;
      return 0;
    case WM_SETFONT:
      view->set_font(reinterpret_cast<HFONT>(wparam));
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(view->font);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(view->text.size());
    case WM_GETTEXT: {
      if (wparam == 0 || lparam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(wparam - 1, view->text.size());
      char* out = reinterpret_cast<char*>(lparam);
      view->text.copy(out, n);
      out[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_SETTEXT:
      view->sel_start = 0;
      view->sel_end = view->text.size();
      view->following = true;
      view->replace_selection(reinterpret_cast<const char*>(lparam));
      view->sel_start = view->sel_end = 0;
      return TRUE;
    case EM_SETSEL: {
      // (-1, any) only removes the selection; otherwise negative ends mean the text's end.
      const auto start = static_cast<INT_PTR>(wparam);
      const auto end = static_cast<INT_PTR>(lparam);
      const std::size_t size = view->text.size();
      if (start == -1) {
        view->sel_start = view->sel_end;
        return 0;
      }
      auto clamp = [size](INT_PTR v) { return v < 0 ? size : std::min<std::size_t>(v, size); };
      view->sel_start = clamp(start);
      view->sel_end = clamp(end);
      return 0;
    }
    case EM_GETSEL: {
      const auto from = static_cast<DWORD>(std::min(view->sel_start, view->sel_end));
      const auto to = static_cast<DWORD>(std::max(view->sel_start, view->sel_end));
      if (wparam) *reinterpret_cast<DWORD*>(wparam) = from;
      if (lparam) *reinterpret_cast<DWORD*>(lparam) = to;
      return MAKELRESULT(from, to);
    }
    case EM_REPLACESEL:
      view->replace_selection(reinterpret_cast<const char*>(lparam));
      return 0;
    case EM_SCROLLCARET:
      // New text is followed only while the end is in view.
      if (view->following) view->scroll_to(view->last_top());
      return TRUE;
    case EM_SETLIMITTEXT:  // the view keeps its own bound
    case EM_SETREADONLY:
      return TRUE;
    case EM_GETLINECOUNT:
      return view->line_count();
    case WM_COPY:
      view->copy();
      return 0;
    case WM_SIZE:
      view->resize();
      return 0;
    case WM_PAINT:
      view->paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_VSCROLL:
      view->scroll_bar(LOWORD(wparam));
      return 0;
    case WM_MOUSEWHEEL:
      view->scroll_to(view->top - GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA * wheel_lines);
      return 0;
    case WM_KEYDOWN:
      if (view->key(wparam)) return 0;
      break;
    case WM_LBUTTONDOWN: {
      SetFocus(hwnd);
      SetCapture(hwnd);
      const std::size_t at =
          view->offset_at(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
      if ((wparam & MK_SHIFT) == 0) view->mark_anchor = at;
      view->mark_caret = at;
      view->marking = true;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (view->marking) {
        const int y = static_cast<short>(HIWORD(lparam));
        // Dragging past the edge scrolls on.
        if (y < 0) view->scroll_to(view->top - 1);
        if (y > view->rows * view->line_height) view->scroll_to(view->top + 1);
        view->mark_caret = view->offset_at(static_cast<short>(LOWORD(lparam)), y);
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP:
      view->marking = false;
      ReleaseCapture();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace

bool register_text_view(HINSTANCE instance) {
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = text_view_proc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, IDC_IBEAM);
  window_class.lpszClassName = "Edit";
  return RegisterClassExA(&window_class) != 0;
}

}  // namespace fpu::viewer
