#include "tools/viewer/viewer_model.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>

namespace fpu::viewer {

namespace {}  // namespace

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

std::vector<KeyHelp> ViewerModel::key_list() {
  std::vector<KeyHelp> list;
  for (const CommandKey& row : kCommandKeys) {
    if (!list.empty() && list.back().does == row.help) {
      list.back().keys += std::string(", ") + row.chord;
    } else {
      list.push_back({row.chord, row.help});
    }
  }
  return list;
}

const char* ViewerModel::key_line() {
  return kKeyLine;
}

namespace {

// The letter a key stands for, or 0.
char letter_of(ViewerKey key) {
  switch (key) {
    case ViewerKey::a:
      return 'a';
    case ViewerKey::c:
      return 'c';
    case ViewerKey::l:
      return 'l';
    case ViewerKey::s:
      return 's';
    case ViewerKey::f:
      return 'f';
    case ViewerKey::p:
      return 'p';
    case ViewerKey::t:
      return 't';
    case ViewerKey::o:
      return 'o';
    case ViewerKey::i:
      return 'i';
    case ViewerKey::h:
      return 'h';
    default:
      return 0;
  }
}

}  // namespace

std::string* ViewerModel::bar_text() {
  return highlight_open_ ? &highlight_bar_
         : filter_open_  ? &filter_bar_
         : find_open_    ? &find_typed_
                         : nullptr;
}

std::size_t ViewerModel::bar_label_size() const {
  return highlight_open_ ? std::strlen(kHighlightLabel)
         : filter_open_  ? std::strlen(kFilterLabel)
                         : std::strlen(kFindLabel);
}

std::size_t ViewerModel::bar_text_size() const {
  return highlight_open_ ? highlight_bar_.size()
         : filter_open_  ? filter_bar_.size()
         : find_open_    ? find_typed_.size()
                         : 0;
}

KeyOutcome ViewerModel::key(ViewerKey key, bool ctrl, bool shift, bool alt) {
  swallow_ = ctrl || alt ? letter_of(key) : 0;
  const bool was_selected = bar_selected_;
  // A key that brings a character keeps the bar's selection for the character to replace.
  const bool typing =
      !ctrl && !alt && (key == ViewerKey::other || key == ViewerKey::space || letter_of(key) != 0);
  if (!typing) bar_selected_ = false;
  if (std::string* bar = bar_text()) {
    // In a bar Ctrl+A selects the bar's text, and what is typed next replaces it.
    if (key == ViewerKey::a && ctrl) {
      bar_selected_ = !bar->empty();
      return KeyOutcome::handled;
    }
    if (key == ViewerKey::backspace && was_selected) {
      bar->clear();
      if (find_open_ && !highlight_open_ && !filter_open_) new_query(find_.match_case());
      return KeyOutcome::handled;
    }
  }
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
  const unsigned mods = (ctrl ? kCtrl : kNoMod) | (shift ? kShift : kNoMod) | (alt ? kAlt : kNoMod);
  switch (command_of(key, mods)) {
    case Command::line_up:
      view().scroll_by(-1);
      break;
    case Command::line_down:
      view().scroll_by(1);
      break;
    case Command::page_up:
      view().page_up();
      break;
    case Command::page_down:
      view().page_down();
      break;
    case Command::home:
      view().home();
      break;
    case Command::end:
      view().end();
      break;
    case Command::help:
      help_shown_ = !help_shown_;
      break;
    case Command::find_next:
    case Command::find_previous:
      // Enter steps only in the find bar (handled above); F3 anywhere.
      if (key == ViewerKey::enter) return KeyOutcome::ignored;
      find_step(shift);
      break;
    case Command::escape:
      help_shown_ = false;
      status_.clear();
      title_note_.clear();
      view().clear_selection();
      break;
    case Command::clear:
      clear();
      break;
    case Command::pause:
      toggle_pause();
      break;
    case Command::filter:
      open_bar(filter_open_);
      break;
    case Command::highlight:
      open_bar(highlight_open_);
      break;
    case Command::find:
      open_bar(find_open_);
      break;
    case Command::select_all:
      view().select_all();
      break;
    case Command::save:
      save(std::time(nullptr));
      break;
    case Command::time_column:
      time_shown_ = !time_shown_;
      break;
    case Command::on_top:
      on_top_ = !on_top_;
      break;
    case Command::copy:
      return view().has_selection() ? KeyOutcome::copy : KeyOutcome::handled;
    case Command::match_case:  // only in the find bar (handled above)
    case Command::none:
      return KeyOutcome::ignored;
  }
  return KeyOutcome::handled;
}

void ViewerModel::open_bar(bool& bar) {
  find_open_ = filter_open_ = highlight_open_ = false;
  bar = true;
  // Opened again, the bar's last text is selected: typing replaces it, Enter takes it.
  bar_selected_ = !bar_text()->empty();
}

void ViewerModel::set_highlights(const Highlights& rules, HighlightKeeper keeper) {
  highlights_ = rules;
  keeper_ = std::move(keeper);
}

bool ViewerModel::type(std::string_view typed) {
  if (swallow_ != 0 && typed.size() == 1 &&
      (typed[0] | 0x20) == swallow_) {  // the letter of an Alt or Ctrl command
    swallow_ = 0;
    return bar_open();
  }
  swallow_ = 0;
  const bool replace = bar_selected_;
  bar_selected_ = false;
  // A bar's text is bounded: a search costs the text's size, not more, whatever is typed.
  const auto add = [typed, replace](std::string& bar) {
    if (replace) bar.clear();
    bar += typed.substr(0, kMaxQuery - std::min(bar.size(), kMaxQuery));
  };
  if (highlight_open_) {
    add(highlight_bar_);
    return true;
  }
  if (filter_open_) {
    add(filter_bar_);
    return true;
  }
  if (!find_open_) return false;
  const std::size_t had = find_typed_.size();
  add(find_typed_);
  if (find_typed_.size() == had && !replace) return true;  // past the bound: nothing new
  new_query(find_.match_case());
  // Found as it is typed: from the current match on, else from the top of the view.
  const ViewerText& shown = shown_text();
  const std::uint64_t base = shown.discarded_bytes();
  const std::uint64_t top = view().top();
  const std::uint64_t from =
      match_ ? *match_
      : top >= shown.first_number() && top - shown.first_number() < shown.line_count()
          ? base + shown.line_start(static_cast<std::size_t>(top - shown.first_number()))
          : base;
  begin_search(from, false, false);
  return true;
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
    return kHighlightLabel + highlight_bar_ +
           "   (TEXT COLOUR: yellow green blue red orange purple cyan grey; TEXT off removes)";
  }
  if (filter_open_) return kFilterLabel + filter_bar_ + "   (Enter sets, empty shows all)";
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
  // What was said about the text (where it was saved) goes with it.
  status_.clear();
  title_note_.clear();
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
