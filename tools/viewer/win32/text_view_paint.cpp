#include "tools/viewer/win32/text_view_paint.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace fpu::viewer {

namespace {

struct Painter : TextLayout {
  HWND hwnd;
  HFONT font;
  const ViewerModel& model;
  bool matched_row_ = false;

  ViewerLayout parts = of(model);

  int text_left() const { return parts.text_left; }
  int text_height() const { return parts.text.height; }

  void draw_string(HDC dc, std::string_view text, int x, int y) {
    TextOutA(dc, x, y, text.data(), static_cast<int>(std::min(text.size(), kMaxDrawn)));
  }

  void draw_band(HDC dc, const LayoutBox& band, COLORREF background) {
    const RECT box{band.box.x, band.box.y, band.box.x + band.box.width,
                   band.box.y + band.box.height};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &box, brush);
    DeleteObject(brush);
    if (band.mark.width > 0) {
      const RECT mark{band.mark.x, band.mark.y, band.mark.x + band.mark.width,
                      band.mark.y + band.mark.height};
      HBRUSH selected = CreateSolidBrush(RGB(173, 214, 255));
      FillRect(dc, &mark, selected);
      DeleteObject(selected);
    }
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, background);
    SetTextColor(dc, RGB(0, 0, 0));
    for (std::size_t i = 0; i < band.rows.size(); ++i) {
      draw_string(dc, band.rows[i], band.text_x, band.text_y + static_cast<int>(i) * line_height);
    }
  }

  void draw_rows(HDC dc) {
    const ViewerView& view = model.view();
    const ViewerText& text = model.shown_text();
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
      // A highlight rule's colour behind the whole row.
      COLORREF row_back = back;
      if (const HighlightRule* rule = model.highlights().match(line)) {
        row_back = RGB(rule->rgb.r, rule->rgb.g, rule->rgb.b);
        const RECT box{0, y, width, y + line_height};
        HBRUSH brush = CreateSolidBrush(row_back);
        FillRect(dc, &box, brush);
        DeleteObject(brush);
      }
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
        SetBkColor(dc, marked ? GetSysColor(COLOR_HIGHLIGHT) : row_back);
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
    for (const std::size_t at : model.find().matches_in(line, kMaxDrawn)) {
      const bool is_current = current && current->line == number && current->column == at;
      const int x = text_left() + static_cast<int>(at) * char_width;
      const RECT box{x, y, x + length * char_width, y + line_height};
      HBRUSH brush = CreateSolidBrush(is_current ? RGB(255, 150, 50) : RGB(255, 240, 120));
      FillRect(dc, &box, brush);
      DeleteObject(brush);
    }
    matched_row_ = true;
  }

  void draw_key_list(HDC dc, const LayoutBox& help) {
    const RECT box{help.box.x, help.box.y, help.box.x + help.box.width,
                   help.box.y + help.box.height};
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
    const RECT inside{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
    FillRect(dc, &inside, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
    for (std::size_t i = 0; i < help.rows.size(); ++i) {
      draw_string(dc, help.rows[i], help.text_x, help.text_y + static_cast<int>(i) * line_height);
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
    if (parts.status) draw_band(dc, *parts.status, RGB(255, 248, 200));
    if (parts.bar) draw_band(dc, *parts.bar, RGB(210, 230, 255));
    draw_band(dc, parts.keys, RGB(225, 225, 225));
    if (parts.help) draw_key_list(dc, *parts.help);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
  }
};

}  // namespace

void paint_text_view(HWND hwnd, HFONT font, const TextLayout& layout, const ViewerModel& model) {
  Painter painter{layout, hwnd, font, model};
  painter.paint();
}

}  // namespace fpu::viewer
