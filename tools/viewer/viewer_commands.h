// The viewer's keys: one table from key chord to command, with the line the F1 list shows for
// it. Both windows turn their key events into a ViewerKey and modifiers; the model looks the
// chord up here, and the F1 list is made from the same rows.
#pragma once

#include <cstddef>

namespace fpu::viewer {

enum class ViewerKey {
  up,
  down,
  page_up,
  page_down,
  home,
  end,
  f1,
  escape,
  del,
  a,
  c,
  l,
  s,
  f,
  p,
  t,
  o,
  i,
  h,
  space,
  enter,
  backspace,
  f3,
  other,  // not a viewer key (in the table: the mouse, listed only)
};

enum class Command {
  none,
  line_up,
  line_down,
  page_up,
  page_down,
  home,
  end,
  help,
  escape,
  clear,
  select_all,
  copy,
  save,
  find,
  find_next,
  find_previous,
  match_case,
  filter,
  highlight,
  pause,
  time_column,
  on_top,
};

// Modifiers of a chord, or-ed.
inline constexpr unsigned kNoMod = 0;
inline constexpr unsigned kCtrl = 1;
inline constexpr unsigned kShift = 2;
inline constexpr unsigned kAlt = 4;

struct CommandKey {
  ViewerKey key;
  unsigned mods;
  Command command;
  const char* chord;  // as the F1 list names it
  const char* help;   // what it does; neighbouring rows with the same help share a line
};

inline constexpr CommandKey kCommandKeys[] = {
    {ViewerKey::other, kNoMod, Command::none, "Wheel", "scroll by lines"},
    {ViewerKey::up, kNoMod, Command::line_up, "Up", "scroll by lines"},
    {ViewerKey::down, kNoMod, Command::line_down, "Down", "scroll by lines"},
    {ViewerKey::page_up, kNoMod, Command::page_up, "Page Up", "scroll by pages"},
    {ViewerKey::page_down, kNoMod, Command::page_down, "Page Down", "scroll by pages"},
    {ViewerKey::home, kNoMod, Command::home, "Home", "go to the first line"},
    {ViewerKey::end, kNoMod, Command::end, "End", "go to the last line and follow new lines"},
    {ViewerKey::other, kNoMod, Command::none, "Mouse drag", "select (Shift+click extends)"},
    {ViewerKey::a, kCtrl, Command::select_all, "Ctrl+A", "select all (in a bar: its text)"},
    {ViewerKey::c, kCtrl, Command::copy, "Ctrl+C", "copy the selection"},
    {ViewerKey::s, kCtrl, Command::save, "Ctrl+S", "save the text to the documents folder"},
    {ViewerKey::del, kNoMod, Command::clear, "Delete", "clear the text"},
    {ViewerKey::l, kCtrl, Command::clear, "Ctrl+L", "clear the text"},
    {ViewerKey::f, kCtrl, Command::find, "Ctrl+F", "find: type the text, Escape closes the bar"},
    {ViewerKey::enter, kNoMod, Command::find_next, "Enter", "find: next match"},
    {ViewerKey::f3, kNoMod, Command::find_next, "F3", "find: next match"},
    {ViewerKey::enter, kShift, Command::find_previous, "Shift+Enter", "find: previous match"},
    {ViewerKey::f3, kShift, Command::find_previous, "Shift+F3", "find: previous match"},
    {ViewerKey::c, kAlt, Command::match_case, "Alt+C", "find: match case on or off"},
    {ViewerKey::i, kCtrl, Command::filter, "Ctrl+I",
     "filter: only lines with the text (!text: without), Enter sets, empty clears"},
    {ViewerKey::h, kCtrl, Command::highlight, "Ctrl+H",
     "highlight: type TEXT COLOUR (e.g. xopc yellow; TEXT off removes), Enter"},
    {ViewerKey::space, kNoMod, Command::pause, "Space",
     "pause the view (lines keep coming), again resumes"},
    {ViewerKey::p, kCtrl, Command::pause, "Ctrl+P",
     "pause the view (lines keep coming), again resumes"},
    {ViewerKey::t, kCtrl, Command::time_column, "Ctrl+T",
     "show or hide when each line came (saved too)"},
    {ViewerKey::o, kCtrl, Command::on_top, "Ctrl+O", "keep the window on top of others, or not"},
    {ViewerKey::f1, kNoMod, Command::help, "F1", "show or close this list"},
    {ViewerKey::escape, kNoMod, Command::escape, "Escape", "close this list, a bar or a note"},
};

// The short key line under the text; F1 lists all.
inline constexpr const char* kKeyLine =
    "F1 keys  Ctrl+F find  Space pause  Ctrl+S save  Del clear  End follow";

// The command of a chord: an exact match of key and modifiers, else for a key that is no
// letter the same key without modifiers (Ctrl+Up scrolls as Up does).
constexpr Command command_of(ViewerKey key, unsigned mods) {
  if (key == ViewerKey::other) return Command::none;
  for (const CommandKey& row : kCommandKeys) {
    if (row.key == key && row.mods == mods) return row.command;
  }
  const bool letter = key >= ViewerKey::a && key <= ViewerKey::h;
  if (letter || (mods & kAlt) != 0) return Command::none;
  for (const CommandKey& row : kCommandKeys) {
    if (row.key == key && row.mods == kNoMod) return row.command;
  }
  return Command::none;
}

}  // namespace fpu::viewer
