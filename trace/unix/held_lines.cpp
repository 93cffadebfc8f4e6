#include "trace/unix/held_lines.h"

#include <algorithm>

namespace fpu::viewer {

bool HeldLines::add(const char* text, std::size_t length) {
  if (text_.size() + length + 1 > kMaxBytes) return false;
  text_.append(text, length);
  text_ += '\0';
  return true;
}

std::size_t HeldLines::count() const {
  return static_cast<std::size_t>(std::count(text_.begin(), text_.end(), '\0'));
}

}  // namespace fpu::viewer
