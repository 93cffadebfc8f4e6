#include "tools/viewer/win32/text_view.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "tools/viewer/viewer_model.h"
#include "tools/viewer/win32/text_view_paint.h"

namespace fpu::viewer {

namespace {

// The find bar's count: a slice of text (kCountSlice) per timer tick.
constexpr UINT_PTR count_timer = 1;
constexpr UINT count_interval_ms = 15;

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
    case 'F':
      return ViewerKey::f;
    case 'P':
      return ViewerKey::p;
    case 'T':
      return ViewerKey::t;
    case 'O':
      return ViewerKey::o;
    case 'I':
      return ViewerKey::i;
    case 'H':
      return ViewerKey::h;
    case VK_SPACE:
      return ViewerKey::space;
    case VK_RETURN:
      return ViewerKey::enter;
    case VK_BACK:
      return ViewerKey::backspace;
    case VK_F3:
      return ViewerKey::f3;
    default:
      return ViewerKey::other;
  }
}

// Draws the viewer model in an "Edit" window and forwards its messages and input to it.
struct TextView {
  HWND hwnd = nullptr;
  HFONT font = nullptr;
  TextLayout layout;
  bool marking = false;
  bool counting = false;  // the count timer runs
  bool on_top = false;    // the window was put above others
  std::string base_title;
  std::string highlight_path;
  ViewerModel model{[](const std::string& text, std::time_t when) {
    return save_text(with_crlf_line_breaks(text), documents_dir(std::getenv), when);
  }};

  int text_left() const { return layout.text_left(model); }
  int text_height() const { return layout.text_height(model); }

  // Brings the scroll bar and the picture up to date with the model.
  void sync() {
    const ViewerView& view = model.view();
    const ViewerText& text = model.shown_text();
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
    const LayoutMetrics m = text_metrics(font);
    layout.line_height = m.line_height;
    layout.char_width = m.char_width;
    layout.margin = m.margin;
    resize();
  }

  void resize() {
    RECT client{};
    GetClientRect(hwnd, &client);
    layout.width = client.right;
    layout.height = client.bottom;
    model.view().set_rows(layout.of(model).rows);
    sync();
  }

  TextPosition position_at(int x, int y) const {
    return layout.of(model).position_at(x, y, model.view().top());
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

  // Keeps the search and the count going while the model has them to finish.
  void count_on() {
    if (!model.busy() || counting) return;
    counting = SetTimer(hwnd, count_timer, count_interval_ms, nullptr) != 0;
  }

  void tick() {
    if (model.work(kCountSlice)) {
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
        const auto at = static_cast<std::int64_t>(view.top() - model.shown_text().first_number());
        view.scroll_by(info.nTrackPos - at);
        break;
      }
      default:
        return;
    }
    sync();
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
      // Highlight rules kept from earlier runs; a bad config is set aside and said once.
      view->highlight_path = highlight_config_path(std::getenv, true);
      Highlights rules;
      if (std::string note = load_highlights(view->highlight_path, rules); !note.empty()) {
        model.note(std::move(note));
      }
      model.set_highlights(rules, [view](const Highlights& kept) {
        return store_highlights(view->highlight_path, kept);
      });
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
    case EM_GETFIRSTVISIBLELINE:  // of the lines shown (only the kept ones while filtered)
      return static_cast<LRESULT>(model.view().top() - model.shown_text().first_number());
    case WM_COPY:
      view->copy();
      return 0;
    case WM_SIZE:
      view->resize();
      return 0;
    case WM_PAINT:
      paint_text_view(hwnd, view->font, view->layout, model);
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
        model.view().scroll_by(view->layout.of(model).edge_scroll(y));
        model.drag(view->position_at(static_cast<short>(LOWORD(lparam)), y));
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

LayoutMetrics text_metrics(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(ANSI_FIXED_FONT));
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  LayoutMetrics m;
  m.line_height = std::max<int>(metrics.tmHeight, 1);
  m.char_width = std::max<int>(metrics.tmAveCharWidth, 1);
  // Margins grow with the font, as the desktop's scale grows it (13 pixels at 100 %).
  m.margin = 2 * std::max<int>(m.line_height / 13, 1);
  return m;
}

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
