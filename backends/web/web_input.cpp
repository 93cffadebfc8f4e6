#include "backends/web/web_input.h"

#include <cmath>

#include "app/window.h"
#include "platform/key_names.h"
#include "scene/scene_state.h"

namespace fpu::web {
namespace {

struct CodeRow {
  std::string_view code;
  std::string_view name;
};

// KeyboardEvent.code (the physical key, named after its US-layout legend) -> key name. Keys
// named "Key" or "Digit" plus their legend, "F" plus a number and "Numpad" plus a digit are
// read off their names below.
// clang-format off
constexpr CodeRow code_rows[] = {
  {"Enter", "RETURN"},           {"Escape", "ESCAPE"},         {"Backspace", "BACK"},
  {"Tab", "TAB"},                {"Space", "SPACE"},           {"Minus", "OEM_MINUS"},
  {"Equal", "OEM_PLUS"},         {"BracketLeft", "OEM_4"},     {"BracketRight", "OEM_6"},
  {"Backslash", "OEM_5"},        // also the ISO key beside Enter
  {"Semicolon", "OEM_1"},        {"Quote", "OEM_7"},           {"Backquote", "OEM_3"},
  {"Comma", "OEM_COMMA"},        {"Period", "OEM_PERIOD"},     {"Slash", "OEM_2"},
  {"IntlBackslash", "OEM_102"},  {"CapsLock", "CAPITAL"},

  {"PrintScreen", "SNAPSHOT"},   {"ScrollLock", "SCROLL"},     {"Pause", "PAUSE"},
  {"Insert", "INSERT"},          {"Home", "HOME"},             {"PageUp", "PRIOR"},
  {"Delete", "DELETE"},          {"End", "END"},               {"PageDown", "NEXT"},
  {"ArrowRight", "RIGHT"},       {"ArrowLeft", "LEFT"},        {"ArrowDown", "DOWN"},
  {"ArrowUp", "UP"},

  {"NumLock", "NUMLOCK"},        {"NumpadDivide", "DIVIDE"},   {"NumpadMultiply", "MULTIPLY"},
  {"NumpadSubtract", "SUBTRACT"}, {"NumpadAdd", "ADD"},        {"NumpadDecimal", "DECIMAL"},
  {"NumpadEnter", "RETURN"},     // Windows only sets the extended bit

  {"ContextMenu", "APPS"},
  {"ControlLeft", "CONTROL"},    {"ControlRight", "CONTROL"},
  {"ShiftLeft", "SHIFT"},        {"ShiftRight", "SHIFT"},
  {"AltLeft", "MENU"},           {"AltRight", "MENU"},
  {"MetaLeft", "LWIN"},          {"OSLeft", "LWIN"},           // older browsers say OS
  {"MetaRight", "RWIN"},         {"OSRight", "RWIN"},

  {"AudioVolumeMute", "VOLUME_MUTE"}, {"AudioVolumeDown", "VOLUME_DOWN"},
  {"AudioVolumeUp", "VOLUME_UP"},     {"MediaTrackNext", "MEDIA_NEXT_TRACK"},
  {"MediaTrackPrevious", "MEDIA_PREV_TRACK"}, {"MediaStop", "MEDIA_STOP"},
  {"MediaPlayPause", "MEDIA_PLAY_PAUSE"},
};
// clang-format on
static_assert(all_named(code_rows));

// "KeyA" -> "A", "Digit1" -> "1", "F12" -> "F12", "Numpad7" -> "NUMPAD7": the key code of a
// code made of a prefix and the key's own name, or 0.
std::uint32_t code_by_name(std::string_view code) {
  constexpr std::string_view numpad = "Numpad";
  if (code.starts_with(numpad) && code.size() == numpad.size() + 1) {
    const char digit = code.back();
    if (digit < '0' || digit > '9') return 0;
    return virtual_key_named("NUMPAD0") + static_cast<std::uint32_t>(digit - '0');
  }
  for (std::string_view prefix : {"Key", "Digit"}) {
    if (code.starts_with(prefix) && code.size() == prefix.size() + 1) {
      const char legend = code.back();
      const bool fits =
          prefix == "Key" ? legend >= 'A' && legend <= 'Z' : legend >= '0' && legend <= '9';
      return fits ? virtual_key_named(code.substr(prefix.size())) : 0;
    }
  }
  if (code.starts_with('F') && code.size() > 1 && code[1] >= '1' && code[1] <= '9') {
    return virtual_key_named(code);  // F1-F24; "F" alone or "Fn" have no code
  }
  return 0;
}

}  // namespace

std::uint32_t virtual_key_for_code(std::string_view code, bool num_lock_digits) {
  std::uint32_t vk = code_by_name(code);
  for (const CodeRow& row : code_rows) {
    if (vk == 0 && row.code == code) vk = virtual_key_named(row.name);
  }
  return numpad_key(vk, num_lock_digits);
}

bool numpad_gives_digit(std::string_view key) {
  return key.size() == 1 && ((key[0] >= '0' && key[0] <= '9') || key[0] == '.' || key[0] == ',');
}

bool browser_keeps(std::string_view code, const Modifiers& m) {
  // The system's own shortcuts (the Windows or Command key) never belong to the page.
  if (m.meta) return true;
  // Reload, developer tools, full screen.
  if (code == "F5" || code == "F12" || code == "F11" || code == "BrowserRefresh") return true;
  if (m.ctrl && code == "KeyR") return true;
  if (m.ctrl && m.shift && (code == "KeyI" || code == "KeyJ" || code == "KeyC")) return true;
  // Tabs and windows: switch, open, close, reopen; focus moves on with Tab.
  if (code == "Tab") return true;  // with Ctrl it switches tabs, alone it leaves the canvas
  if (m.ctrl && (code == "PageUp" || code == "PageDown" || code == "KeyW" || code == "KeyT" ||
                 code == "KeyN" || code == "F4")) {
    return true;
  }
  if (m.ctrl && code.size() == 6 && code.starts_with("Digit") && code[5] >= '1') return true;
  if (m.alt && (code == "F4" || code == "ArrowLeft" || code == "ArrowRight" || code == "Home")) {
    return true;  // close the window, history back and forward, home page
  }
  return code == "BrowserBack" || code == "BrowserForward";
}

std::optional<WindowMessage> key_message(std::string_view code, std::string_view key,
                                         const Modifiers& modifiers, bool down, bool repeat) {
  if (browser_keeps(code, modifiers)) return std::nullopt;
  const std::uint32_t vk = virtual_key_for_code(code, numpad_gives_digit(key));
  if (vk == 0) return std::nullopt;
  return key_window_message(vk, !down, repeat, modifiers.alt, modifiers.ctrl);
}

std::uint32_t mouse_flags(std::uint32_t dom_buttons, const Modifiers& modifiers) {
  std::uint32_t flags = 0;
  if (dom_buttons & 1u) flags |= mk::lbutton;
  if (dom_buttons & 2u) flags |= mk::rbutton;
  if (dom_buttons & 4u) flags |= mk::mbutton;
  if (dom_buttons & 8u) flags |= mk::xbutton1;
  if (dom_buttons & 16u) flags |= mk::xbutton2;
  if (modifiers.shift) flags |= mk::shift;
  if (modifiers.ctrl) flags |= mk::control;
  return flags;
}

std::optional<std::int32_t> client_coordinate(double css_offset, double css_extent,
                                              std::int32_t pixels) {
  if (!(css_extent > 0) || !(css_offset >= 0)) return std::nullopt;
  const double pixel = std::floor(css_offset * pixels / css_extent);
  if (!(pixel < pixels)) return std::nullopt;
  return static_cast<std::int32_t>(pixel);
}

std::optional<WindowMessage> mouse_message(MouseAction action, int dom_button,
                                           std::uint32_t dom_buttons, const Modifiers& modifiers,
                                           double css_x, double css_y, double css_width,
                                           double css_height) {
  const auto x = client_coordinate(css_x, css_width, view_width);
  const auto y = client_coordinate(css_y, css_height, view_height);
  // Without mouse capture Windows shows the window no input outside its client area.
  if (!x || !y) return std::nullopt;
  std::uint32_t code = msg::mouse_move;
  if (action != MouseAction::move) {
    const bool down = action == MouseAction::down;
    switch (dom_button) {
      case 0:
        code = down ? msg::lbutton_down : msg::lbutton_up;
        break;
      case 1:
        code = down ? msg::mbutton_down : msg::mbutton_up;
        break;
      case 2:
        code = down ? msg::rbutton_down : msg::rbutton_up;
        break;
      default:
        return std::nullopt;  // back and forward: the program has no use for WM_XBUTTON*
    }
  }
  return WindowMessage{code, mouse_flags(dom_buttons, modifiers),
                       widen_lparam(pack_mouse_lparam(*x, *y))};
}

int integer_scale(double device_pixel_ratio) {
  return fpu::integer_scale(device_pixel_ratio);
}

}  // namespace fpu::web
