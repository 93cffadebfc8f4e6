// Finding text in the viewer's text: the next or previous match from a place, wrapping at
// the ends, and the count of all matches, both done in slices so a window can keep drawing
// while a full buffer is searched. Every search reads each byte of the text a bounded number
// of times, whatever the query (a table of how far the query overlaps itself), so a long
// query over long lines costs no more than a short one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fpu::viewer {

class ViewerFind {
 public:
  // A new query (empty: nothing to find) restarts the count. Longer than kMaxQuery: cut.
  void set_query(std::string_view query, bool match_case);
  const std::string& query() const { return query_; }
  bool match_case() const { return match_case_; }

  // The offset in `text` of the first match at or after `from` (or the last before it when
  // `backward`), wrapping around; nullopt when there is none. All at once: see begin_next.
  std::optional<std::size_t> next(std::string_view text, std::size_t from, bool backward) const;
  // The first match at or after `from` in `text`, without wrapping.
  std::optional<std::size_t> find_in(std::string_view text, std::size_t from) const;
  // Every match beginning before `limit` in `text` (for drawing a row), in order.
  std::vector<std::size_t> matches_in(std::string_view text, std::size_t limit) const;

  // The sliced form of next(): begin, then next_slice over at most `budget` bytes each until
  // it returns true; found() is then the answer. Offsets count `base`, the bytes discarded
  // before `text` (see ViewerText::discarded_bytes), so text appended or discarded between
  // slices is allowed.
  void begin_next(std::uint64_t from, bool backward);
  bool next_slice(std::string_view text, std::uint64_t base, std::size_t budget);
  bool searching() const { return searching_; }
  std::optional<std::uint64_t> found() const { return found_; }

  // Counts on over at most `budget` bytes of `text`; true once the count reached its end.
  // Matches that begin before `current` are counted apart, so "N of M" can be told. Text
  // appended since goes on the count; it starts over when the current match moved or text
  // was discarded (`base`, the bytes discarded before `text`, changed).
  bool count_slice(std::string_view text, std::uint64_t base, std::size_t current,
                   std::size_t budget);
  std::size_t count() const { return count_; }
  std::size_t before_current() const { return before_; }
  // Whether the count is done for `text` as it is, whatever the current match.
  bool counted(std::string_view text, std::uint64_t base) const {
    return counted_ && counted_base_ == base && counted_to_ == text.size();
  }
  // The current match moved to `current` with `before` matches ahead of it, known without a
  // new count (a step to the next or previous match of a finished count).
  void move_current(std::size_t current, std::size_t before);

 private:
  // Matches beginning in [from, last_start] (and fitting the text), the first only or all;
  // `each` gets every one and returns false to stop.
  template <typename Each>
  void scan(std::string_view text, std::size_t from, std::size_t last_start, Each each) const;
  // The first (or with `last`, the last) match beginning in [from, to) of `text`.
  std::optional<std::size_t> first_or_last(std::string_view text, std::size_t from, std::size_t to,
                                           bool last) const;

  std::string query_;
  std::string pattern_;              // the query, folded unless the case must match
  std::vector<std::size_t> border_;  // longest proper border of each prefix of pattern_
  bool match_case_ = false;
  // The sliced search: where it looks next, where it started, in which pass.
  bool searching_ = false;
  bool backward_ = false;
  bool second_pass_ = false;
  std::uint64_t search_from_ = 0;
  std::uint64_t search_at_ = 0;
  std::optional<std::uint64_t> found_;
  // The count: how far it went in which text, and what it found.
  std::size_t counted_to_ = 0;
  std::size_t resume_ = 0;  // where the next slice looks for matches
  std::uint64_t counted_base_ = 0;
  std::size_t counted_current_ = 0;
  std::size_t count_ = 0;
  std::size_t before_ = 0;
  bool counted_ = false;
};

}  // namespace fpu::viewer
