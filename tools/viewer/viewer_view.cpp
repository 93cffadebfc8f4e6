#include "tools/viewer/viewer_view.h"

#include <algorithm>
#include <cmath>

namespace fpu::viewer {

void ViewerView::set_rows(std::size_t rows) {
  rows_ = std::max<std::size_t>(rows, 1);
  text_changed();
}

std::uint64_t ViewerView::last_top() const {
  return std::max(first(), end_number() > rows_ ? end_number() - rows_ : 0);
}

void ViewerView::text_changed() {
  top_ = following_ ? last_top() : std::clamp(top_, first(), last_top());
  if (!has_selection()) return;
  anchor_ = clamped(anchor_);
  caret_ = clamped(caret_);
}

void ViewerView::scroll_by(std::int64_t lines) {
  const auto wanted = static_cast<std::int64_t>(top_) + lines;
  top_ = std::clamp(static_cast<std::uint64_t>(std::max<std::int64_t>(wanted, 0)), first(),
                    last_top());
  following_ = top_ == last_top();
}

void ViewerView::home() {
  top_ = first();
  following_ = top_ == last_top();
}

void ViewerView::end() {
  following_ = true;
  top_ = last_top();
}

void ViewerView::show_line(std::uint64_t number) {
  if (number >= top_ && number < top_ + rows_) return;
  const std::uint64_t half = rows_ / 2;
  const std::uint64_t wanted = number > half ? number - half : 0;
  top_ = std::clamp(wanted, first(), last_top());
  following_ = false;
}

void ViewerView::scroll_to_fraction(double fraction) {
  const double span = static_cast<double>(last_top() - first());
  const auto line = static_cast<std::uint64_t>(std::llround(std::clamp(fraction, 0.0, 1.0) * span));
  scroll_by(static_cast<std::int64_t>(first() + line) - static_cast<std::int64_t>(top_));
}

Thumb ViewerView::thumb(int track_length, int min_length) const {
  const std::uint64_t total = end_number() - first();
  if (total <= rows_ || track_length <= 0) return {0, std::max(track_length, 0)};
  const double scale = static_cast<double>(track_length) / static_cast<double>(total);
  const int length = std::min(
      track_length, std::max(min_length, static_cast<int>(static_cast<double>(rows_) * scale)));
  // The thumb's travel maps onto the range of top rows, so the end of the text puts it at
  // the end of the track whatever its minimum length.
  const double travel = static_cast<double>(track_length - length);
  const double at = static_cast<double>(top_ - first()) / static_cast<double>(last_top() - first());
  return {static_cast<int>(std::lround(travel * at)), length};
}

TextPosition ViewerView::clamped(TextPosition at) const {
  if (text_.line_count() == 0) return {};
  if (at.line < first()) return {first(), 0};
  if (at.line >= end_number()) {
    const auto last = end_number() - 1;
    return {last, text_.line(static_cast<std::size_t>(last - first())).size()};
  }
  at.column = std::min(at.column, text_.line(static_cast<std::size_t>(at.line - first())).size());
  return at;
}

void ViewerView::begin_selection(TextPosition at) {
  anchor_ = caret_ = clamped(at);
}

void ViewerView::extend_selection(TextPosition to) {
  caret_ = clamped(to);
}

void ViewerView::select_all() {
  if (text_.line_count() == 0) return;
  anchor_ = {first(), 0};
  caret_ = clamped({end_number(), 0});
}

std::string ViewerView::selected_text() const {
  std::string out;
  if (!has_selection()) return out;
  const TextPosition from = clamped(selection_begin());
  const TextPosition to = clamped(selection_end());
  for (std::uint64_t number = from.line; number <= to.line; ++number) {
    const std::string_view line = text_.line(static_cast<std::size_t>(number - first()));
    const std::size_t begin = number == from.line ? from.column : 0;
    const std::size_t end = number == to.line ? to.column : line.size();
    out.append(line.substr(begin, end - begin));
    if (number != to.line) out += '\n';
  }
  return out;
}

}  // namespace fpu::viewer
