#include "platform/sdl/sdl_keymap.h"

#include <array>

#include "platform/display_scale.h"

namespace fpu {
namespace {

struct KeyRow {
  SDL_Scancode scancode;
  std::uint8_t vk;
};

// Physical key (SDL scancode, USB HID usage) -> Windows virtual-key code, following
// Microsoft's "Virtual-Key Codes" table with a US layout for the OEM keys. Scancodes, not
// SDL keycodes: SDLK letters are lower-case ASCII and collide with VK codes
// (SDLK_a 0x61 is VK_NUMPAD1, SDLK_BACKQUOTE 0x60 is VK_NUMPAD0).
// Both Shift, Ctrl and Alt keys give the side-less VK, as WM_KEYDOWN does.
// clang-format off
constexpr KeyRow key_rows[] = {
  {SDL_SCANCODE_A, 0x41}, {SDL_SCANCODE_B, 0x42}, {SDL_SCANCODE_C, 0x43}, {SDL_SCANCODE_D, 0x44},
  {SDL_SCANCODE_E, 0x45}, {SDL_SCANCODE_F, 0x46}, {SDL_SCANCODE_G, 0x47}, {SDL_SCANCODE_H, 0x48},
  {SDL_SCANCODE_I, 0x49}, {SDL_SCANCODE_J, 0x4A}, {SDL_SCANCODE_K, 0x4B}, {SDL_SCANCODE_L, 0x4C},
  {SDL_SCANCODE_M, 0x4D}, {SDL_SCANCODE_N, 0x4E}, {SDL_SCANCODE_O, 0x4F}, {SDL_SCANCODE_P, 0x50},
  {SDL_SCANCODE_Q, 0x51}, {SDL_SCANCODE_R, 0x52}, {SDL_SCANCODE_S, 0x53}, {SDL_SCANCODE_T, 0x54},
  {SDL_SCANCODE_U, 0x55}, {SDL_SCANCODE_V, 0x56}, {SDL_SCANCODE_W, 0x57}, {SDL_SCANCODE_X, 0x58},
  {SDL_SCANCODE_Y, 0x59}, {SDL_SCANCODE_Z, 0x5A},

  {SDL_SCANCODE_1, 0x31}, {SDL_SCANCODE_2, 0x32}, {SDL_SCANCODE_3, 0x33}, {SDL_SCANCODE_4, 0x34},
  {SDL_SCANCODE_5, 0x35}, {SDL_SCANCODE_6, 0x36}, {SDL_SCANCODE_7, 0x37}, {SDL_SCANCODE_8, 0x38},
  {SDL_SCANCODE_9, 0x39}, {SDL_SCANCODE_0, 0x30},

  {SDL_SCANCODE_RETURN,       0x0D},  // VK_RETURN
  {SDL_SCANCODE_ESCAPE,       0x1B},  // VK_ESCAPE
  {SDL_SCANCODE_BACKSPACE,    0x08},  // VK_BACK
  {SDL_SCANCODE_TAB,          0x09},  // VK_TAB
  {SDL_SCANCODE_SPACE,        0x20},  // VK_SPACE
  {SDL_SCANCODE_MINUS,        0xBD},  // VK_OEM_MINUS
  {SDL_SCANCODE_EQUALS,       0xBB},  // VK_OEM_PLUS
  {SDL_SCANCODE_LEFTBRACKET,  0xDB},  // VK_OEM_4
  {SDL_SCANCODE_RIGHTBRACKET, 0xDD},  // VK_OEM_6
  {SDL_SCANCODE_BACKSLASH,    0xDC},  // VK_OEM_5
  {SDL_SCANCODE_NONUSHASH,    0xDC},  // same position as backslash on ISO boards
  {SDL_SCANCODE_SEMICOLON,    0xBA},  // VK_OEM_1
  {SDL_SCANCODE_APOSTROPHE,   0xDE},  // VK_OEM_7
  {SDL_SCANCODE_GRAVE,        0xC0},  // VK_OEM_3, the key left of 1
  {SDL_SCANCODE_COMMA,        0xBC},  // VK_OEM_COMMA
  {SDL_SCANCODE_PERIOD,       0xBE},  // VK_OEM_PERIOD
  {SDL_SCANCODE_SLASH,        0xBF},  // VK_OEM_2
  {SDL_SCANCODE_CAPSLOCK,     0x14},  // VK_CAPITAL

  {SDL_SCANCODE_F1,  0x70}, {SDL_SCANCODE_F2,  0x71}, {SDL_SCANCODE_F3,  0x72},
  {SDL_SCANCODE_F4,  0x73}, {SDL_SCANCODE_F5,  0x74}, {SDL_SCANCODE_F6,  0x75},
  {SDL_SCANCODE_F7,  0x76}, {SDL_SCANCODE_F8,  0x77}, {SDL_SCANCODE_F9,  0x78},
  {SDL_SCANCODE_F10, 0x79}, {SDL_SCANCODE_F11, 0x7A}, {SDL_SCANCODE_F12, 0x7B},
  {SDL_SCANCODE_F13, 0x7C}, {SDL_SCANCODE_F14, 0x7D}, {SDL_SCANCODE_F15, 0x7E},
  {SDL_SCANCODE_F16, 0x7F}, {SDL_SCANCODE_F17, 0x80}, {SDL_SCANCODE_F18, 0x81},
  {SDL_SCANCODE_F19, 0x82}, {SDL_SCANCODE_F20, 0x83}, {SDL_SCANCODE_F21, 0x84},
  {SDL_SCANCODE_F22, 0x85}, {SDL_SCANCODE_F23, 0x86}, {SDL_SCANCODE_F24, 0x87},

  {SDL_SCANCODE_PRINTSCREEN,  0x2C},  // VK_SNAPSHOT
  {SDL_SCANCODE_SCROLLLOCK,   0x91},  // VK_SCROLL
  {SDL_SCANCODE_PAUSE,        0x13},  // VK_PAUSE
  {SDL_SCANCODE_INSERT,       0x2D},  // VK_INSERT
  {SDL_SCANCODE_HOME,         0x24},  // VK_HOME
  {SDL_SCANCODE_PAGEUP,       0x21},  // VK_PRIOR
  {SDL_SCANCODE_DELETE,       0x2E},  // VK_DELETE
  {SDL_SCANCODE_END,          0x23},  // VK_END
  {SDL_SCANCODE_PAGEDOWN,     0x22},  // VK_NEXT
  {SDL_SCANCODE_RIGHT,        0x27},  // VK_RIGHT
  {SDL_SCANCODE_LEFT,         0x25},  // VK_LEFT
  {SDL_SCANCODE_DOWN,         0x28},  // VK_DOWN
  {SDL_SCANCODE_UP,           0x26},  // VK_UP

  {SDL_SCANCODE_NUMLOCKCLEAR, 0x90},  // VK_NUMLOCK
  {SDL_SCANCODE_KP_DIVIDE,    0x6F},  // VK_DIVIDE
  {SDL_SCANCODE_KP_MULTIPLY,  0x6A},  // VK_MULTIPLY
  {SDL_SCANCODE_KP_MINUS,     0x6D},  // VK_SUBTRACT
  {SDL_SCANCODE_KP_PLUS,      0x6B},  // VK_ADD
  {SDL_SCANCODE_KP_ENTER,     0x0D},  // VK_RETURN (Windows only sets the extended bit)

  {SDL_SCANCODE_NONUSBACKSLASH, 0xE2},  // VK_OEM_102
  {SDL_SCANCODE_APPLICATION,    0x5D},  // VK_APPS
  {SDL_SCANCODE_EXECUTE,        0x2B},  // VK_EXECUTE
  {SDL_SCANCODE_HELP,           0x2F},  // VK_HELP
  {SDL_SCANCODE_SELECT,         0x29},  // VK_SELECT
  {SDL_SCANCODE_MUTE,           0xAD},  // VK_VOLUME_MUTE
  {SDL_SCANCODE_VOLUMEUP,       0xAF},  // VK_VOLUME_UP
  {SDL_SCANCODE_VOLUMEDOWN,     0xAE},  // VK_VOLUME_DOWN
  {SDL_SCANCODE_CLEAR,          0x0C},  // VK_CLEAR

  {SDL_SCANCODE_LCTRL,  0x11}, {SDL_SCANCODE_RCTRL,  0x11},  // VK_CONTROL
  {SDL_SCANCODE_LSHIFT, 0x10}, {SDL_SCANCODE_RSHIFT, 0x10},  // VK_SHIFT
  {SDL_SCANCODE_LALT,   0x12}, {SDL_SCANCODE_RALT,   0x12},  // VK_MENU
  {SDL_SCANCODE_LGUI,   0x5B},                               // VK_LWIN
  {SDL_SCANCODE_RGUI,   0x5C},                               // VK_RWIN

  {SDL_SCANCODE_AUDIONEXT,   0xB0},  // VK_MEDIA_NEXT_TRACK
  {SDL_SCANCODE_AUDIOPREV,   0xB1},  // VK_MEDIA_PREV_TRACK
  {SDL_SCANCODE_AUDIOSTOP,   0xB2},  // VK_MEDIA_STOP
  {SDL_SCANCODE_AUDIOPLAY,   0xB3},  // VK_MEDIA_PLAY_PAUSE
  {SDL_SCANCODE_AUDIOMUTE,   0xAD},  // VK_VOLUME_MUTE
  {SDL_SCANCODE_MEDIASELECT, 0xB5},  // VK_LAUNCH_MEDIA_SELECT
  {SDL_SCANCODE_MAIL,        0xB4},  // VK_LAUNCH_MAIL
  {SDL_SCANCODE_COMPUTER,    0xB6},  // VK_LAUNCH_APP1
  {SDL_SCANCODE_CALCULATOR,  0xB7},  // VK_LAUNCH_APP2
  {SDL_SCANCODE_AC_SEARCH,   0xAA},  // VK_BROWSER_SEARCH
  {SDL_SCANCODE_AC_HOME,     0xAC},  // VK_BROWSER_HOME
  {SDL_SCANCODE_AC_BACK,     0xA6},  // VK_BROWSER_BACK
  {SDL_SCANCODE_AC_FORWARD,  0xA7},  // VK_BROWSER_FORWARD
  {SDL_SCANCODE_AC_STOP,     0xA9},  // VK_BROWSER_STOP
  {SDL_SCANCODE_AC_REFRESH,  0xA8},  // VK_BROWSER_REFRESH
  {SDL_SCANCODE_AC_BOOKMARKS, 0xAB}, // VK_BROWSER_FAVORITES
  {SDL_SCANCODE_SLEEP,       0x5F},  // VK_SLEEP
};

// The numeric pad: digit codes while Num Lock is on, the navigation key it is labelled
// with while it is off. Windows also gives the navigation key when Shift is held with
// Num Lock on. SDL2 reports the same scancode (and keycode) either way.
struct KeypadRow {
  SDL_Scancode scancode;
  std::uint8_t vk_num_lock_on;
  std::uint8_t vk_num_lock_off;
};
constexpr KeypadRow keypad_rows[] = {
  {SDL_SCANCODE_KP_0,      0x60, 0x2D},  // VK_NUMPAD0  / VK_INSERT
  {SDL_SCANCODE_KP_1,      0x61, 0x23},  // VK_NUMPAD1  / VK_END
  {SDL_SCANCODE_KP_2,      0x62, 0x28},  // VK_NUMPAD2  / VK_DOWN
  {SDL_SCANCODE_KP_3,      0x63, 0x22},  // VK_NUMPAD3  / VK_NEXT
  {SDL_SCANCODE_KP_4,      0x64, 0x25},  // VK_NUMPAD4  / VK_LEFT
  {SDL_SCANCODE_KP_5,      0x65, 0x0C},  // VK_NUMPAD5  / VK_CLEAR
  {SDL_SCANCODE_KP_6,      0x66, 0x27},  // VK_NUMPAD6  / VK_RIGHT
  {SDL_SCANCODE_KP_7,      0x67, 0x24},  // VK_NUMPAD7  / VK_HOME
  {SDL_SCANCODE_KP_8,      0x68, 0x26},  // VK_NUMPAD8  / VK_UP
  {SDL_SCANCODE_KP_9,      0x69, 0x21},  // VK_NUMPAD9  / VK_PRIOR
  {SDL_SCANCODE_KP_PERIOD, 0x6E, 0x2E},  // VK_DECIMAL  / VK_DELETE
};
// clang-format on

constexpr auto key_table = [] {
  std::array<std::uint8_t, SDL_NUM_SCANCODES> table{};
  for (const KeyRow& row : key_rows) table[row.scancode] = row.vk;
  return table;
}();

struct Point {
  std::int32_t x;
  std::int32_t y;
};

Point picture_point(std::int32_t x, std::int32_t y, const EventContext& context) {
  return {picture_coordinate(x, context.scale), picture_coordinate(y, context.scale)};
}

bool inside_client(Point point, const EventContext& context) {
  return point.x >= 0 && point.y >= 0 &&
         point.x < picture_coordinate(context.client_width, context.scale) &&
         point.y < picture_coordinate(context.client_height, context.scale);
}

std::optional<WindowMessage> translate_key(const SDL_KeyboardEvent& key) {
  const std::uint16_t modifiers = key.keysym.mod;
  const std::uint32_t vk = virtual_key_for(key.keysym.scancode, modifiers);
  if (vk == 0) return std::nullopt;
  return key_window_message(vk, key.type == SDL_KEYUP, key.repeat != 0, (modifiers & KMOD_ALT) != 0,
                            (modifiers & KMOD_CTRL) != 0);
}

std::optional<WindowMessage> translate_button(const SDL_MouseButtonEvent& button,
                                              const EventContext& context,
                                              std::uint32_t buttons_now) {
  const Point point = picture_point(button.x, button.y, context);
  if (!inside_client(point, context)) return std::nullopt;
  const bool down = button.type == SDL_MOUSEBUTTONDOWN;
  std::uint32_t code = 0;
  switch (button.button) {
    case SDL_BUTTON_LEFT:
      code = down ? msg::lbutton_down : msg::lbutton_up;
      break;
    case SDL_BUTTON_RIGHT:
      code = down ? msg::rbutton_down : msg::rbutton_up;
      break;
    case SDL_BUTTON_MIDDLE:
      code = down ? msg::mbutton_down : msg::mbutton_up;
      break;
    default:
      return std::nullopt;  // extra buttons: the program has no use for WM_XBUTTON*
  }
  return WindowMessage{code, mouse_flags(buttons_now, context.modifiers),
                       mouse_lparam(point.x, point.y)};
}

}  // namespace

std::uint32_t virtual_key_for(SDL_Scancode scancode, std::uint16_t modifiers) {
  for (const KeypadRow& row : keypad_rows) {
    if (row.scancode == scancode) {
      const bool digits = (modifiers & KMOD_NUM) != 0 && (modifiers & KMOD_SHIFT) == 0;
      return digits ? row.vk_num_lock_on : row.vk_num_lock_off;
    }
  }
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  return key_table[scancode];
}

std::uint32_t mouse_flags(std::uint32_t sdl_buttons, std::uint16_t modifiers) {
  std::uint32_t flags = 0;
  if (sdl_buttons & SDL_BUTTON_LMASK) flags |= mk::lbutton;
  if (sdl_buttons & SDL_BUTTON_RMASK) flags |= mk::rbutton;
  if (sdl_buttons & SDL_BUTTON_MMASK) flags |= mk::mbutton;
  if (sdl_buttons & SDL_BUTTON_X1MASK) flags |= mk::xbutton1;
  if (sdl_buttons & SDL_BUTTON_X2MASK) flags |= mk::xbutton2;
  if (modifiers & KMOD_SHIFT) flags |= mk::shift;
  if (modifiers & KMOD_CTRL) flags |= mk::control;
  return flags;
}

LParam mouse_lparam(std::int32_t x, std::int32_t y) {
  return static_cast<LParam>(pack_mouse_lparam(x, y));
}

std::uint32_t buttons_after(const SDL_Event& event, std::uint32_t buttons) {
  switch (event.type) {
    case SDL_MOUSEMOTION:
      return event.motion.state;
    case SDL_MOUSEBUTTONDOWN:
      return buttons | SDL_BUTTON(event.button.button);
    case SDL_MOUSEBUTTONUP:
      return buttons & ~static_cast<std::uint32_t>(SDL_BUTTON(event.button.button));
    default:
      return buttons;
  }
}

std::optional<WindowMessage> translate_event(const SDL_Event& event, const EventContext& context) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      return translate_key(event.key);
    case SDL_MOUSEMOTION: {
      // Without mouse capture Windows shows the window no motion outside its client area,
      // even while a button is held; X11 reports it during the implicit grab.
      const Point point = picture_point(event.motion.x, event.motion.y, context);
      if (!inside_client(point, context)) return std::nullopt;
      return WindowMessage{msg::mouse_move, mouse_flags(event.motion.state, context.modifiers),
                           mouse_lparam(point.x, point.y)};
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return translate_button(event.button, context, buttons_after(event, context.buttons));
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) return WindowMessage{msg::close, 0, 0};
      return std::nullopt;
    case SDL_QUIT:  // also SIGINT and SIGTERM: end as the close button does
      return WindowMessage{msg::close, 0, 0};
    default:
      return std::nullopt;
  }
}

}  // namespace fpu
