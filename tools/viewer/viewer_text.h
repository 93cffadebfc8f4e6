// The viewer's text, kept the way a multi-line edit control receiving appended lines holds it:
// lines separated by "\r\n", none before the first line of an empty text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/viewer/viewer_limits.h"

namespace fpu::viewer {

class ViewerText {
 public:
  // Past `limit` bytes of text or `limit / 8` lines the oldest lines are discarded (about
  // half at once), so a viewer left running under any stream of lines stays bounded: text,
  // index and times together stay within twice `limit`.
  explicit ViewerText(std::size_t limit = kTextLimit);

  // Each line records when it began: the clock's reading then (milliseconds; none: 0).
  using Clock = std::function<std::uint32_t()>;
  void set_clock(Clock clock) { clock_ = std::move(clock); }
  std::uint32_t time_of(std::size_t index) const { return times_[index]; }

  void append(std::string_view line);
  // Appends text as an edit control takes it at its end: the part before the first "\r\n"
  // continues the last line, each "\r\n" begins a new one.
  void append_raw(std::string_view raw);
  // Replaces the whole text with `raw` (lines split at "\r\n").
  void assign_raw(std::string_view raw);
  void clear();
  const std::string& text() const { return text_; }

  std::size_t line_count() const { return starts_.size(); }
  std::string_view line(std::size_t index) const;
  // The index of the line holding byte `offset` of text().
  std::size_t line_at(std::size_t offset) const;
  // Where line(index) begins in text().
  std::size_t line_start(std::size_t index) const { return starts_[index]; }
  // Lines are also known by a number that stays with them while older lines are discarded:
  // line(i) has the number first_number() + i.
  std::uint64_t first_number() const { return discarded_; }
  // Bytes discarded from the front so far: an offset into text() plus this stays with its byte.
  std::uint64_t discarded_bytes() const { return discarded_bytes_; }
  // The last `count` lines (fewer when the text has fewer), oldest first.
  std::vector<std::string_view> last_lines(std::size_t count) const;
  // Bytes the text and its index hold.
  std::size_t store_bytes() const {
    return text_.size() + starts_.size() * (sizeof(Start) + sizeof(std::uint32_t));
  }

 private:
  using Start = std::uint32_t;  // the limit keeps offsets well below 4 GiB
  // Starts a line holding `piece` (cut to its tail when longer than the limit).
  void push_line(std::string_view piece);
  // Appends `piece` to the last line.
  void extend_last(std::string_view piece);
  // Discards the oldest lines so that `need` more bytes (and a new line when `new_line`)
  // fit; the last line stays when it is to be extended.
  void make_room(std::size_t need, bool new_line);
  void clear_index_only();

  std::size_t limit_;
  std::size_t line_limit_;
  std::string text_;
  std::vector<Start> starts_;         // where each line begins in text_
  std::vector<std::uint32_t> times_;  // when each line began
  Clock clock_;
  std::uint64_t discarded_ = 0;
  std::uint64_t discarded_bytes_ = 0;
};

}  // namespace fpu::viewer
