#include "tools/viewer/viewer_text.h"

#include <algorithm>

namespace fpu::viewer {

namespace {
constexpr std::string_view kBreak = "\r\n";
}

void ViewerText::append(std::string_view line) {
  // As in an edit control, an empty text is one empty line, which the next line replaces.
  if (text_.empty()) {
    starts_.clear();
  } else {
    text_ += kBreak;
  }
  starts_.push_back(text_.size());
  text_ += line;
  if (text_.size() <= limit_) return;
  // Keep the lines that begin in the newest half; a single line longer than that keeps its
  // tail.
  const auto first_kept =
      std::lower_bound(starts_.begin(), starts_.end(), text_.size() - limit_ / 2);
  if (first_kept == starts_.end()) {
    const std::size_t keep = std::min(line.size(), limit_);
    text_.erase(0, text_.size() - keep);
    discarded_ += starts_.size() - 1;
    starts_.assign(1, 0);
    return;
  }
  const std::size_t cut = *first_kept;
  discarded_ += static_cast<std::uint64_t>(first_kept - starts_.begin());
  starts_.erase(starts_.begin(), first_kept);
  for (auto& start : starts_) start -= cut;
  text_.erase(0, cut);
}

void ViewerText::clear() {
  discarded_ += starts_.size();
  starts_.clear();
  text_.clear();
}

std::string_view ViewerText::line(std::size_t index) const {
  if (index >= starts_.size()) return {};
  const std::size_t begin = starts_[index];
  const std::size_t end =
      index + 1 < starts_.size() ? starts_[index + 1] - kBreak.size() : text_.size();
  return std::string_view(text_).substr(begin, end - begin);
}

std::vector<std::string_view> ViewerText::last_lines(std::size_t count) const {
  std::vector<std::string_view> lines;
  const std::size_t first = starts_.size() - std::min(count, starts_.size());
  for (std::size_t i = first; i < starts_.size(); ++i) lines.push_back(line(i));
  return lines;
}

}  // namespace fpu::viewer
