#include "tools/viewer/viewer_text.h"

#include <algorithm>

namespace fpu::viewer {

namespace {
constexpr std::string_view kBreak = "\r\n";
}

void ViewerText::append(std::string_view line) {
  if (!text_.empty()) text_ += kBreak;
  text_ += line;
  if (text_.size() <= limit_) return;
  const auto cut = text_.find(kBreak, text_.size() - limit_ / 2);
  if (cut == std::string::npos) {
    text_.assign(line.substr(line.size() - std::min(line.size(), limit_)));
  } else {
    text_.erase(0, cut + kBreak.size());
  }
}

std::vector<std::string_view> ViewerText::last_lines(std::size_t count) const {
  std::vector<std::string_view> lines;
  if (text_.empty()) return lines;
  const std::string_view all = text_;
  std::size_t end = all.size();
  while (lines.size() < count) {
    const auto brk = end >= kBreak.size() ? all.rfind(kBreak, end - kBreak.size()) : all.npos;
    const std::size_t begin = brk == all.npos ? 0 : brk + kBreak.size();
    lines.push_back(all.substr(begin, end - begin));
    if (brk == all.npos) break;
    end = brk;
  }
  std::reverse(lines.begin(), lines.end());
  return lines;
}

}  // namespace fpu::viewer
