#include "backends/sdl/sdl_keymap.h"

#include <array>
#include <string_view>

#include "app/window.h"
#include "platform/key_names.h"

namespace fpu {
namespace {

struct KeyRow {
  SDL_Scancode scancode;
  std::string_view name;
};

// Physical key (SDL scancode, USB HID usage) -> key name. Scancodes, not SDL keycodes: SDLK
// letters are lower-case ASCII and collide with key codes (SDLK_a 0x61 is NUMPAD1). Letters,
// digits, F-keys and the pad's digits run in order and are filled in below.
// clang-format off
constexpr KeyRow key_rows[] = {
  {SDL_SCANCODE_RETURN, "RETURN"},        {SDL_SCANCODE_ESCAPE, "ESCAPE"},
  {SDL_SCANCODE_BACKSPACE, "BACK"},       {SDL_SCANCODE_TAB, "TAB"},
  {SDL_SCANCODE_SPACE, "SPACE"},          {SDL_SCANCODE_MINUS, "OEM_MINUS"},
  {SDL_SCANCODE_EQUALS, "OEM_PLUS"},      {SDL_SCANCODE_LEFTBRACKET, "OEM_4"},
  {SDL_SCANCODE_RIGHTBRACKET, "OEM_6"},   {SDL_SCANCODE_BACKSLASH, "OEM_5"},
  {SDL_SCANCODE_NONUSHASH, "OEM_5"},      // the same position on ISO boards
  {SDL_SCANCODE_SEMICOLON, "OEM_1"},      {SDL_SCANCODE_APOSTROPHE, "OEM_7"},
  {SDL_SCANCODE_GRAVE, "OEM_3"},          {SDL_SCANCODE_COMMA, "OEM_COMMA"},
  {SDL_SCANCODE_PERIOD, "OEM_PERIOD"},    {SDL_SCANCODE_SLASH, "OEM_2"},
  {SDL_SCANCODE_CAPSLOCK, "CAPITAL"},     {SDL_SCANCODE_NONUSBACKSLASH, "OEM_102"},

  {SDL_SCANCODE_PRINTSCREEN, "SNAPSHOT"}, {SDL_SCANCODE_SCROLLLOCK, "SCROLL"},
  {SDL_SCANCODE_PAUSE, "PAUSE"},          {SDL_SCANCODE_INSERT, "INSERT"},
  {SDL_SCANCODE_HOME, "HOME"},            {SDL_SCANCODE_PAGEUP, "PRIOR"},
  {SDL_SCANCODE_DELETE, "DELETE"},        {SDL_SCANCODE_END, "END"},
  {SDL_SCANCODE_PAGEDOWN, "NEXT"},        {SDL_SCANCODE_RIGHT, "RIGHT"},
  {SDL_SCANCODE_LEFT, "LEFT"},            {SDL_SCANCODE_DOWN, "DOWN"},
  {SDL_SCANCODE_UP, "UP"},

  {SDL_SCANCODE_NUMLOCKCLEAR, "NUMLOCK"}, {SDL_SCANCODE_KP_DIVIDE, "DIVIDE"},
  {SDL_SCANCODE_KP_MULTIPLY, "MULTIPLY"}, {SDL_SCANCODE_KP_MINUS, "SUBTRACT"},
  {SDL_SCANCODE_KP_PLUS, "ADD"},          {SDL_SCANCODE_KP_PERIOD, "DECIMAL"},
  {SDL_SCANCODE_KP_ENTER, "RETURN"},      // Windows only sets the extended bit

  {SDL_SCANCODE_APPLICATION, "APPS"},     {SDL_SCANCODE_EXECUTE, "EXECUTE"},
  {SDL_SCANCODE_HELP, "HELP"},            {SDL_SCANCODE_SELECT, "SELECT"},
  {SDL_SCANCODE_CLEAR, "CLEAR"},          {SDL_SCANCODE_SLEEP, "SLEEP"},
  {SDL_SCANCODE_LCTRL, "CONTROL"},        {SDL_SCANCODE_RCTRL, "CONTROL"},
  {SDL_SCANCODE_LSHIFT, "SHIFT"},         {SDL_SCANCODE_RSHIFT, "SHIFT"},
  {SDL_SCANCODE_LALT, "MENU"},            {SDL_SCANCODE_RALT, "MENU"},
  {SDL_SCANCODE_LGUI, "LWIN"},            {SDL_SCANCODE_RGUI, "RWIN"},

  {SDL_SCANCODE_MUTE, "VOLUME_MUTE"},     {SDL_SCANCODE_AUDIOMUTE, "VOLUME_MUTE"},
  {SDL_SCANCODE_VOLUMEUP, "VOLUME_UP"},   {SDL_SCANCODE_VOLUMEDOWN, "VOLUME_DOWN"},
  {SDL_SCANCODE_AUDIONEXT, "MEDIA_NEXT_TRACK"}, {SDL_SCANCODE_AUDIOPREV, "MEDIA_PREV_TRACK"},
  {SDL_SCANCODE_AUDIOSTOP, "MEDIA_STOP"}, {SDL_SCANCODE_AUDIOPLAY, "MEDIA_PLAY_PAUSE"},
  {SDL_SCANCODE_MEDIASELECT, "LAUNCH_MEDIA_SELECT"}, {SDL_SCANCODE_MAIL, "LAUNCH_MAIL"},
  {SDL_SCANCODE_COMPUTER, "LAUNCH_APP1"}, {SDL_SCANCODE_CALCULATOR, "LAUNCH_APP2"},
  {SDL_SCANCODE_AC_SEARCH, "BROWSER_SEARCH"}, {SDL_SCANCODE_AC_HOME, "BROWSER_HOME"},
  {SDL_SCANCODE_AC_BACK, "BROWSER_BACK"}, {SDL_SCANCODE_AC_FORWARD, "BROWSER_FORWARD"},
  {SDL_SCANCODE_AC_STOP, "BROWSER_STOP"}, {SDL_SCANCODE_AC_REFRESH, "BROWSER_REFRESH"},
  {SDL_SCANCODE_AC_BOOKMARKS, "BROWSER_FAVORITES"},
};
// clang-format on

// A run of scancodes in the same order as a run of key codes.
struct KeyRun {
  SDL_Scancode first;
  std::uint32_t count;
  std::string_view name;  // the first key's
};
constexpr KeyRun key_runs[] = {
    {SDL_SCANCODE_A, 26, "A"},         {SDL_SCANCODE_1, 9, "1"},
    {SDL_SCANCODE_0, 1, "0"},          {SDL_SCANCODE_F1, 12, "F1"},
    {SDL_SCANCODE_F13, 12, "F13"},     {SDL_SCANCODE_KP_1, 9, "NUMPAD1"},
    {SDL_SCANCODE_KP_0, 1, "NUMPAD0"},
};
static_assert(all_named(key_rows) && all_named(key_runs));

constexpr auto key_table = [] {
  std::array<std::uint8_t, SDL_NUM_SCANCODES> table{};
  for (const KeyRow& row : key_rows) {
    table[row.scancode] = static_cast<std::uint8_t>(virtual_key_named(row.name));
  }
  for (const KeyRun& run : key_runs) {
    for (std::uint32_t i = 0; i < run.count; ++i) {
      table[run.first + i] = static_cast<std::uint8_t>(virtual_key_named(run.name) + i);
    }
  }
  return table;
}();

struct PicturePoint {
  std::int32_t x;
  std::int32_t y;
};

PicturePoint picture_point(std::int32_t x, std::int32_t y, const EventContext& context) {
  return {picture_coordinate(x, context.scale), picture_coordinate(y, context.scale)};
}

bool inside_client(PicturePoint point, const EventContext& context) {
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
  const PicturePoint point = picture_point(button.x, button.y, context);
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
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  // SDL reports the pad's keys the same whatever Num Lock says; Shift inverts Num Lock.
  const bool digits = (modifiers & KMOD_NUM) != 0 && (modifiers & KMOD_SHIFT) == 0;
  return numpad_key(key_table[scancode], digits);
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
  return widen_lparam(pack_mouse_lparam(x, y));
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
      const PicturePoint point = picture_point(event.motion.x, event.motion.y, context);
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
