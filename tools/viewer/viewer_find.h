// Finding text in the viewer's text: the next or previous match from a place, wrapping at
// the ends, and the count of all matches done in slices so a window can keep drawing while a
// full buffer is counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fpu::viewer {

class ViewerFind {
 public:
  // A new query (empty: nothing to find) restarts the count.
  void set_query(std::string_view query, bool match_case);
  const std::string& query() const { return query_; }
  bool match_case() const { return match_case_; }

  // The offset in `text` of the first match at or after `from` (or the last before it when
  // `backward`), wrapping around; nullopt when there is none.
  std::optional<std::size_t> next(std::string_view text, std::size_t from, bool backward) const;
  // The first match at or after `from` in `text`, without wrapping (for drawing matches).
  std::optional<std::size_t> find_in(std::string_view text, std::size_t from) const {
    return search(text, from, text.size());
  }

  // Counts on over at most `budget` bytes of `text`; true once the count reached its end.
  // Matches that begin before `current` are counted apart, so "N of M" can be told. Text
  // appended since goes on the count; it starts over when the current match moved or text
  // was discarded (`base`, the bytes discarded before `text`, changed).
  bool count_slice(std::string_view text, std::uint64_t base, std::size_t current,
                   std::size_t budget);
  std::size_t count() const { return count_; }
  std::size_t before_current() const { return before_; }

 private:
  std::optional<std::size_t> search(std::string_view text, std::size_t from, std::size_t to) const;

  std::string query_;
  bool match_case_ = false;
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
