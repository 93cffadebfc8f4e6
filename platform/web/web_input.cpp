#include "platform/web/web_input.h"

#include <cmath>

#include "platform/display_scale.h"
#include "scene/scene_state.h"

namespace fpu::web {
namespace {

struct CodeRow {
  std::string_view code;
  std::uint8_t vk;
};

// KeyboardEvent.code (the physical key, named after its US-layout legend) -> Windows
// virtual-key code, following Microsoft's "Virtual-Key Codes" table with a US layout for
// the OEM keys, as the SDL backend's scancode table does. Both Shift, Ctrl and Alt keys
// give the side-less VK, as WM_KEYDOWN does.
// clang-format off
constexpr CodeRow code_rows[] = {
  {"KeyA", 0x41}, {"KeyB", 0x42}, {"KeyC", 0x43}, {"KeyD", 0x44}, {"KeyE", 0x45},
  {"KeyF", 0x46}, {"KeyG", 0x47}, {"KeyH", 0x48}, {"KeyI", 0x49}, {"KeyJ", 0x4A},
  {"KeyK", 0x4B}, {"KeyL", 0x4C}, {"KeyM", 0x4D}, {"KeyN", 0x4E}, {"KeyO", 0x4F},
  {"KeyP", 0x50}, {"KeyQ", 0x51}, {"KeyR", 0x52}, {"KeyS", 0x53}, {"KeyT", 0x54},
  {"KeyU", 0x55}, {"KeyV", 0x56}, {"KeyW", 0x57}, {"KeyX", 0x58}, {"KeyY", 0x59},
  {"KeyZ", 0x5A},

  {"Digit0", 0x30}, {"Digit1", 0x31}, {"Digit2", 0x32}, {"Digit3", 0x33}, {"Digit4", 0x34},
  {"Digit5", 0x35}, {"Digit6", 0x36}, {"Digit7", 0x37}, {"Digit8", 0x38}, {"Digit9", 0x39},

  {"Enter",        0x0D},  // VK_RETURN
  {"Escape",       0x1B},  // VK_ESCAPE
  {"Backspace",    0x08},  // VK_BACK
  {"Tab",          0x09},  // VK_TAB
  {"Space",        0x20},  // VK_SPACE
  {"Minus",        0xBD},  // VK_OEM_MINUS
  {"Equal",        0xBB},  // VK_OEM_PLUS
  {"BracketLeft",  0xDB},  // VK_OEM_4
  {"BracketRight", 0xDD},  // VK_OEM_6
  {"Backslash",    0xDC},  // VK_OEM_5 (also the ISO key beside Enter)
  {"Semicolon",    0xBA},  // VK_OEM_1
  {"Quote",        0xDE},  // VK_OEM_7
  {"Backquote",    0xC0},  // VK_OEM_3, the key left of 1
  {"Comma",        0xBC},  // VK_OEM_COMMA
  {"Period",       0xBE},  // VK_OEM_PERIOD
  {"Slash",        0xBF},  // VK_OEM_2
  {"IntlBackslash", 0xE2}, // VK_OEM_102
  {"CapsLock",     0x14},  // VK_CAPITAL

  {"F1",  0x70}, {"F2",  0x71}, {"F3",  0x72}, {"F4",  0x73}, {"F5",  0x74}, {"F6",  0x75},
  {"F7",  0x76}, {"F8",  0x77}, {"F9",  0x78}, {"F10", 0x79}, {"F11", 0x7A}, {"F12", 0x7B},
  {"F13", 0x7C}, {"F14", 0x7D}, {"F15", 0x7E}, {"F16", 0x7F}, {"F17", 0x80}, {"F18", 0x81},
  {"F19", 0x82}, {"F20", 0x83}, {"F21", 0x84}, {"F22", 0x85}, {"F23", 0x86}, {"F24", 0x87},

  {"PrintScreen", 0x2C},  // VK_SNAPSHOT
  {"ScrollLock",  0x91},  // VK_SCROLL
  {"Pause",       0x13},  // VK_PAUSE
  {"Insert",      0x2D},  // VK_INSERT
  {"Home",        0x24},  // VK_HOME
  {"PageUp",      0x21},  // VK_PRIOR
  {"Delete",      0x2E},  // VK_DELETE
  {"End",         0x23},  // VK_END
  {"PageDown",    0x22},  // VK_NEXT
  {"ArrowRight",  0x27},  // VK_RIGHT
  {"ArrowLeft",   0x25},  // VK_LEFT
  {"ArrowDown",   0x28},  // VK_DOWN
  {"ArrowUp",     0x26},  // VK_UP

  {"NumLock",        0x90},  // VK_NUMLOCK
  {"NumpadDivide",   0x6F},  // VK_DIVIDE
  {"NumpadMultiply", 0x6A},  // VK_MULTIPLY
  {"NumpadSubtract", 0x6D},  // VK_SUBTRACT
  {"NumpadAdd",      0x6B},  // VK_ADD
  {"NumpadEnter",    0x0D},  // VK_RETURN (Windows only sets the extended bit)

  {"ContextMenu",  0x5D},  // VK_APPS
  {"ControlLeft",  0x11}, {"ControlRight", 0x11},  // VK_CONTROL
  {"ShiftLeft",    0x10}, {"ShiftRight",   0x10},  // VK_SHIFT
  {"AltLeft",      0x12}, {"AltRight",     0x12},  // VK_MENU
  {"MetaLeft",     0x5B}, {"OSLeft",       0x5B},  // VK_LWIN (older browsers say OS)
  {"MetaRight",    0x5C}, {"OSRight",      0x5C},  // VK_RWIN

  {"AudioVolumeMute",    0xAD}, {"AudioVolumeDown", 0xAE}, {"AudioVolumeUp", 0xAF},
  {"MediaTrackNext",     0xB0}, {"MediaTrackPrevious", 0xB1},
  {"MediaStop",          0xB2}, {"MediaPlayPause", 0xB3},
};

// The numeric pad: digit codes while it gives digits, otherwise the navigation key it is
// labelled with. The browser names the physical key the same either way.
struct NumpadRow {
  std::string_view code;
  std::uint8_t vk_digit;
  std::uint8_t vk_navigation;
};
constexpr NumpadRow numpad_rows[] = {
  {"Numpad0",       0x60, 0x2D},  // VK_NUMPAD0 / VK_INSERT
  {"Numpad1",       0x61, 0x23},  // VK_NUMPAD1 / VK_END
  {"Numpad2",       0x62, 0x28},  // VK_NUMPAD2 / VK_DOWN
  {"Numpad3",       0x63, 0x22},  // VK_NUMPAD3 / VK_NEXT
  {"Numpad4",       0x64, 0x25},  // VK_NUMPAD4 / VK_LEFT
  {"Numpad5",       0x65, 0x0C},  // VK_NUMPAD5 / VK_CLEAR
  {"Numpad6",       0x66, 0x27},  // VK_NUMPAD6 / VK_RIGHT
  {"Numpad7",       0x67, 0x24},  // VK_NUMPAD7 / VK_HOME
  {"Numpad8",       0x68, 0x26},  // VK_NUMPAD8 / VK_UP
  {"Numpad9",       0x69, 0x21},  // VK_NUMPAD9 / VK_PRIOR
  {"NumpadDecimal", 0x6E, 0x2E},  // VK_DECIMAL / VK_DELETE
};
// clang-format on

}  // namespace

std::uint32_t virtual_key_for_code(std::string_view code, bool num_lock_digits) {
  for (const NumpadRow& row : numpad_rows) {
    if (row.code == code) return num_lock_digits ? row.vk_digit : row.vk_navigation;
  }
  for (const CodeRow& row : code_rows) {
    if (row.code == code) return row.vk;
  }
  return 0;
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
