#include "tools/viewer/viewer_edit.h"

#include <algorithm>
#include <string>

namespace fpu::viewer {

std::size_t EditSelection::offset(std::uint64_t at) const {
  const std::uint64_t first = text_.discarded_bytes();
  return static_cast<std::size_t>(
      std::clamp<std::uint64_t>(at, first, first + text_.text().size()) - first);
}

void EditSelection::set(std::int64_t start, std::int64_t end) {
  if (start == -1) {
    start_ = end_;
    return;
  }
  const std::uint64_t first = text_.discarded_bytes();
  const std::uint64_t size = text_.text().size();
  auto absolute = [&](std::int64_t v) {
    return first + (v < 0 ? size : std::min<std::uint64_t>(static_cast<std::uint64_t>(v), size));
  };
  start_ = absolute(start);
  end_ = absolute(end);
}

std::pair<std::size_t, std::size_t> EditSelection::get() const {
  const std::size_t a = offset(start_);
  const std::size_t b = offset(end_);
  return {std::min(a, b), std::max(a, b)};
}

void EditSelection::replace(std::string_view raw) {
  const auto [from, to] = get();
  if (from == text_.text().size()) {
    text_.append_raw(raw);
  } else {
    // Inside the text: rare (programs append), so the text is simply rebuilt.
    const std::string& old = text_.text();
    std::string rebuilt;
    rebuilt.reserve(old.size() - (to - from) + raw.size());
    rebuilt.append(old, 0, from).append(raw).append(old, to);
    const std::size_t caret = from + raw.size();
    text_.assign_raw(rebuilt);
    start_ = end_ = text_.discarded_bytes() + std::min(caret, text_.text().size());
    return;
  }
  start_ = end_ = text_.discarded_bytes() + text_.text().size();
}

void EditSelection::set_text(std::string_view raw) {
  text_.assign_raw(raw);
  start_ = end_ = text_.discarded_bytes();
}

}  // namespace fpu::viewer
