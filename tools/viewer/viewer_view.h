// What part of the viewer's text is on screen, and what is selected. Kept apart from the
// window so that scrolling and selection follow the text the same way with or without SDL.
//
// The view follows new lines while it shows the end of the text, and stays on the lines it
// shows once the user scrolled up; going back to the end (End, or scrolling down to it)
// resumes following. Lines are known by their number in the text (ViewerText::first_number),
// so discarding old lines does not move what the user is reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/viewer/viewer_text.h"

namespace fpu::viewer {

struct TextPosition {
  std::uint64_t line = 0;  // line number in the text
  std::size_t column = 0;  // byte in the line, 0 before the first character
  friend auto operator<=>(const TextPosition&, const TextPosition&) = default;
};

// Where the scroll bar's thumb sits in a track of some length (both in pixels).
struct Thumb {
  int offset = 0;
  int length = 0;
};

class ViewerView {
 public:
  explicit ViewerView(const ViewerText& text) : text_(text) {}

  // Rows of text the window shows at once (at least 1).
  void set_rows(std::size_t rows);
  std::size_t rows() const { return rows_; }
  // Brings the view up to date after lines were appended, discarded or cleared.
  void text_changed();

  void scroll_by(std::int64_t lines);
  void page_up() { scroll_by(-page()); }
  void page_down() { scroll_by(page()); }
  void home();
  void end();
  // Puts the thumb at `fraction` (0..1) of its travel, as a drag of the thumb does.
  void scroll_to_fraction(double fraction);

  bool following() const { return following_; }
  // Stops following new lines where the view is (a pause), until end().
  void hold() { following_ = false; }
  // Scrolls so that line `number` is on screen (about the middle when it was not).
  void show_line(std::uint64_t number);
  // The line number of the top row; rows below it are top() + 1, ... while lines last.
  std::uint64_t top() const { return top_; }
  Thumb thumb(int track_length, int min_length) const;

  void begin_selection(TextPosition at);
  void extend_selection(TextPosition to);
  void select_all();
  void clear_selection() { anchor_ = caret_ = {}; }
  bool has_selection() const { return anchor_ != caret_; }
  TextPosition selection_begin() const { return std::min(anchor_, caret_); }
  TextPosition selection_end() const { return std::max(anchor_, caret_); }
  // The selected text, lines joined with "\n".
  std::string selected_text() const;

 private:
  std::int64_t page() const { return rows_ > 1 ? static_cast<std::int64_t>(rows_) - 1 : 1; }
  std::uint64_t first() const { return text_.first_number(); }
  std::uint64_t end_number() const { return text_.first_number() + text_.line_count(); }
  // The top row's number when the last line is on the bottom row.
  std::uint64_t last_top() const;
  TextPosition clamped(TextPosition at) const;

  const ViewerText& text_;
  std::size_t rows_ = 1;
  std::uint64_t top_ = 0;
  bool following_ = true;
  TextPosition anchor_;
  TextPosition caret_;
};

}  // namespace fpu::viewer
