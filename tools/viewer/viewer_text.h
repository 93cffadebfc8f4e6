// The viewer's text, kept the way a multi-line edit control receiving appended lines holds it:
// lines separated by "\r\n", none before the first line of an empty text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fpu::viewer {

class ViewerText {
 public:
  // Past `limit` bytes the oldest lines are discarded (about half the text at once), so a
  // viewer left running under a steady stream of lines does not grow without end.
  static constexpr std::size_t kDefaultLimit = std::size_t{16} << 20;
  explicit ViewerText(std::size_t limit = kDefaultLimit) : limit_(limit) {}

  void append(std::string_view line);
  void clear() { text_.clear(); }
  const std::string& text() const { return text_; }
  // The last `count` lines (fewer when the text has fewer), oldest first.
  std::vector<std::string_view> last_lines(std::size_t count) const;

 private:
  std::size_t limit_;
  std::string text_;
};

}  // namespace fpu::viewer
