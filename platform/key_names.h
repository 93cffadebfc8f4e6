// Windows virtual-key codes by name: the one key vocabulary the backends' key maps and the
// replay scripts read. A backend maps its own key identifiers (scancodes, DOM codes) to
// these names; nothing else spells out a code.
#pragma once

#include <cstdint>
#include <string_view>

namespace fpu {

struct KeyName {
  std::string_view name;  // the VK_ name without its prefix; letters and digits as themselves
  std::uint32_t vk;
};

// Microsoft's "Virtual-Key Codes" table, with a US layout for the OEM keys. Both Shift, Ctrl
// and Alt keys have only the side-less code here, as WM_KEYDOWN delivers them.
// clang-format off
inline constexpr KeyName key_names[] = {
  {"A", 0x41}, {"B", 0x42}, {"C", 0x43}, {"D", 0x44}, {"E", 0x45}, {"F", 0x46}, {"G", 0x47},
  {"H", 0x48}, {"I", 0x49}, {"J", 0x4A}, {"K", 0x4B}, {"L", 0x4C}, {"M", 0x4D}, {"N", 0x4E},
  {"O", 0x4F}, {"P", 0x50}, {"Q", 0x51}, {"R", 0x52}, {"S", 0x53}, {"T", 0x54}, {"U", 0x55},
  {"V", 0x56}, {"W", 0x57}, {"X", 0x58}, {"Y", 0x59}, {"Z", 0x5A},
  {"0", 0x30}, {"1", 0x31}, {"2", 0x32}, {"3", 0x33}, {"4", 0x34},
  {"5", 0x35}, {"6", 0x36}, {"7", 0x37}, {"8", 0x38}, {"9", 0x39},

  {"BACK", 0x08}, {"TAB", 0x09}, {"CLEAR", 0x0C}, {"RETURN", 0x0D},
  {"SHIFT", 0x10}, {"CONTROL", 0x11}, {"MENU", 0x12},  // MENU is Alt
  {"PAUSE", 0x13}, {"CAPITAL", 0x14}, {"ESCAPE", 0x1B}, {"SPACE", 0x20},
  {"PRIOR", 0x21}, {"NEXT", 0x22},  // Page Up, Page Down
  {"END", 0x23}, {"HOME", 0x24}, {"LEFT", 0x25}, {"UP", 0x26}, {"RIGHT", 0x27}, {"DOWN", 0x28},
  {"SELECT", 0x29}, {"EXECUTE", 0x2B}, {"SNAPSHOT", 0x2C},  // SNAPSHOT is Print Screen
  {"INSERT", 0x2D}, {"DELETE", 0x2E}, {"HELP", 0x2F},
  {"LWIN", 0x5B}, {"RWIN", 0x5C}, {"APPS", 0x5D}, {"SLEEP", 0x5F},

  {"NUMPAD0", 0x60}, {"NUMPAD1", 0x61}, {"NUMPAD2", 0x62}, {"NUMPAD3", 0x63},
  {"NUMPAD4", 0x64}, {"NUMPAD5", 0x65}, {"NUMPAD6", 0x66}, {"NUMPAD7", 0x67},
  {"NUMPAD8", 0x68}, {"NUMPAD9", 0x69}, {"MULTIPLY", 0x6A}, {"ADD", 0x6B},
  {"SUBTRACT", 0x6D}, {"DECIMAL", 0x6E}, {"DIVIDE", 0x6F},

  {"F1",  0x70}, {"F2",  0x71}, {"F3",  0x72}, {"F4",  0x73}, {"F5",  0x74}, {"F6",  0x75},
  {"F7",  0x76}, {"F8",  0x77}, {"F9",  0x78}, {"F10", 0x79}, {"F11", 0x7A}, {"F12", 0x7B},
  {"F13", 0x7C}, {"F14", 0x7D}, {"F15", 0x7E}, {"F16", 0x7F}, {"F17", 0x80}, {"F18", 0x81},
  {"F19", 0x82}, {"F20", 0x83}, {"F21", 0x84}, {"F22", 0x85}, {"F23", 0x86}, {"F24", 0x87},
  {"NUMLOCK", 0x90}, {"SCROLL", 0x91},

  {"BROWSER_BACK", 0xA6}, {"BROWSER_FORWARD", 0xA7}, {"BROWSER_REFRESH", 0xA8},
  {"BROWSER_STOP", 0xA9}, {"BROWSER_SEARCH", 0xAA}, {"BROWSER_FAVORITES", 0xAB},
  {"BROWSER_HOME", 0xAC}, {"VOLUME_MUTE", 0xAD}, {"VOLUME_DOWN", 0xAE}, {"VOLUME_UP", 0xAF},
  {"MEDIA_NEXT_TRACK", 0xB0}, {"MEDIA_PREV_TRACK", 0xB1}, {"MEDIA_STOP", 0xB2},
  {"MEDIA_PLAY_PAUSE", 0xB3}, {"LAUNCH_MAIL", 0xB4}, {"LAUNCH_MEDIA_SELECT", 0xB5},
  {"LAUNCH_APP1", 0xB6}, {"LAUNCH_APP2", 0xB7},

  {"OEM_1", 0xBA},       // ;:
  {"OEM_PLUS", 0xBB},    // =+
  {"OEM_COMMA", 0xBC}, {"OEM_MINUS", 0xBD}, {"OEM_PERIOD", 0xBE},
  {"OEM_2", 0xBF},       // /?
  {"OEM_3", 0xC0},       // `~, the key left of 1
  {"OEM_4", 0xDB},       // [{
  {"OEM_5", 0xDC},       // \|
  {"OEM_6", 0xDD},       // ]}
  {"OEM_7", 0xDE},       // '"
  {"OEM_102", 0xE2},     // the extra key beside left Shift on ISO boards
};
// clang-format on

// The code of a key name, or 0 when there is no such name.
constexpr std::uint32_t virtual_key_named(std::string_view name) {
  for (const KeyName& key : key_names) {
    if (key.name == name) return key.vk;
  }
  return 0;
}

// Whether every row of a backend's key map (anything with a `name`) names a key in the
// table: for a static_assert, so that a misspelt name stops the build.
template <typename Rows>
constexpr bool all_named(const Rows& rows) {
  for (const auto& row : rows) {
    if (virtual_key_named(row.name) == 0) return false;
  }
  return true;
}

// The numeric pad gives its digit codes while Num Lock is on, and the navigation key each
// key is labelled with while it is off. Windows also gives the navigation key when Shift is
// held with Num Lock on. Backends report the physical key the same either way, so they map
// it to the digit code and pass it through here.
struct NumpadKey {
  std::string_view digit;
  std::string_view navigation;
};
inline constexpr NumpadKey numpad_keys[] = {
    {"NUMPAD0", "INSERT"}, {"NUMPAD1", "END"},   {"NUMPAD2", "DOWN"},   {"NUMPAD3", "NEXT"},
    {"NUMPAD4", "LEFT"},   {"NUMPAD5", "CLEAR"}, {"NUMPAD6", "RIGHT"},  {"NUMPAD7", "HOME"},
    {"NUMPAD8", "UP"},     {"NUMPAD9", "PRIOR"}, {"DECIMAL", "DELETE"},
};

// `vk` as the numeric pad delivers it: unchanged while the pad gives digits (and for every
// key off the pad), otherwise the navigation key.
constexpr std::uint32_t numpad_key(std::uint32_t vk, bool gives_digits) {
  if (gives_digits) return vk;
  for (const NumpadKey& key : numpad_keys) {
    if (virtual_key_named(key.digit) == vk) return virtual_key_named(key.navigation);
  }
  return vk;
}

}  // namespace fpu
