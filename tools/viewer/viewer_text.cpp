#include "tools/viewer/viewer_text.h"

#include <algorithm>

namespace fpu::viewer {

namespace {
constexpr std::string_view kBreak = "\r\n";
}

ViewerText::ViewerText(std::size_t limit)
    : limit_(limit), line_limit_(std::max<std::size_t>(limit / 8, 2)) {
  // Room taken once (only pages written count), so the store never grows by doubling past
  // its bound.
  text_.reserve(limit_ + kBreak.size());
  starts_.reserve(line_limit_ + 1);
  times_.reserve(line_limit_ + 1);
}

void ViewerText::append(std::string_view line) {
  // As in an edit control, an empty text is one empty line, which the next line replaces.
  if (text_.empty()) clear_index_only();
  push_line(line);
}

void ViewerText::append_raw(std::string_view raw) {
  bool first = true;
  for (std::size_t at = 0;;) {
    const std::size_t next = raw.find(kBreak, at);
    const std::string_view piece =
        raw.substr(at, next == std::string_view::npos ? raw.npos : next - at);
    if (first && !starts_.empty()) {
      extend_last(piece);
    } else {
      push_line(piece);
    }
    first = false;
    if (next == std::string_view::npos) return;
    at = next + kBreak.size();
  }
}

void ViewerText::assign_raw(std::string_view raw) {
  clear();
  if (!raw.empty()) append_raw(raw);
}

void ViewerText::clear_index_only() {
  discarded_ += starts_.size();
  starts_.clear();
  times_.clear();
}

void ViewerText::clear() {
  clear_index_only();
  discarded_bytes_ += text_.size();
  text_.clear();
}

void ViewerText::push_line(std::string_view piece) {
  const std::size_t separator = starts_.empty() ? 0 : kBreak.size();
  if (piece.size() > limit_) piece = piece.substr(piece.size() - limit_);
  make_room(separator + piece.size(), true);
  if (!starts_.empty()) text_ += kBreak;
  starts_.push_back(static_cast<Start>(text_.size()));
  times_.push_back(clock_ ? clock_() : 0);
  text_ += piece;
}

void ViewerText::extend_last(std::string_view piece) {
  make_room(piece.size(), false);
  text_ += piece;
  // A last line longer than the limit keeps its tail.
  if (text_.size() > limit_) {
    const std::size_t cut = text_.size() - limit_;
    text_.erase(0, cut);
    discarded_bytes_ += cut;
  }
}

void ViewerText::make_room(std::size_t need, bool new_line) {
  const bool text_full = text_.size() + need > limit_;
  const bool lines_full = new_line && starts_.size() + 1 > line_limit_;
  if (!text_full && !lines_full) return;
  // Keep the lines that begin in the newest half (and leave room for `need`).
  std::size_t first_kept = 0;
  if (text_full) {
    const std::size_t half = text_.size() > limit_ / 2 ? text_.size() - limit_ / 2 : 0;
    const std::size_t room = text_.size() + need > limit_ ? text_.size() + need - limit_ : 0;
    const std::size_t cut_at = std::max(half, room);
    first_kept = static_cast<std::size_t>(std::lower_bound(starts_.begin(), starts_.end(), cut_at) -
                                          starts_.begin());
  }
  if (lines_full) first_kept = std::max(first_kept, starts_.size() - line_limit_ / 2);
  if (!new_line) first_kept = std::min(first_kept, starts_.size() - 1);
  if (first_kept == 0) return;
  if (first_kept >= starts_.size()) {
    clear();
    return;
  }
  const std::size_t cut = starts_[first_kept];
  discarded_ += first_kept;
  discarded_bytes_ += cut;
  starts_.erase(starts_.begin(), starts_.begin() + static_cast<std::ptrdiff_t>(first_kept));
  times_.erase(times_.begin(), times_.begin() + static_cast<std::ptrdiff_t>(first_kept));
  for (auto& start : starts_) start -= static_cast<Start>(cut);
  text_.erase(0, cut);
}

std::string_view ViewerText::line(std::size_t index) const {
  if (index >= starts_.size()) return {};
  const std::size_t begin = starts_[index];
  const std::size_t end =
      index + 1 < starts_.size() ? starts_[index + 1] - kBreak.size() : text_.size();
  return std::string_view(text_).substr(begin, end - begin);
}

std::size_t ViewerText::line_at(std::size_t offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return after == starts_.begin() ? 0 : static_cast<std::size_t>(after - starts_.begin()) - 1;
}

std::vector<std::string_view> ViewerText::last_lines(std::size_t count) const {
  std::vector<std::string_view> lines;
  const std::size_t first = starts_.size() - std::min(count, starts_.size());
  for (std::size_t i = first; i < starts_.size(); ++i) lines.push_back(line(i));
  return lines;
}

}  // namespace fpu::viewer
