#include "tools/viewer/viewer_find.h"

#include <algorithm>

namespace fpu::viewer {

namespace {

char folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

void ViewerFind::set_query(std::string_view query, bool match_case) {
  query_ = query;
  match_case_ = match_case;
  counted_ = false;
  counted_to_ = resume_ = count_ = before_ = 0;
}

std::optional<std::size_t> ViewerFind::search(std::string_view text, std::size_t from,
                                              std::size_t to) const {
  if (query_.empty() || to > text.size() || from + query_.size() > to) return std::nullopt;
  const auto first = text.begin() + static_cast<std::ptrdiff_t>(from);
  const auto last = text.begin() + static_cast<std::ptrdiff_t>(to);
  const auto found = match_case_
                         ? std::search(first, last, query_.begin(), query_.end())
                         : std::search(first, last, query_.begin(), query_.end(),
                                       [](char a, char b) { return folded(a) == folded(b); });
  if (found == last) return std::nullopt;
  return static_cast<std::size_t>(found - text.begin());
}

std::optional<std::size_t> ViewerFind::next(std::string_view text, std::size_t from,
                                            bool backward) const {
  if (query_.empty()) return std::nullopt;
  from = std::min(from, text.size());
  if (!backward) {
    if (auto at = search(text, from, text.size())) return at;
    return search(text, 0, text.size());
  }
  // Backwards: the last match that begins before `from`, else the last of all.
  std::optional<std::size_t> before;
  std::optional<std::size_t> last;
  for (auto at = search(text, 0, text.size()); at; at = search(text, *at + 1, text.size())) {
    if (*at < from) before = at;
    last = at;
  }
  return before ? before : last;
}

bool ViewerFind::count_slice(std::string_view text, std::uint64_t base, std::size_t current,
                             std::size_t budget) {
  if (counted_base_ != base || counted_current_ != current || counted_to_ > text.size()) {
    counted_to_ = resume_ = count_ = before_ = 0;
    counted_base_ = base;
    counted_current_ = current;
  }
  if (query_.empty() || counted_to_ == text.size()) return counted_ = true;
  const std::size_t end = std::min(text.size(), counted_to_ + budget);
  // A match may straddle the slice's end: the slice looks that far further.
  const std::size_t look_to = std::min(text.size(), end + query_.size() - 1);
  std::size_t at = resume_;
  while (auto found = search(text, at, look_to)) {
    if (*found >= end) break;
    ++count_;
    if (*found < current) ++before_;
    at = *found + 1;
  }
  counted_to_ = end;
  // Matches that could begin before `end` but did not fit yet are looked for next time.
  resume_ = std::max(resume_,
                     std::min(end, look_to + 1 > query_.size() ? look_to + 1 - query_.size() : 0));
  return counted_ = end == text.size();
}

}  // namespace fpu::viewer
