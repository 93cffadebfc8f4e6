// The trace viewer as both platforms show it: the text, the view over it, the key commands,
// the key list and the status line. A platform's window draws what this holds and forwards
// its input here; only the clipboard and the file writing are the platform's own.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/viewer/viewer_commands.h"
#include "tools/viewer/viewer_edit.h"
#include "tools/viewer/viewer_find.h"
#include "tools/viewer/viewer_highlight.h"
#include "tools/viewer/viewer_limits.h"
#include "tools/viewer/viewer_save.h"
#include "tools/viewer/viewer_text.h"
#include "tools/viewer/viewer_view.h"

namespace fpu::viewer {

// What a key asks of the platform beyond a redraw.
enum class KeyOutcome {
  ignored,  // not a viewer key: the platform may handle it
  handled,
  copy,  // put selected_text() on the clipboard
};

// A line of the F1 list: the chords (joined) and what they do.
struct KeyHelp {
  std::string keys;
  std::string does;
};

class ViewerModel {
 public:
  // Writes the text to the documents folder under a dated name (viewer_save.h).
  using Saver = std::function<SaveResult(const std::string& text, std::time_t when)>;
  explicit ViewerModel(Saver saver, std::size_t limit = kTextLimit);
  ViewerModel(const ViewerModel&) = delete;
  ViewerModel& operator=(const ViewerModel&) = delete;

  // The text as received: senders append here.
  ViewerText& text() { return text_; }
  const ViewerText& text() const { return text_; }
  // What the window shows: the received text, or while a filter is set the lines it keeps.
  const ViewerText& shown_text() const { return filter_typed_.empty() ? text_ : filtered_; }
  // The view over shown_text().
  ViewerView& view() { return filter_typed_.empty() ? view_ : filtered_view_; }
  const ViewerView& view() const { return filter_typed_.empty() ? view_ : filtered_view_; }
  EditSelection& edit() { return edit_; }

  // After lines were appended, discarded or replaced.
  void text_changed();

  KeyOutcome key(ViewerKey key, bool ctrl, bool shift = false, bool alt = false);
  // Typed text: goes to the find bar while it is open. Returns whether it was taken.
  bool type(std::string_view typed);
  // Work done between frames: looks for the next match and counts matches over at most
  // `budget` bytes. Returns whether there is more to do or the bar's line changed.
  bool work(std::size_t budget);
  // Whether work() has something to do (a search or a count under way).
  bool busy() const;
  // Wheel notches, positive away from the user (scrolls up).
  void wheel(int notches);
  // A click in the text (Shift extends the selection) and a drag from it.
  void press(TextPosition at, bool shift);
  void drag(TextPosition at) { view().extend_selection(at); }
  void clear();
  void save(std::time_t when);

  bool help_shown() const { return help_shown_; }
  bool find_open() const { return find_open_; }
  const ViewerFind& find() const { return find_; }
  // The current match as line number and column, when there is one.
  std::optional<TextPosition> current_match() const;
  // "find: QUERY   N of M" while the bar is open.
  std::string find_line() const;
  // Shows only the lines containing `filter` (case-insensitive), or with a leading '!' those
  // not containing the rest; empty shows every line. Lines arriving meanwhile are kept.
  void set_filter(std::string_view filter);
  const std::string& filter() const { return filter_typed_; }
  // Highlight rules; `keeper` writes them away after each change (returns an error or "").
  using HighlightKeeper = std::function<std::string(const Highlights&)>;
  void set_highlights(const Highlights& rules, HighlightKeeper keeper);
  const Highlights& highlights() const { return highlights_; }
  // A note for the status line until Escape (e.g. a config that was set aside).
  void note(std::string text) { status_ = std::move(text); }
  // Whether a bar for typed text is open (find, filter or highlight), and its line.
  bool bar_open() const { return find_open_ || filter_open_ || highlight_open_; }
  std::string bar_line() const;
  // Whether the open bar's text is selected (Ctrl+A, or the bar opened again), and where in
  // bar_line() that text is.
  bool bar_selected() const { return bar_selected_; }
  std::size_t bar_label_size() const;
  std::size_t bar_text_size() const;
  bool paused() const { return paused_; }
  // The time column: when each line arrived, in seconds since the viewer started.
  bool time_shown() const { return time_shown_; }
  // Whether the window stays above others (off until toggled).
  bool on_top() const { return on_top_; }
  // Characters the time column takes before each line (0 while hidden).
  std::size_t time_columns() const { return time_shown_ ? kTimeColumns : 0; }
  // The time column's text for line `index` of the text.
  std::string time_text(std::size_t index) const;
  // What Ctrl+S writes: the text as received, with the time column when it is shown.
  std::string text_to_save() const;
  // The status line: the last save's outcome, or the pause.
  std::string status() const;
  // The window title: `base`, and where the last save went.
  std::string title(std::string_view base) const;

  // Every key the viewer knows, for the F1 list (made from kCommandKeys).
  static std::vector<KeyHelp> key_list();
  // The short key line under the text.
  static const char* key_line();

 private:
  ViewerText text_;
  ViewerView view_;
  EditSelection edit_;
  Saver saver_;
  void find_step(bool backward);
  // Starts looking for the next match from `from` (an offset counting discarded bytes) and
  // looks through a first slice of the text.
  void begin_search(std::uint64_t from, bool backward, bool step);
  // Looks on; once the match is known it becomes the current one. Returns whether it is.
  bool search_on(std::size_t budget);
  // The find bar's text or case changed.
  void new_query(bool match_case);
  void update_filter();
  void refilter();
  bool kept(std::string_view line) const;
  // Appends line `index` of the received text to the filtered text, with its time.
  void keep(std::size_t index);
  void toggle_pause();

  // The filter: a copy of the lines it keeps, the view over them, and how far the received
  // text was looked at (line number, the size that line had, whether it was kept).
  ViewerText filtered_;
  ViewerView filtered_view_;
  bool filter_open_ = false;
  std::string filter_bar_;    // typed into the bar, set on Enter
  std::string filter_typed_;  // the filter in force
  ViewerFind filter_find_;
  bool filter_not_ = false;
  std::uint64_t filter_first_ = 0;
  std::uint64_t checked_ = 0;
  std::size_t checked_size_ = 0;
  bool checked_kept_ = false;
  std::uint32_t keep_time_ = 0;

  Highlights highlights_;
  HighlightKeeper keeper_;
  bool highlight_open_ = false;
  std::string highlight_bar_;
  // Opens one of the bars for typed text, closing the others.
  void open_bar(bool& bar);
  // The open bar's text, or null.
  std::string* bar_text();
  bool bar_selected_ = false;
  static constexpr const char* kFindLabel = "Find: ";
  static constexpr const char* kFilterLabel = "Filter: ";
  static constexpr const char* kHighlightLabel = "Highlight: ";

  bool help_shown_ = false;
  ViewerFind find_;
  bool find_open_ = false;
  std::string find_typed_;
  // The current match, counting discarded bytes (see ViewerText::discarded_bytes).
  std::optional<std::uint64_t> match_;
  bool counting_done_ = false;
  // A step from a counted match to the next or previous one: its place among the matches is
  // known without counting again.
  struct Step {
    bool backward = false;
    std::size_t from = 0;
    std::size_t before = 0;
  };
  std::optional<Step> step_;
  // A letter taken as a command with Alt or Ctrl: its character, when the platform sends it
  // as well, is not typed.
  char swallow_ = 0;
  static constexpr std::size_t kTimeColumns = 12;
  bool time_shown_ = false;
  bool on_top_ = false;
  bool paused_ = false;
  bool follow_on_resume_ = false;
  std::uint64_t paused_end_ = 0;
  std::string status_;
  std::string title_note_;
};

}  // namespace fpu::viewer
