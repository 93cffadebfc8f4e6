#include "tools/viewer/viewer_find.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "tools/viewer/viewer_limits.h"

namespace fpu::viewer {

namespace {

// ASCII letters to lower case, every other byte as it is.
constexpr std::array<char, 256> kFolded = [] {
  std::array<char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[static_cast<std::size_t>(c)] =
        static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return table;
}();

char folded(char c) {
  return kFolded[static_cast<unsigned char>(c)];
}

}  // namespace

void ViewerFind::set_query(std::string_view query, bool match_case) {
  query_ = query.substr(0, kMaxQuery);
  match_case_ = match_case;
  pattern_ = query_;
  if (!match_case_) {
    for (char& c : pattern_) c = folded(c);
  }
  // border_[i]: the length of the longest proper prefix of pattern_[0..i] that also ends it.
  border_.assign(pattern_.size(), 0);
  for (std::size_t i = 1, k = 0; i < pattern_.size(); ++i) {
    while (k > 0 && pattern_[i] != pattern_[k]) k = border_[k - 1];
    if (pattern_[i] == pattern_[k]) ++k;
    border_[i] = k;
  }
  searching_ = false;
  found_.reset();
  counted_ = false;
  counted_to_ = resume_ = count_ = before_ = 0;
}

template <typename Each>
void ViewerFind::scan(std::string_view text, std::size_t from, std::size_t stop, Each each) const {
  const std::size_t m = pattern_.size();
  stop = std::min(stop, text.size());
  if (m == 0 || from >= stop) return;
  // Matches beginning before `stop` end at most m - 1 bytes past it.
  const std::size_t end = std::min(text.size(), stop + (m - 1));
  const char* const p = pattern_.data();
  const char* const t = text.data();
  std::size_t k = 0;  // bytes of the pattern matched so far
  for (std::size_t i = from; i < end; ++i) {
    if (k == 0) {
      // Nothing matched yet: skip to the next byte that could begin a match.
      if (match_case_) {
        const void* at = std::memchr(t + i, p[0], end - i);
        if (at == nullptr) return;
        i = static_cast<std::size_t>(static_cast<const char*>(at) - t);
      } else {
        while (i < end && folded(t[i]) != p[0]) ++i;
        if (i == end) return;
      }
    }
    const char c = match_case_ ? t[i] : folded(t[i]);
    while (k > 0 && p[k] != c) k = border_[k - 1];
    if (p[k] == c) ++k;
    if (k == m) {
      if (!each(i + 1 - m)) return;
      k = border_[m - 1];
    }
  }
}

std::optional<std::size_t> ViewerFind::first_or_last(std::string_view text, std::size_t from,
                                                     std::size_t to, bool last) const {
  std::optional<std::size_t> found;
  scan(text, from, to, [&](std::size_t at) {
    found = at;
    return last;
  });
  return found;
}

std::optional<std::size_t> ViewerFind::find_in(std::string_view text, std::size_t from) const {
  return first_or_last(text, from, text.size(), false);
}

std::vector<std::size_t> ViewerFind::matches_in(std::string_view text, std::size_t limit) const {
  std::vector<std::size_t> found;
  scan(text, 0, limit, [&](std::size_t at) {
    found.push_back(at);
    return true;
  });
  return found;
}

std::optional<std::size_t> ViewerFind::next(std::string_view text, std::size_t from,
                                            bool backward) const {
  from = std::min(from, text.size());
  // Forwards: the first match at or after `from`, else the first of all. Backwards: the last
  // match that begins before `from`, else the last of all.
  if (auto at = backward ? first_or_last(text, 0, from, true)
                         : first_or_last(text, from, text.size(), false)) {
    return at;
  }
  return backward ? first_or_last(text, from, text.size(), true)
                  : first_or_last(text, 0, from, false);
}

void ViewerFind::begin_next(std::uint64_t from, bool backward) {
  searching_ = !pattern_.empty();
  backward_ = backward;
  second_pass_ = false;
  search_from_ = from;
  search_at_ = backward ? 0 : from;
  found_.reset();
}

bool ViewerFind::next_slice(std::string_view text, std::uint64_t base, std::size_t budget) {
  if (!searching_) return true;
  const std::uint64_t end = base + text.size();
  const auto local = [&](std::uint64_t at) {
    return static_cast<std::size_t>(std::clamp(at, base, end) - base);
  };
  // A candidate of a backward pass may have been discarded since.
  if (found_ && *found_ < base) found_.reset();
  budget = std::max<std::size_t>(budget, 1);
  for (;;) {
    // Forwards the first pass looks from `from` to the end, the second (wrapped) from the
    // start to `from`; backwards the other way round, keeping the last match seen.
    const std::size_t from = local(search_at_);
    const std::size_t to = local(backward_ != second_pass_ ? search_from_ : end);
    const std::size_t stop = from < to ? std::min(to, from + std::min(budget, to - from)) : from;
    if (from < stop) {
      if (const auto at = first_or_last(text, from, stop, backward_)) {
        found_ = base + *at;
        if (!backward_) break;
      }
      search_at_ = base + stop;
      budget -= stop - from;
      if (stop < to) return false;
    }
    if (found_ || second_pass_) break;
    second_pass_ = true;
    search_at_ = backward_ ? search_from_ : 0;
    if (budget == 0) return false;
  }
  searching_ = false;
  return true;
}

bool ViewerFind::count_slice(std::string_view text, std::uint64_t base, std::size_t current,
                             std::size_t budget) {
  if (counted_base_ != base || counted_current_ != current || counted_to_ > text.size()) {
    counted_to_ = resume_ = count_ = before_ = 0;
    counted_base_ = base;
    counted_current_ = current;
  }
  if (pattern_.empty() || counted_to_ == text.size()) return counted_ = true;
  const std::size_t end = std::min(text.size(), counted_to_ + budget);
  // Every match beginning in [resume_, end) that fits the text so far.
  std::size_t last = resume_;
  scan(text, resume_, end, [&](std::size_t at) {
    ++count_;
    if (at < current) ++before_;
    last = at + 1;
    return true;
  });
  counted_to_ = end;
  // A match beginning before `end` may not fit the text yet: those are looked for again
  // once more text came, from the first start not yet ruled out.
  const std::size_t m = pattern_.size();
  const std::size_t decided = text.size() - end >= m - 1 ? end : std::max(text.size() + 1, m) - m;
  resume_ = std::max({resume_, last, std::min(end, decided)});
  return counted_ = end == text.size();
}

void ViewerFind::move_current(std::size_t current, std::size_t before) {
  counted_current_ = current;
  before_ = before;
}

}  // namespace fpu::viewer
