// Where the viewer's parts go in its window, from the window's size and its font's measures:
// the text rows, the scroll bar, the bands under the text (the open bar, the status, the key
// line) and the F1 list over it. Text that would not fit its box is wrapped onto more rows,
// so both windows only paint the rectangles and strings given here and forward input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/viewer/viewer_view.h"

namespace fpu::viewer {

class ViewerModel;

struct LayoutRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool contains(int px, int py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
  }
};

struct LayoutMetrics {
  int width = 0;  // the client area
  int height = 0;
  int line_height = 16;  // a row of text
  int char_width = 8;    // each character (a monospaced font)
  int margin = 2;        // around the text and inside the bands
  int scroll_bar = 0;    // width of a scroll bar the window draws itself (0: the system's)
};

// A box of rows of text: a band or the F1 list.
struct LayoutBox {
  LayoutRect box;
  int text_x = 0;  // where the first row's text begins
  int text_y = 0;
  std::vector<std::string> rows;
  LayoutRect mark;  // behind selected text in it (the bar's, Ctrl+A); empty when none
};

struct ViewerLayout {
  int margin = 2;
  int line_height = 16;
  int char_width = 8;
  LayoutRect text;        // the rows of the text
  LayoutRect scroll_bar;  // empty when the system draws it
  int text_left = 0;      // where a line's characters begin (after the time column)
  std::size_t rows = 0;   // whole rows that fit
  std::optional<LayoutBox> bar;
  std::optional<LayoutBox> status;
  LayoutBox keys;
  std::optional<LayoutBox> help;

  // The text position under (x, y) for a view whose first row is line `top`; a point above
  // or below the text takes its first or last row.
  TextPosition position_at(int x, int y, std::uint64_t top) const;
  // Dragging to (x, y) scrolls by this many lines: -1 above the text, 1 below it, else 0.
  int edge_scroll(int y) const;
};

ViewerLayout lay_out(const ViewerModel& model, const LayoutMetrics& metrics);

// The least client area (metrics' own width and height aside) that shows the key line on
// one row and the F1 list whole with its chords beside what they do, clear of the scroll
// bar: the least window the text needs.
struct LayoutSize {
  int width = 0;
  int height = 0;
};
LayoutSize least_size(const LayoutMetrics& metrics);

// `text` in rows of at most `columns` characters, broken at blanks where it can be.
std::vector<std::string> wrap_text(std::string_view text, std::size_t columns);

// The F1 list's title.
inline constexpr const char* kKeyListTitle = "Keys of the trace viewer";

}  // namespace fpu::viewer
