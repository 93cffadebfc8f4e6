// The viewer's find bar: stepping from match to match, searching and counting in slices so
// that a full store never holds up a frame, and the bar's "N of M".
#include <string>

#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {

void ViewerModel::new_query(bool match_case) {
  find_.set_query(find_typed_, match_case);
  // Until the count of the new query is done the bar says so, not the last query's count.
  counting_done_ = false;
}

void ViewerModel::find_step(bool backward) {
  const std::uint64_t base = shown_text().discarded_bytes();
  const bool have = match_ && *match_ >= base && *match_ - base < shown_text().text().size();
  step_.reset();
  if (have && counting_done_ && find_.counted(shown_text().text(), base)) {
    step_ = Step{backward, static_cast<std::size_t>(*match_ - base), find_.before_current()};
  }
  const std::uint64_t from = !have ? base : backward ? *match_ : *match_ + 1;
  begin_search(from, backward, step_.has_value());
}

void ViewerModel::begin_search(std::uint64_t from, bool backward, bool step) {
  if (!step) step_.reset();
  find_.begin_next(from, backward);
  search_on(kCountSlice);
}

bool ViewerModel::search_on(std::size_t budget) {
  const ViewerText& shown = shown_text();
  const std::uint64_t base = shown.discarded_bytes();
  if (!find_.next_slice(shown.text(), base, budget)) return false;
  match_ = find_.found();
  const std::size_t current = match_ ? static_cast<std::size_t>(*match_ - base) : std::string::npos;
  // A step within a finished count moves the current match by one place (or wraps).
  if (step_ && match_ && find_.counted(shown.text(), base)) {
    const std::size_t before = step_->backward
                                   ? (current < step_->from ? step_->before - 1 : find_.count() - 1)
                                   : (current > step_->from ? step_->before + 1 : 0);
    find_.move_current(current, before);
  } else {
    counting_done_ = false;
  }
  step_.reset();
  if (const auto at = current_match()) view().show_line(at->line);
  return true;
}

bool ViewerModel::busy() const {
  return find_.searching() || (find_open_ && !find_.query().empty() && !counting_done_);
}

bool ViewerModel::work(std::size_t budget) {
  const std::string was = bar_line();
  if (find_.searching() && !search_on(budget)) return true;
  if (find_open_ && !find_.query().empty()) {
    const std::uint64_t base = shown_text().discarded_bytes();
    // Without a current match the count must not start over as lines arrive.
    const std::size_t current =
        match_ && *match_ >= base ? static_cast<std::size_t>(*match_ - base) : std::string::npos;
    counting_done_ = find_.count_slice(shown_text().text(), base, current, budget);
  }
  return busy() || bar_line() != was;
}

std::optional<TextPosition> ViewerModel::current_match() const {
  const std::uint64_t base = shown_text().discarded_bytes();
  if (!match_ || *match_ < base || *match_ - base >= shown_text().text().size())
    return std::nullopt;
  const auto offset = static_cast<std::size_t>(*match_ - base);
  const std::size_t index = shown_text().line_at(offset);
  return TextPosition{shown_text().first_number() + index, offset - shown_text().line_start(index)};
}

std::string ViewerModel::find_line() const {
  std::string line = kFindLabel + find_typed_ + (find_.match_case() ? "   [match case]" : "");
  if (find_.query().empty()) return line;
  if (find_.searching()) return line + "   searching...";
  if (!counting_done_) return line + "   counting...";
  if (find_.count() == 0) return line + "   no match";
  const std::size_t n = current_match() ? find_.before_current() + 1 : 0;
  return line + "   " + std::to_string(n) + " of " + std::to_string(find_.count());
}

}  // namespace fpu::viewer
