#include "tools/viewer/win32/text_view.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {

namespace {

constexpr int margin = 2;
// The find bar's count: a slice of text per timer tick, so the window keeps answering.
constexpr UINT_PTR count_timer = 1;
constexpr UINT count_interval_ms = 15;
constexpr std::size_t count_slice = std::size_t{2} << 20;

ViewerKey viewer_key(WPARAM vk) {
  switch (vk) {
    case VK_UP:
      return ViewerKey::up;
    case VK_DOWN:
      return ViewerKey::down;
    case VK_PRIOR:
      return ViewerKey::page_up;
    case VK_NEXT:
      return ViewerKey::page_down;
    case VK_HOME:
      return ViewerKey::home;
    case VK_END:
      return ViewerKey::end;
    case VK_F1:
      return ViewerKey::f1;
    case VK_ESCAPE:
      return ViewerKey::escape;
    case VK_DELETE:
      return ViewerKey::del;
    case 'A':
      return ViewerKey::a;
    case 'C':
      return ViewerKey::c;
    case 'L':
      return ViewerKey::l;
    case 'S':
      return ViewerKey::s;
    default:
      return ViewerKey::other;
  }
}

// Draws the viewer model in an "Edit" window and forwards its messages and input to it.
struct TextView {
  HWND hwnd = nullptr;
  HFONT font = nullptr;
  int line_height = 16;
  int char_width = 8;
  int width = 0;
  int height = 0;
  bool marking = false;
  bool counting = false;  // the count timer runs
  bool on_top = false;    // the window was put above others
  std::string base_title;
  ViewerModel model{[](const std::string& text, std::time_t when) {
    return save_text(text, documents_dir(std::getenv), when);
  }};

  int band_height() const { return line_height + 2; }
  // Where a line's text begins: after the time column when it is shown.
  int text_left() const { return margin + static_cast<int>(model.time_columns()) * char_width; }
  int bands() const { return 1 + (model.status().empty() ? 0 : 1) + (model.find_open() ? 1 : 0); }
  int text_height() const { return std::max(height - bands() * band_height(), 0); }

  // Brings the scroll bar and the picture up to date with the model.
  void sync() {
    const ViewerView& view = model.view();
    const ViewerText& text = model.text();
    SCROLLINFO info{sizeof info,
                    SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL,
                    0,
                    static_cast<int>(std::max<std::size_t>(text.line_count(), 1) - 1),
                    static_cast<UINT>(view.rows()),
                    static_cast<int>(view.top() - text.first_number()),
                    0};
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
    InvalidateRect(hwnd, nullptr, FALSE);
  }

  void text_changed() {
    model.text_changed();
    count_on();
    sync();
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
    width = client.right;
    height = client.bottom;
    model.view().set_rows(
        static_cast<std::size_t>(std::max(text_height() - 2 * margin, 0) / line_height));
    sync();
  }

  TextPosition position_at(int x, int y) const {
    const int row = std::max(y - margin, 0) / line_height;
    const int column = std::max((x - text_left() + char_width / 2) / char_width, 0);
    return {model.view().top() + static_cast<std::uint64_t>(row), static_cast<std::size_t>(column)};
  }

  void copy() const {
    // The clipboard's text has CR LF line breaks.
    std::string text;
    for (char ch : model.view().selected_text()) {
      if (ch == '\n') text += '\r';
      text += ch;
    }
    if (text.empty() || !OpenClipboard(hwnd)) return;
    EmptyClipboard();
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
      char* data = static_cast<char*>(GlobalLock(block));
      text.copy(data, text.size());
      data[text.size()] = '\0';
      GlobalUnlock(block);
      if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
    }
    CloseClipboard();
  }

  bool key(WPARAM vk, bool alt) {
    const KeyOutcome outcome =
        model.key(viewer_key(vk), GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0, alt);
    if (outcome == KeyOutcome::ignored) return false;
    if (outcome == KeyOutcome::copy) copy();
    if (HWND parent = GetParent(hwnd)) {
      SetWindowTextA(parent, model.title(base_title).c_str());
      if (on_top != model.on_top()) {
        on_top = model.on_top();
        SetWindowPos(parent, on_top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      }
    }
    resize();  // the status band may have come or gone
    count_on();
    return true;
  }

  // Keeps the count going while the find bar has one to finish.
  void count_on() {
    if (!model.find_open() || counting) return;
    counting = SetTimer(hwnd, count_timer, count_interval_ms, nullptr) != 0;
  }

  void tick() {
    if (model.work(count_slice)) {
      InvalidateRect(hwnd, nullptr, FALSE);
    } else {
      KillTimer(hwnd, count_timer);
      counting = false;
    }
  }

  void scroll_bar(int code) {
    ViewerView& view = model.view();
    switch (code) {
      case SB_LINEUP:
        view.scroll_by(-1);
        break;
      case SB_LINEDOWN:
        view.scroll_by(1);
        break;
      case SB_PAGEUP:
        view.page_up();
        break;
      case SB_PAGEDOWN:
        view.page_down();
        break;
      case SB_TOP:
        view.home();
        break;
      case SB_BOTTOM:
        view.end();
        break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: {
        SCROLLINFO info{sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
        GetScrollInfo(hwnd, SB_VERT, &info);
        const auto at = static_cast<std::int64_t>(view.top() - model.text().first_number());
        view.scroll_by(info.nTrackPos - at);
        break;
      }
      default:
        return;
    }
    sync();
  }

  void draw_string(HDC dc, std::string_view text, int x, int y) {
    TextOutA(dc, x, y, text.data(), static_cast<int>(std::min(text.size(), kMaxDrawn)));
  }

  void draw_band(HDC dc, int top, std::string_view text, COLORREF background) {
    const RECT band{0, top, width, top + band_height()};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &band, brush);
    DeleteObject(brush);
    SetBkColor(dc, background);
    SetTextColor(dc, RGB(0, 0, 0));
    draw_string(dc, text, margin, top + 1);
  }

  void draw_rows(HDC dc) {
    const ViewerView& view = model.view();
    const ViewerText& text = model.text();
    const TextPosition from = view.selection_begin();
    const TextPosition to = view.selection_end();
    const COLORREF text_colour = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF back = GetSysColor(COLOR_WINDOW);
    for (std::size_t row = 0; row <= view.rows(); ++row) {
      const std::uint64_t number = view.top() + row;
      if (number < text.first_number() || number - text.first_number() >= text.line_count()) break;
      const std::string_view line =
          text.line(static_cast<std::size_t>(number - text.first_number()));
      const std::size_t end = std::min(line.size(), kMaxDrawn);
      std::size_t mark_from = end;
      std::size_t mark_to = end;
      if (view.has_selection() && number >= from.line && number <= to.line) {
        mark_from = number == from.line ? std::min(from.column, end) : 0;
        mark_to = number == to.line ? std::min(to.column, end) : end;
      }
      const int y = margin + static_cast<int>(row) * line_height;
      if (model.time_shown()) {
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        SetBkColor(dc, back);
        SetBkMode(dc, OPAQUE);
        const std::string time =
            model.time_text(static_cast<std::size_t>(number - text.first_number()));
        TextOutA(dc, margin, y, time.data(), static_cast<int>(time.size()));
      }
      // Three runs: before, inside and after the user's selection.
      const std::size_t cuts[4] = {0, mark_from, mark_to, end};
      matched_row_ = false;
      draw_matches(dc, number, line.substr(0, end), y);
      for (int run = 0; run < 3; ++run) {
        if (cuts[run + 1] <= cuts[run]) continue;
        const bool marked = run == 1;
        SetTextColor(dc, marked ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text_colour);
        SetBkColor(dc, marked ? GetSysColor(COLOR_HIGHLIGHT) : back);
        // Unmarked text over match highlights keeps them.
        SetBkMode(dc, marked || !matched_row_ ? OPAQUE : TRANSPARENT);
        TextOutA(dc, text_left() + static_cast<int>(cuts[run]) * char_width, y,
                 line.data() + cuts[run], static_cast<int>(cuts[run + 1] - cuts[run]));
      }
    }
  }

  // Every match of the find bar's text on the row, the current one distinct; the row's text
  // is drawn over them transparently.
  void draw_matches(HDC dc, std::uint64_t number, std::string_view line, int y) {
    if (!model.find_open() || model.find().query().empty()) return;
    const int length = static_cast<int>(model.find().query().size());
    const auto current = model.current_match();
    for (auto at = model.find().find_in(line, 0); at; at = model.find().find_in(line, *at + 1)) {
      const bool is_current = current && current->line == number && current->column == *at;
      const int x = text_left() + static_cast<int>(*at) * char_width;
      const RECT box{x, y, x + length * char_width, y + line_height};
      HBRUSH brush = CreateSolidBrush(is_current ? RGB(255, 150, 50) : RGB(255, 240, 120));
      FillRect(dc, &box, brush);
      DeleteObject(brush);
    }
    matched_row_ = true;
  }
  bool matched_row_ = false;

  void draw_key_list(HDC dc) {
    const auto keys = ViewerModel::key_list();
    const int rows = static_cast<int>(keys.size()) + 2;
    const RECT box{margin, margin, margin + std::min(width - 2 * margin, 64 * char_width),
                   margin + rows * line_height + 2 * margin};
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
    const RECT inside{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
    FillRect(dc, &inside, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
    draw_string(dc, "Keys of the trace viewer", box.left + margin, box.top + margin);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      char row[128];
      std::snprintf(row, sizeof row, "%-20s %s", keys[i].keys, keys[i].does);
      draw_string(dc, row, box.left + margin,
                  box.top + margin + static_cast<int>(i + 2) * line_height);
    }
  }

  void paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client{};
    GetClientRect(hwnd, &client);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(ANSI_FIXED_FONT));
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    const RECT clip{0, 0, width, text_height()};
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    draw_rows(dc);
    RestoreDC(dc, saved);
    if (!model.status().empty()) {
      draw_band(dc, height - 2 * band_height(), model.status(), RGB(255, 248, 200));
    }
    if (model.find_open()) {
      draw_band(dc, height - bands() * band_height(), model.find_line(), RGB(210, 230, 255));
    }
    draw_band(dc, height - band_height(), ViewerModel::key_line(), RGB(225, 225, 225));
    if (model.help_shown()) draw_key_list(dc);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
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
  ViewerModel& model = view->model;
  switch (message) {
    case WM_CREATE: {
      char title[256] = {};
      if (HWND parent = GetParent(hwnd)) GetWindowTextA(parent, title, sizeof title);
      view->base_title = title;
      view->set_font(nullptr);
      return 0;
    }
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
      return static_cast<LRESULT>(model.text().text().size());
    case WM_GETTEXT: {
      if (wparam == 0 || lparam == 0) return 0;
      const std::string& text = model.text().text();
      const std::size_t n = std::min<std::size_t>(wparam - 1, text.size());
      char* out = reinterpret_cast<char*>(lparam);
      text.copy(out, n);
      out[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_SETTEXT: {
      const char* raw = reinterpret_cast<const char*>(lparam);
      model.edit().set_text(raw ? raw : "");
      model.view().end();
      view->text_changed();
      return TRUE;
    }
    case EM_SETSEL:
      model.edit().set(static_cast<INT_PTR>(wparam), static_cast<INT_PTR>(lparam));
      return 0;
    case EM_GETSEL: {
      const auto [from, to] = model.edit().get();
      if (wparam) *reinterpret_cast<DWORD*>(wparam) = static_cast<DWORD>(from);
      if (lparam) *reinterpret_cast<DWORD*>(lparam) = static_cast<DWORD>(to);
      return MAKELRESULT(from, to);
    }
    case EM_REPLACESEL: {
      const char* raw = reinterpret_cast<const char*>(lparam);
      model.edit().replace(raw ? raw : "");
      view->text_changed();
      return 0;
    }
    case EM_SCROLLCARET:
      // New text is followed only while the end is in view.
      if (model.view().following()) model.view().end();
      view->sync();
      return TRUE;
    case EM_SETLIMITTEXT:  // the model keeps its own bound
    case EM_SETREADONLY:
      return TRUE;
    case EM_GETLINECOUNT:
      return static_cast<LRESULT>(std::max<std::size_t>(model.text().line_count(), 1));
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
      model.wheel(GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA);
      view->sync();
      return 0;
    case WM_KEYDOWN:
      if (view->key(wparam, false)) return 0;
      break;
    case WM_SYSKEYDOWN:  // Alt held
      if (wparam == 'C' && view->key(wparam, true)) return 0;
      break;
    case WM_CHAR:
      // Typed text for the find bar; control characters (Enter, Ctrl+letters) are keys.
      if (wparam >= 0x20 && wparam != 0x7F) {
        const char typed = static_cast<char>(wparam);
        if (model.type(std::string_view(&typed, 1))) {
          view->count_on();
          InvalidateRect(hwnd, nullptr, FALSE);
        }
      }
      return 0;
    case WM_TIMER:
      if (wparam == count_timer) view->tick();
      return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(hwnd);
      SetCapture(hwnd);
      const int y = static_cast<short>(HIWORD(lparam));
      if (y >= view->text_height()) return 0;
      model.press(view->position_at(static_cast<short>(LOWORD(lparam)), y),
                  (wparam & MK_SHIFT) != 0);
      view->marking = true;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (view->marking) {
        const int y = static_cast<short>(HIWORD(lparam));
        // Dragging past the edge scrolls on.
        if (y < 0) model.view().scroll_by(-1);
        if (y >= view->text_height()) model.view().scroll_by(1);
        model.drag(view->position_at(static_cast<short>(LOWORD(lparam)),
                                     std::clamp(y, 0, std::max(view->text_height() - 1, 0))));
        view->sync();
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
