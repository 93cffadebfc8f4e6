// Lines kept for a viewer that is starting, in order, up to a bound (several frames of
// string art).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fpu::viewer {

class HeldLines {
 public:
  static constexpr std::size_t kMaxBytes = 1 << 20;

  // False (the line is not kept) when the bound is reached.
  bool add(const char* text, std::size_t length);
  std::size_t count() const;
  bool empty() const { return text_.empty(); }
  void clear() { text_.clear(); }
  void swap(HeldLines& other) noexcept { text_.swap(other.text_); }

  // Calls `f(std::string_view line)` for each line, oldest first.
  template <typename F>
  void for_each(F&& f) const {
    for (std::size_t at = 0; at < text_.size();) {
      const std::size_t end = text_.find('\0', at);
      f(std::string_view(text_.data() + at, end - at));
      at = end + 1;
    }
  }

 private:
  std::string text_;  // each line ended by a NUL
};

}  // namespace fpu::viewer
