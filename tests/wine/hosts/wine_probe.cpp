// fpu-wine-probe.exe: looks at the program's windows from inside Wine for the end-to-end
// scripts (tests/wine), through the same window services the program itself uses.
//   fpu-wine-probe main-window [WAIT_MS]      class, title and rectangles of the program's window
//                                             (client_origin: the client area within the window)
//   fpu-wine-probe viewer-text [LINES [WAIT_MS]]  the viewer's text, once it has LINES lines
//   fpu-wine-probe viewer-caret-home          put the viewer's caret at the start (as a click does)
//   fpu-wine-probe viewer-close [WAIT_MS]     close the viewer and wait until it is gone
//   fpu-wine-probe font-info                  the font a new memory DC draws the counter with
//   fpu-wine-probe main-window-move X Y       move the program's window (its frame) to X, Y
//   fpu-wine-probe viewer-window [WAIT_MS]    the viewer's window rectangle, once it exists
//   fpu-wine-probe work-area                  the desktop's work area
//   fpu-wine-probe viewer-send < LINES        each line of the input through the program's trace
//                                             delivery (a viewer is started when none is open)
//   fpu-wine-probe viewer-top                 the first line the viewer's view shows (from 0)
// Exit status 0 on success, 1 when the window is missing or the wait ran out, 2 on bad usage.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "trace/win32/viewer_sink.h"

namespace {

constexpr const char* program_class = "Win32asm_class";

DWORD arg_ms(int argc, char** argv, int index, DWORD fallback) {
  return argc > index ? static_cast<DWORD>(std::strtoul(argv[index], nullptr, 10)) : fallback;
}

// Polls `find` every 50 ms until it returns a window or `wait_ms` passes.
template <class Find>
HWND wait_for(Find find, DWORD wait_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND w = find()) return w;
    if (GetTickCount() - start >= wait_ms) return nullptr;
    Sleep(50);
  }
}

HWND viewer_edit() {
  HWND viewer = FindWindowA(fpu::viewer_window_class, nullptr);
  return viewer ? FindWindowExA(viewer, nullptr, "Edit", nullptr) : nullptr;
}

std::string window_text(HWND edit) {
  LRESULT length = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  LRESULT got = SendMessageA(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(got));
  return text;
}

std::size_t line_count(const std::string& text) {
  if (text.empty()) return 0;
  std::size_t lines = 1;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos;
       at = text.find("\r\n", at + 2)) {
    ++lines;
  }
  return lines;
}

int main_window(DWORD wait_ms) {
  HWND w = wait_for([] { return FindWindowA(program_class, nullptr); }, wait_ms);
  if (!w) {
    std::printf("no window of class %s\n", program_class);
    return 1;
  }
  char cls[256] = {};
  char title[256] = {};
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, title, sizeof title);
  RECT r{};
  RECT c{};
  GetWindowRect(w, &r);
  GetClientRect(w, &c);
  POINT origin{0, 0};
  ClientToScreen(w, &origin);
  std::printf("class=%s\ntitle=%s\nwindow=%ld,%ld,%ld,%ld\nclient=%ldx%ld\nclient_origin=%ld,%ld\n",
              cls, title, r.left, r.top, r.right - r.left, r.bottom - r.top, c.right, c.bottom,
              origin.x - r.left, origin.y - r.top);
  return 0;
}

int viewer_text(std::size_t lines, DWORD wait_ms) {
  const DWORD start = GetTickCount();
  std::string text;
  for (;;) {
    if (HWND edit = viewer_edit()) {
      text = window_text(edit);
      // A separator without its line yet means a line is being inserted right now.
      bool mid_line = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
      if (line_count(text) >= lines && !mid_line) break;
    }
    if (GetTickCount() - start >= wait_ms) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::fprintf(stderr, "viewer has %zu of %zu lines\n", line_count(text), lines);
      return 1;
    }
    Sleep(50);
  }
  // Lines are separated by CR LF in the control; print them with plain LF.
  std::string out;
  for (char ch : text) {
    if (ch != '\r') out += ch;
  }
  if (!out.empty()) out += '\n';
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

int viewer_caret_home() {
  HWND edit = viewer_edit();
  if (!edit) return 1;
  SendMessageA(edit, EM_SETSEL, 0, 0);
  return 0;
}

int viewer_close(DWORD wait_ms) {
  HWND viewer = FindWindowA(fpu::viewer_window_class, nullptr);
  if (viewer) PostMessageA(viewer, WM_CLOSE, 0, 0);
  const DWORD start = GetTickCount();
  while (FindWindowA(fpu::viewer_window_class, nullptr)) {
    if (GetTickCount() - start >= wait_ms) return 1;
    Sleep(50);
  }
  return 0;
}

// What TextOutA on a new memory DC draws with: face, metrics, and the glyph used for NUL.
int font_info() {
  HDC dc = CreateCompatibleDC(nullptr);
  char face[LF_FACESIZE] = {};
  GetTextFaceA(dc, sizeof face, face);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SIZE nul{};
  GetTextExtentPoint32A(dc, "\0", 1, &nul);
  SIZE digit{};
  GetTextExtentPoint32A(dc, "0", 1, &digit);
  std::printf(
      "face=%s\nheight=%ld ascent=%ld descent=%ld internal_leading=%ld\n"
      "average_width=%ld max_width=%ld first=%d last=%d default=%d\n"
      "truetype=%s vector=%s\nadvance_nul=%ld advance_digit=%ld\n",
      face, tm.tmHeight, tm.tmAscent, tm.tmDescent, tm.tmInternalLeading, tm.tmAveCharWidth,
      tm.tmMaxCharWidth, tm.tmFirstChar, tm.tmLastChar, tm.tmDefaultChar,
      (tm.tmPitchAndFamily & TMPF_TRUETYPE) ? "yes" : "no",
      (tm.tmPitchAndFamily & TMPF_VECTOR) ? "yes" : "no", nul.cx, digit.cx);
  DeleteDC(dc);
  return 0;
}

// Prints NAME=X,Y,WIDTH,HEIGHT.
void print_rect(const char* name, const RECT& r) {
  std::printf("%s=%ld,%ld,%ld,%ld\n", name, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

int main_window_move(int x, int y) {
  HWND w = FindWindowA(program_class, nullptr);
  if (!w) return 1;
  if (!SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) return 1;
  RECT r{};
  GetWindowRect(w, &r);
  print_rect("window", r);
  return 0;
}

int viewer_window(DWORD wait_ms) {
  HWND w = wait_for([] { return FindWindowA(fpu::viewer_window_class, nullptr); }, wait_ms);
  if (!w) return 1;
  RECT r{};
  GetWindowRect(w, &r);
  print_rect("viewer", r);
  return 0;
}

int work_area() {
  RECT r{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) return 1;
  print_rect("work", r);
  return 0;
}

int viewer_send() {
  _setmode(_fileno(stdin), _O_BINARY);
  std::uint64_t lines = 0;
  fpu::ViewerSinkStats stats;
  {
    fpu::Win32ViewerTraceSink sink;
    std::string line;
    while (std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      // The queue holds 65,536 lines: a full one is waited out, not dropped.
      while (sink.send_trace_line(line.c_str()) == 0) sink.wait_idle(1000);
      ++lines;
    }
    sink.wait_idle(60000);
    stats = sink.stats();
  }
  if (stats.delivered != lines) {
    std::fprintf(stderr, "%llu of %llu lines delivered\n",
                 static_cast<unsigned long long>(stats.delivered),
                 static_cast<unsigned long long>(lines));
    return 1;
  }
  return 0;
}

int viewer_top() {
  HWND edit = viewer_edit();
  if (!edit) return 1;
  DWORD_PTR top = 0;
  if (!SendMessageTimeoutA(edit, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_NORMAL, 5000, &top)) return 1;
  std::printf("%llu\n", static_cast<unsigned long long>(top));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Plain LF line ends, as on Linux, so outputs compare byte for byte.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) {
    std::fprintf(
        stderr,
        "usage: fpu-wine-probe main-window|viewer-text|viewer-caret-home|viewer-close|font-info|"
        "main-window-move|viewer-window|work-area|viewer-send|viewer-top\n");
    return 2;
  }
  const std::string command = argv[1];
  if (command == "main-window") return main_window(arg_ms(argc, argv, 2, 0));
  if (command == "viewer-text") {
    return viewer_text(arg_ms(argc, argv, 2, 0), arg_ms(argc, argv, 3, 5000));
  }
  if (command == "viewer-caret-home") return viewer_caret_home();
  if (command == "viewer-close") return viewer_close(arg_ms(argc, argv, 2, 5000));
  if (command == "font-info") return font_info();
  if (command == "main-window-move" && argc == 4) {
    return main_window_move(std::atoi(argv[2]), std::atoi(argv[3]));
  }
  if (command == "viewer-window") return viewer_window(arg_ms(argc, argv, 2, 5000));
  if (command == "work-area") return work_area();
  if (command == "viewer-send") return viewer_send();
  if (command == "viewer-top") return viewer_top();
  std::fprintf(stderr, "unknown command: %s\n", command.c_str());
  return 2;
}
