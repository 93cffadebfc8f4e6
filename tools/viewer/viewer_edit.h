// The edit-control side of the viewer's text: the insertion point programs set and the
// replacement they make there, with an edit control's rules. The Windows viewer answers
// EM_SETSEL, EM_GETSEL and EM_REPLACESEL through it; programs append at the end, which costs
// next to nothing per line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "tools/viewer/viewer_text.h"

namespace fpu::viewer {

class EditSelection {
 public:
  explicit EditSelection(ViewerText& text) : text_(text) {}

  // As EM_SETSEL: start -1 only removes the selection; other negative ends mean the end.
  void set(std::int64_t start, std::int64_t end);
  // The selection as offsets into the text, lower first.
  std::pair<std::size_t, std::size_t> get() const;
  // As EM_REPLACESEL: the selection is replaced by `raw` and the caret goes after it.
  void replace(std::string_view raw);
  // As WM_SETTEXT: the whole text is replaced and the caret goes to the start.
  void set_text(std::string_view raw);

 private:
  std::size_t offset(std::uint64_t at) const;

  ViewerText& text_;
  // Offsets that count the discarded bytes too, so they stay with their text.
  std::uint64_t start_ = 0;
  std::uint64_t end_ = 0;
};

}  // namespace fpu::viewer
