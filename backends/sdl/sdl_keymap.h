// Translation of SDL2 input events into the Windows messages the window procedure
// compares against: virtual-key codes, MK_* flag sets and packed client coordinates.
// Pure functions of the event and a little context, so tests need no window.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <optional>

#include "platform/types.h"

namespace fpu {

// What an SDL event does not carry by itself.
struct EventContext {
  std::uint16_t modifiers = 0;    // SDL_Keymod in force (mouse events have none of their own)
  std::uint32_t buttons = 0;      // SDL button mask held before the event
  std::int32_t client_width = 0;  // the window's client area in screen pixels
  std::int32_t client_height = 0;
  // Screen pixels per picture pixel: a window scaled for a high-resolution desktop reports
  // mouse positions in the picture's own coordinates, as Windows does for a DPI-unaware
  // program.
  std::int32_t scale = 1;
};

// The Windows virtual-key code of a physical key, or 0 when it has none.
// The numeric pad follows Num Lock (and Shift, which inverts it) as on Windows.
std::uint32_t virtual_key_for(SDL_Scancode scancode, std::uint16_t modifiers);

// MK_* flags for an SDL button mask and keyboard modifiers.
std::uint32_t mouse_flags(std::uint32_t sdl_buttons, std::uint16_t modifiers);

// Mouse lParam: y in the high word, x in the low word, as 32 bits.
LParam mouse_lparam(std::int32_t x, std::int32_t y);

// The SDL button mask after `event`, given the mask before it.
std::uint32_t buttons_after(const SDL_Event& event, std::uint32_t buttons);

// The message an input event becomes, or nothing (unknown keys, wheel, motion outside the
// client area, events that are not input).
std::optional<WindowMessage> translate_event(const SDL_Event& event, const EventContext& context);

}  // namespace fpu
