#include "tools/viewer/viewer_model.h"

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
    {"F1, Escape", "close this list"},
};

}  // namespace

ViewerModel::ViewerModel(Saver saver, std::size_t limit)
    : text_(limit), view_(text_), edit_(text_), saver_(std::move(saver)) {}

std::span<const KeyHelp> ViewerModel::key_list() {
  return kKeys;
}

const char* ViewerModel::key_line() {
  return "F1 keys   Ctrl+S save   Ctrl+C copy   Ctrl+A all   Del clear   End follow";
}

KeyOutcome ViewerModel::key(ViewerKey key, bool ctrl) {
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
    case ViewerKey::escape:
      help_shown_ = false;
      status_.clear();
      view_.clear_selection();
      break;
    case ViewerKey::del:
      clear();
      break;
    case ViewerKey::a:
    case ViewerKey::c:
    case ViewerKey::l:
    case ViewerKey::s:
      if (!ctrl) return KeyOutcome::ignored;
      if (key == ViewerKey::a) view_.select_all();
      if (key == ViewerKey::l) clear();
      if (key == ViewerKey::s) save(std::time(nullptr));
      if (key == ViewerKey::c)
        return view_.has_selection() ? KeyOutcome::copy : KeyOutcome::handled;
      break;
    case ViewerKey::other:
      return KeyOutcome::ignored;
  }
  return KeyOutcome::handled;
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
  const SaveResult result = saver_(text_.text(), when);
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
