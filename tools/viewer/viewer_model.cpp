#include "tools/viewer/viewer_model.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iterator>

namespace fpu::viewer {

namespace {

constexpr KeyHelp kKeys[] = {
    {"Wheel, Up, Down", "scroll by lines"},
    {"Page Up, Page Down", "scroll by pages"},
    {"Home", "go to the first line"},
    {"End", "go to the last line and follow new lines"},
    {"Mouse drag", "select (Shift+click extends)"},
    {"Ctrl+A", "select all"},
    {"Ctrl+C", "copy the selection"},
    {"Ctrl+S", "save the text to the documents folder"},
    {"Delete, Ctrl+L", "clear the text"},
    {"Ctrl+F", "find: type the text, Escape closes the bar"},
    {"Enter, F3", "find: next match (with Shift: previous)"},
    {"Alt+C", "find: match case on or off"},
    {"Space, Ctrl+P", "pause the view (lines keep coming), again resumes"},
    {"Ctrl+T", "show or hide when each line came (saved too)"},
    {"Ctrl+O", "keep the window on top of others, or not"},
    {"F1, Escape", "close this list"},
};

}  // namespace

ViewerModel::ViewerModel(Saver saver, std::size_t limit)
    : text_(limit), view_(text_), edit_(text_), saver_(std::move(saver)) {
  const auto start = std::chrono::steady_clock::now();
  text_.set_clock([start] {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
  });
}

std::span<const KeyHelp> ViewerModel::key_list() {
  return kKeys;
}

const char* ViewerModel::key_line() {
  // Short enough to fit the narrowest place the viewer takes beside the program; F1 lists all.
  return "F1 keys  Ctrl+F find  Space pause  Ctrl+S save  Del clear  End follow";
}

KeyOutcome ViewerModel::key(ViewerKey key, bool ctrl, bool shift, bool alt) {
  if (find_open_) {
    switch (key) {
      case ViewerKey::escape:
        find_open_ = false;
        return KeyOutcome::handled;
      case ViewerKey::enter:
        find_step(shift);
        return KeyOutcome::handled;
      case ViewerKey::backspace:
        if (!find_typed_.empty()) find_typed_.pop_back();
        find_.set_query(find_typed_, find_.match_case());
        return KeyOutcome::handled;
      case ViewerKey::c:
        if (!alt) break;
        find_.set_query(find_typed_, !find_.match_case());
        return KeyOutcome::handled;
      case ViewerKey::space:
        return KeyOutcome::ignored;  // typed into the bar
      default:
        break;
    }
  }
  switch (key) {
    case ViewerKey::up:
      view_.scroll_by(-1);
      break;
    case ViewerKey::down:
      view_.scroll_by(1);
      break;
    case ViewerKey::page_up:
      view_.page_up();
      break;
    case ViewerKey::page_down:
      view_.page_down();
      break;
    case ViewerKey::home:
      view_.home();
      break;
    case ViewerKey::end:
      view_.end();
      break;
    case ViewerKey::f1:
      help_shown_ = !help_shown_;
      break;
    case ViewerKey::f3:
      find_step(shift);
      break;
    case ViewerKey::escape:
      help_shown_ = false;
      status_.clear();
      view_.clear_selection();
      break;
    case ViewerKey::del:
      clear();
      break;
    case ViewerKey::space:
      toggle_pause();
      break;
    case ViewerKey::a:
    case ViewerKey::c:
    case ViewerKey::l:
    case ViewerKey::s:
    case ViewerKey::f:
    case ViewerKey::p:
    case ViewerKey::t:
    case ViewerKey::o:
      if (!ctrl) return KeyOutcome::ignored;
      if (key == ViewerKey::a) view_.select_all();
      if (key == ViewerKey::l) clear();
      if (key == ViewerKey::s) save(std::time(nullptr));
      if (key == ViewerKey::f) find_open_ = true;
      if (key == ViewerKey::p) toggle_pause();
      if (key == ViewerKey::t) time_shown_ = !time_shown_;
      if (key == ViewerKey::o) on_top_ = !on_top_;
      if (key == ViewerKey::c)
        return view_.has_selection() ? KeyOutcome::copy : KeyOutcome::handled;
      break;
    case ViewerKey::enter:
    case ViewerKey::backspace:
    case ViewerKey::other:
      return KeyOutcome::ignored;
  }
  return KeyOutcome::handled;
}

bool ViewerModel::type(std::string_view typed) {
  if (!find_open_) return false;
  find_typed_ += typed;
  find_.set_query(find_typed_, find_.match_case());
  // Found as it is typed: from the current match on, else from the top of the view.
  const std::size_t from =
      match_ && *match_ >= text_.discarded_bytes()
          ? static_cast<std::size_t>(*match_ - text_.discarded_bytes())
      : view_.top() >= text_.first_number() &&
              view_.top() - text_.first_number() < text_.line_count()
          ? text_.line_start(static_cast<std::size_t>(view_.top() - text_.first_number()))
          : 0;
  match_.reset();
  if (const auto at = find_.next(text_.text(), std::min(from, text_.text().size()), false)) {
    match_ = text_.discarded_bytes() + *at;
    if (const auto shown = current_match()) view_.show_line(shown->line);
  }
  return true;
}

void ViewerModel::find_step(bool backward) {
  const std::string& text = text_.text();
  const std::uint64_t base = text_.discarded_bytes();
  const bool have = match_ && *match_ >= base && *match_ - base < text.size();
  const std::size_t current = have ? static_cast<std::size_t>(*match_ - base) : 0;
  const std::size_t from = !have ? 0 : backward ? current : current + 1;
  match_.reset();
  if (const auto at = find_.next(text, std::min(from, text.size()), backward)) {
    match_ = base + *at;
    if (const auto shown = current_match()) view_.show_line(shown->line);
  }
}

bool ViewerModel::work(std::size_t budget) {
  if (!find_open_ || find_.query().empty()) return false;
  const std::size_t before = find_.count();
  const std::uint64_t base = text_.discarded_bytes();
  const std::size_t current =
      match_ && *match_ >= base ? static_cast<std::size_t>(*match_ - base) : text_.text().size();
  const bool was_done = counting_done_;
  counting_done_ = find_.count_slice(text_.text(), base, current, budget);
  return !was_done || !counting_done_ || find_.count() != before;
}

std::optional<TextPosition> ViewerModel::current_match() const {
  const std::uint64_t base = text_.discarded_bytes();
  if (!match_ || *match_ < base || *match_ - base >= text_.text().size()) return std::nullopt;
  const auto offset = static_cast<std::size_t>(*match_ - base);
  const std::size_t index = text_.line_at(offset);
  return TextPosition{text_.first_number() + index, offset - text_.line_start(index)};
}

std::string ViewerModel::find_line() const {
  std::string line = "Find: " + find_typed_ + (find_.match_case() ? "   [match case]" : "");
  if (find_.query().empty()) return line;
  if (!counting_done_) return line + "   counting...";
  if (find_.count() == 0) return line + "   no match";
  const std::size_t n = current_match() ? find_.before_current() + 1 : 0;
  return line + "   " + std::to_string(n) + " of " + std::to_string(find_.count());
}

std::string ViewerModel::time_text(std::size_t index) const {
  const std::uint32_t ms = text_.time_of(index);
  char column[32];
  std::snprintf(column, sizeof column, "%7u.%03u ", ms / 1000, ms % 1000);
  return column;
}

std::string ViewerModel::text_to_save() const {
  if (!time_shown_) return text_.text();
  std::string out;
  out.reserve(text_.text().size() + text_.line_count() * kTimeColumns);
  for (std::size_t i = 0; i < text_.line_count(); ++i) {
    if (i > 0) out += "\r\n";
    out += time_text(i);
    out += text_.line(i);
  }
  return out;
}

void ViewerModel::toggle_pause() {
  if (!paused_) {
    paused_ = true;
    follow_on_resume_ = view_.following();
    paused_end_ = text_.first_number() + text_.line_count();
    view_.hold();
    return;
  }
  paused_ = false;
  if (follow_on_resume_) view_.end();
}

std::string ViewerModel::status() const {
  if (!paused_) return status_;
  const std::uint64_t end = text_.first_number() + text_.line_count();
  return "paused: " + std::to_string(end - paused_end_) + " new lines";
}

void ViewerModel::wheel(int notches) {
  view_.scroll_by(-static_cast<std::int64_t>(notches) * kWheelLines);
}

void ViewerModel::press(TextPosition at, bool shift) {
  if (shift && view_.has_selection()) {
    view_.extend_selection(at);
  } else {
    view_.begin_selection(at);
  }
}

void ViewerModel::clear() {
  text_.clear();
  view_.end();
  view_.text_changed();
}

void ViewerModel::save(std::time_t when) {
  const SaveResult result = saver_(text_to_save(), when);
  status_ = result.ok ? "Saved " + std::to_string(text_.line_count()) + " lines to " + result.path
                      : "Could not save: " + result.error;
  title_note_ = (result.ok ? " - saved to " : " - could not save ") + result.path;
}

std::string save_file_name(std::time_t when) {
  // The viewer has one thread, so the shared result of localtime is safe here.
  const std::tm local = *std::localtime(&when);
  char name[64];
  std::strftime(name, sizeof name, "fpu-trace-%Y%m%d-%H%M%S.txt", &local);
  return name;
}

std::string ViewerModel::title(std::string_view base) const {
  return std::string(base) + title_note_;
}

}  // namespace fpu::viewer
