// The viewer's filter: the lines holding a text (or, after "!", not holding it), kept up to
// date as lines arrive and as a sender continues the last one.
#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {

void ViewerModel::set_filter(std::string_view filter) {
  filter_bar_ = filter;
  if (filter == filter_typed_) return;
  const bool was_filtered = !filter_typed_.empty();
  filter_typed_ = filter;
  filter_not_ = filter.starts_with('!');
  filter_find_.set_query(filter_not_ ? filter.substr(1) : filter, false);
  // Matches were offsets into the text shown before.
  match_.reset();
  find_.set_query(find_typed_, find_.match_case());
  counting_done_ = false;
  ViewerView& from = was_filtered ? filtered_view_ : view_;
  ViewerView& to = view();
  to.set_rows(from.rows());
  if (!filter_typed_.empty()) refilter();
  to.text_changed();
  if (from.following() || &from == &to) to.end();
}

bool ViewerModel::kept(std::string_view line) const {
  return filter_find_.find_in(line, 0).has_value() != filter_not_;
}

void ViewerModel::keep(std::size_t index) {
  keep_time_ = text_.time_of(index);
  filtered_.append(text_.line(index));
}

void ViewerModel::refilter() {
  filtered_.clear();
  filter_first_ = checked_ = text_.first_number();
  checked_size_ = 0;
  checked_kept_ = false;
  update_filter();
}

void ViewerModel::update_filter() {
  const std::uint64_t first = text_.first_number();
  // Old lines went (or all of them): start over from the lines left.
  if (first != filter_first_) return refilter();
  const std::uint64_t end = first + text_.line_count();
  // The line looked at last may have grown since: a sender continuing it.
  if (checked_ > first && checked_ <= end) {
    const auto index = static_cast<std::size_t>(checked_ - 1 - first);
    const std::string_view line = text_.line(index);
    if (line.size() != checked_size_) {
      const bool now = kept(line);
      if (line.size() < checked_size_ || (checked_kept_ && !now)) return refilter();
      if (checked_kept_) filtered_.append_raw(line.substr(checked_size_));
      if (!checked_kept_ && now) keep(index);
      checked_size_ = line.size();
      checked_kept_ = now;
    }
  }
  for (; checked_ < end; ++checked_) {
    const auto index = static_cast<std::size_t>(checked_ - first);
    const std::string_view line = text_.line(index);
    // An empty last line is one still to come (after a sender's line break).
    if (line.empty() && checked_ + 1 == end) break;
    checked_kept_ = kept(line);
    checked_size_ = line.size();
    if (checked_kept_) keep(index);
  }
}

}  // namespace fpu::viewer
