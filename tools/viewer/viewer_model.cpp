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
    {"Ctrl+I", "filter: only lines with the text (!text: without), Enter sets, empty clears"},
    {"Ctrl+H", "highlight: type TEXT COLOUR (e.g. xopc yellow; TEXT off removes), Enter"},
    {"Space, Ctrl+P", "pause the view (lines keep coming), again resumes"},
    {"Ctrl+T", "show or hide when each line came (saved too)"},
    {"Ctrl+O", "keep the window on top of others, or not"},
    {"F1, Escape", "close this list"},
};

}  // namespace

ViewerModel::ViewerModel(Saver saver, std::size_t limit)
    : text_(limit),
      view_(text_),
      edit_(text_),
      saver_(std::move(saver)),
      filtered_(limit),
      filtered_view_(filtered_) {
  filtered_.set_clock([this] { return keep_time_; });
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
  if (highlight_open_) {
    switch (key) {
      case ViewerKey::escape:
        highlight_open_ = false;
        return KeyOutcome::handled;
      case ViewerKey::enter: {
        highlight_open_ = false;
        if (highlight_bar_.empty()) return KeyOutcome::handled;
        status_ = highlights_.apply(highlight_bar_);
        if (status_.empty() && keeper_) status_ = keeper_(highlights_);
        if (!status_.empty()) status_ = "Highlight: " + status_;
        highlight_bar_.clear();
        return KeyOutcome::handled;
      }
      case ViewerKey::backspace:
        if (!highlight_bar_.empty()) highlight_bar_.pop_back();
        return KeyOutcome::handled;
      case ViewerKey::space:
        return KeyOutcome::ignored;  // typed into the bar
      default:
        break;
    }
  }
  if (filter_open_) {
    switch (key) {
      case ViewerKey::escape:
        filter_open_ = false;
        filter_bar_ = filter_typed_;
        return KeyOutcome::handled;
      case ViewerKey::enter:
        filter_open_ = false;
        set_filter(filter_bar_);
        return KeyOutcome::handled;
      case ViewerKey::backspace:
        if (!filter_bar_.empty()) filter_bar_.pop_back();
        return KeyOutcome::handled;
      case ViewerKey::space:
        return KeyOutcome::ignored;  // typed into the bar
      default:
        break;
    }
  }
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
        new_query(find_.match_case());
        return KeyOutcome::handled;
      case ViewerKey::c:
        if (!alt) break;
        new_query(!find_.match_case());
        return KeyOutcome::handled;
      case ViewerKey::space:
        return KeyOutcome::ignored;  // typed into the bar
      default:
        break;
    }
  }
  switch (key) {
    case ViewerKey::up:
      view().scroll_by(-1);
      break;
    case ViewerKey::down:
      view().scroll_by(1);
      break;
    case ViewerKey::page_up:
      view().page_up();
      break;
    case ViewerKey::page_down:
      view().page_down();
      break;
    case ViewerKey::home:
      view().home();
      break;
    case ViewerKey::end:
      view().end();
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
      view().clear_selection();
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
    case ViewerKey::i:
    case ViewerKey::h:
      if (!ctrl) return KeyOutcome::ignored;
      if (key == ViewerKey::i) open_bar(filter_open_);
      if (key == ViewerKey::h) open_bar(highlight_open_);
      if (key == ViewerKey::a) view().select_all();
      if (key == ViewerKey::l) clear();
      if (key == ViewerKey::s) save(std::time(nullptr));
      if (key == ViewerKey::f) open_bar(find_open_);
      if (key == ViewerKey::p) toggle_pause();
      if (key == ViewerKey::t) time_shown_ = !time_shown_;
      if (key == ViewerKey::o) on_top_ = !on_top_;
      if (key == ViewerKey::c)
        return view().has_selection() ? KeyOutcome::copy : KeyOutcome::handled;
      break;
    case ViewerKey::enter:
    case ViewerKey::backspace:
    case ViewerKey::other:
      return KeyOutcome::ignored;
  }
  return KeyOutcome::handled;
}

void ViewerModel::open_bar(bool& bar) {
  find_open_ = filter_open_ = highlight_open_ = false;
  bar = true;
}

void ViewerModel::set_highlights(const Highlights& rules, HighlightKeeper keeper) {
  highlights_ = rules;
  keeper_ = std::move(keeper);
}

bool ViewerModel::type(std::string_view typed) {
  if (highlight_open_) {
    highlight_bar_ += typed;
    return true;
  }
  if (filter_open_) {
    filter_bar_ += typed;
    return true;
  }
  if (!find_open_) return false;
  find_typed_ += typed;
  new_query(find_.match_case());
  // Found as it is typed: from the current match on, else from the top of the view.
  const std::size_t from =
      match_ && *match_ >= shown_text().discarded_bytes()
          ? static_cast<std::size_t>(*match_ - shown_text().discarded_bytes())
      : view().top() >= shown_text().first_number() &&
              view().top() - shown_text().first_number() < shown_text().line_count()
          ? shown_text().line_start(
                static_cast<std::size_t>(view().top() - shown_text().first_number()))
          : 0;
  match_.reset();
  if (const auto at =
          find_.next(shown_text().text(), std::min(from, shown_text().text().size()), false)) {
    match_ = shown_text().discarded_bytes() + *at;
    if (const auto shown = current_match()) view().show_line(shown->line);
  }
  return true;
}

void ViewerModel::new_query(bool match_case) {
  find_.set_query(find_typed_, match_case);
  // Until the count of the new query is done the bar says so, not the last query's count.
  counting_done_ = false;
}

void ViewerModel::find_step(bool backward) {
  const std::string& text = shown_text().text();
  const std::uint64_t base = shown_text().discarded_bytes();
  const bool have = match_ && *match_ >= base && *match_ - base < text.size();
  const std::size_t current = have ? static_cast<std::size_t>(*match_ - base) : 0;
  const std::size_t from = !have ? 0 : backward ? current : current + 1;
  match_.reset();
  if (const auto at = find_.next(text, std::min(from, text.size()), backward)) {
    match_ = base + *at;
    if (const auto shown = current_match()) view().show_line(shown->line);
  }
}

bool ViewerModel::work(std::size_t budget) {
  if (!find_open_ || find_.query().empty()) return false;
  const std::size_t before = find_.count();
  const std::uint64_t base = shown_text().discarded_bytes();
  // Without a current match the count must not start over as lines arrive.
  const std::size_t current =
      match_ && *match_ >= base ? static_cast<std::size_t>(*match_ - base) : std::string::npos;
  const bool was_done = counting_done_;
  counting_done_ = find_.count_slice(shown_text().text(), base, current, budget);
  return !was_done || !counting_done_ || find_.count() != before;
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
  std::string line = "Find: " + find_typed_ + (find_.match_case() ? "   [match case]" : "");
  if (find_.query().empty()) return line;
  if (!counting_done_) return line + "   counting...";
  if (find_.count() == 0) return line + "   no match";
  const std::size_t n = current_match() ? find_.before_current() + 1 : 0;
  return line + "   " + std::to_string(n) + " of " + std::to_string(find_.count());
}

std::string ViewerModel::time_text(std::size_t index) const {
  const std::uint32_t ms = shown_text().time_of(index);
  char column[32];
  std::snprintf(column, sizeof column, "%7u.%03u ", ms / 1000, ms % 1000);
  return column;
}

std::string ViewerModel::text_to_save() const {
  if (!time_shown_) return shown_text().text();
  std::string out;
  out.reserve(shown_text().text().size() + shown_text().line_count() * kTimeColumns);
  for (std::size_t i = 0; i < shown_text().line_count(); ++i) {
    if (i > 0) out += "\r\n";
    out += time_text(i);
    out += shown_text().line(i);
  }
  return out;
}

void ViewerModel::toggle_pause() {
  if (!paused_) {
    paused_ = true;
    follow_on_resume_ = view().following();
    paused_end_ = text_.first_number() + text_.line_count();
    view().hold();
    return;
  }
  paused_ = false;
  if (follow_on_resume_) view().end();
}

std::string ViewerModel::status() const {
  std::string line = status_;
  const auto add = [&line](const std::string& part) { line += (line.empty() ? "" : "   ") + part; };
  if (paused_) {
    const std::uint64_t end = text_.first_number() + text_.line_count();
    add("paused: " + std::to_string(end - paused_end_) + " new lines");
  }
  if (!filter_typed_.empty()) {
    add("showing " + std::to_string(filtered_.line_count()) + " of " +
        std::to_string(text_.line_count()) + " lines");
  }
  return line;
}

std::string ViewerModel::bar_line() const {
  if (highlight_open_) {
    return "Highlight: " + highlight_bar_ +
           "   (TEXT COLOUR: yellow green blue red orange purple cyan grey; TEXT off removes)";
  }
  if (filter_open_) return "Filter: " + filter_bar_ + "   (Enter sets, empty shows all)";
  return find_open_ ? find_line() : std::string();
}

void ViewerModel::text_changed() {
  if (!filter_typed_.empty()) update_filter();
  view_.text_changed();
  filtered_view_.text_changed();
}

void ViewerModel::wheel(int notches) {
  view().scroll_by(-static_cast<std::int64_t>(notches) * kWheelLines);
}

void ViewerModel::press(TextPosition at, bool shift) {
  if (shift && view().has_selection()) {
    view().extend_selection(at);
  } else {
    view().begin_selection(at);
  }
}

void ViewerModel::clear() {
  text_.clear();
  text_changed();
  view().end();
}

void ViewerModel::save(std::time_t when) {
  const SaveResult result = saver_(text_to_save(), when);
  status_ = result.ok
                ? "Saved " + std::to_string(shown_text().line_count()) + " lines to " + result.path
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
