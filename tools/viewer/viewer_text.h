// The viewer's text, kept the way a multi-line edit control receiving appended lines holds it:
// lines separated by "\r\n", none before the first line of an empty text.
#pragma once

#include <cstddef>
#include <cstdint>
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
  void clear();
  const std::string& text() const { return text_; }

  std::size_t line_count() const { return starts_.size(); }
  std::string_view line(std::size_t index) const;
  // Lines are also known by a number that stays with them while older lines are discarded:
  // line(i) has the number first_number() + i.
  std::uint64_t first_number() const { return discarded_; }
  // The last `count` lines (fewer when the text has fewer), oldest first.
  std::vector<std::string_view> last_lines(std::size_t count) const;

 private:
  std::size_t limit_;
  std::string text_;
  std::vector<std::size_t> starts_;  // where each line begins in text_
  std::uint64_t discarded_ = 0;
};

}  // namespace fpu::viewer
