// Plain value types shared by the portable core and every platform backend.
// No OS header is included here: handles travel as integers.
#pragma once

#include <cstdint>

#include "platform/key_names.h"

namespace fpu {

// An opaque platform object (device context, bitmap, pen, brush, module). 0 is "none".
using Handle = std::uintptr_t;
// The window the message is for; the core never stores it, it only passes it along.
using WindowHandle = std::uintptr_t;
// Colour as 0x00BBGGRR (red in the low byte).
using ColorRef = std::uint32_t;
// Message parameters at the platform's full width; the core reads the low 32 bits.
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

// Mouse messages carry client coordinates in lParam: x in the low word, y in the high word,
// each a 16-bit two's-complement value.
constexpr std::uint32_t pack_mouse_lparam(std::int32_t x, std::int32_t y) {
  return (static_cast<std::uint32_t>(y) << 16) | (static_cast<std::uint32_t>(x) & 0xFFFFu);
}
constexpr std::uint16_t lparam_x(std::uint32_t lparam) {
  return static_cast<std::uint16_t>(lparam & 0xFFFFu);
}
constexpr std::uint16_t lparam_y(std::uint32_t lparam) {
  return static_cast<std::uint16_t>(lparam >> 16);
}
// lParam at the platform's width: a 32-bit value widens with its sign, as Windows widens it.
constexpr LParam widen_lparam(std::uint32_t lparam) {
  return static_cast<LParam>(static_cast<std::int32_t>(lparam));
}

// Rectangle with exclusive right and bottom edges.
struct Rect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
  friend bool operator==(const Rect&, const Rect&) = default;
};

namespace color {
inline constexpr ColorRef black = 0x000000;
inline constexpr ColorRef white = 0xFFFFFF;
inline constexpr ColorRef green = 0x00FF00;
inline constexpr ColorRef red = 0x0000FF;
inline constexpr ColorRef blue = 0xFF0000;
inline constexpr ColorRef silver = 0xC0C0C0;
}  // namespace color

// Window message codes the program handles or produces (Windows values).
namespace msg {
inline constexpr std::uint32_t create = 0x0001;
inline constexpr std::uint32_t destroy = 0x0002;
inline constexpr std::uint32_t paint = 0x000F;
inline constexpr std::uint32_t close = 0x0010;
inline constexpr std::uint32_t key_down = 0x0100;
inline constexpr std::uint32_t key_up = 0x0101;
inline constexpr std::uint32_t sys_key_down = 0x0104;
inline constexpr std::uint32_t sys_key_up = 0x0105;
inline constexpr std::uint32_t timer = 0x0113;
inline constexpr std::uint32_t mouse_move = 0x0200;
inline constexpr std::uint32_t lbutton_down = 0x0201;
inline constexpr std::uint32_t lbutton_up = 0x0202;
inline constexpr std::uint32_t rbutton_down = 0x0204;
inline constexpr std::uint32_t rbutton_up = 0x0205;
inline constexpr std::uint32_t mbutton_down = 0x0207;
inline constexpr std::uint32_t mbutton_up = 0x0208;
}  // namespace msg

// Mouse button and modifier flags carried in wParam of mouse messages.
namespace mk {
inline constexpr std::uint32_t lbutton = 0x0001;
inline constexpr std::uint32_t rbutton = 0x0002;
inline constexpr std::uint32_t shift = 0x0004;
inline constexpr std::uint32_t control = 0x0008;
inline constexpr std::uint32_t mbutton = 0x0010;
inline constexpr std::uint32_t xbutton1 = 0x0020;
inline constexpr std::uint32_t xbutton2 = 0x0040;
}  // namespace mk

// Windows virtual-key codes the key commands compare against, by their names in the one
// key table (key_names.h).
namespace vk {
inline constexpr std::uint32_t back = virtual_key_named("BACK");
inline constexpr std::uint32_t menu = virtual_key_named("MENU");  // Alt
inline constexpr std::uint32_t return_key = virtual_key_named("RETURN");
inline constexpr std::uint32_t escape = virtual_key_named("ESCAPE");
inline constexpr std::uint32_t space = virtual_key_named("SPACE");
inline constexpr std::uint32_t insert = virtual_key_named("INSERT");
inline constexpr std::uint32_t left = virtual_key_named("LEFT");
inline constexpr std::uint32_t up = virtual_key_named("UP");
inline constexpr std::uint32_t right = virtual_key_named("RIGHT");
inline constexpr std::uint32_t down = virtual_key_named("DOWN");
inline constexpr std::uint32_t numpad0 = virtual_key_named("NUMPAD0");
inline constexpr std::uint32_t f1 = virtual_key_named("F1");
inline constexpr std::uint32_t f10 = virtual_key_named("F10");
inline constexpr std::uint32_t oem_comma = virtual_key_named("OEM_COMMA");
inline constexpr std::uint32_t oem_minus = virtual_key_named("OEM_MINUS");
inline constexpr std::uint32_t oem_period = virtual_key_named("OEM_PERIOD");
inline constexpr std::uint32_t oem_3 = virtual_key_named("OEM_3");
}  // namespace vk

// A message as a backend hands it to the window procedure.
struct WindowMessage {
  std::uint32_t code = 0;
  WParam wparam = 0;
  LParam lparam = 0;
  friend bool operator==(const WindowMessage&, const WindowMessage&) = default;
};

// A key press or release as Windows delivers it. F10, Alt itself and keys pressed with Alt
// (but not Ctrl+Alt, which is AltGr there) are system keys. lParam: repeat count 1, context
// bit 29 (Alt held), previous-state bit 30, transition bit 31; scan code and extended bit
// stay 0, as nothing in the program reads them.
constexpr WindowMessage key_window_message(std::uint32_t virtual_key, bool released, bool repeat,
                                           bool alt, bool ctrl) {
  const bool system = virtual_key == vk::f10 || virtual_key == vk::menu || (alt && !ctrl);
  const bool was_down = released || repeat;
  std::uint32_t lparam = 1;
  if (alt) lparam |= 1u << 29;
  if (was_down) lparam |= 1u << 30;
  if (released) lparam |= 1u << 31;
  const std::uint32_t code = released ? (system ? msg::sys_key_up : msg::key_up)
                                      : (system ? msg::sys_key_down : msg::key_down);
  return {code, virtual_key, widen_lparam(lparam)};
}

}  // namespace fpu
