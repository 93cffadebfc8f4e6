// Translation of browser input (KeyboardEvent.code, MouseEvent buttons and CSS-pixel
// positions) into the Windows messages the window procedure compares against. Plain C++
// with no browser headers, so native tests check the same code the page runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/types.h"

namespace fpu::web {

struct Modifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool meta = false;
};

// The Windows virtual-key code of a physical key named by KeyboardEvent.code, or 0 when it
// has none. `num_lock_digits` picks the numeric pad's digit codes over its navigation keys.
std::uint32_t virtual_key_for_code(std::string_view code, bool num_lock_digits);

// Whether a numeric-pad key gives its digit: the browser reports Num Lock (and Shift, which
// inverts it, as on Windows) through KeyboardEvent.key, a digit or decimal sign when it does.
bool numpad_gives_digit(std::string_view key);

// Keys the browser keeps for itself: reload, developer tools, full screen, tab and window
// switching, history, focus moving with Tab. They reach neither the demo nor preventDefault.
bool browser_keeps(std::string_view code, const Modifiers& modifiers);

// The message a key press (or release) becomes, or nothing for keys the demo never sees.
std::optional<WindowMessage> key_message(std::string_view code, std::string_view key,
                                         const Modifiers& modifiers, bool down, bool repeat);

// MK_* flags for MouseEvent.buttons (1 left, 2 right, 4 middle, 8 back, 16 forward).
std::uint32_t mouse_flags(std::uint32_t dom_buttons, const Modifiers& modifiers);

// A CSS-pixel offset inside a box `css_extent` wide mapped back to one of `pixels` bitmap
// pixels; nothing when it falls outside.
std::optional<std::int32_t> client_coordinate(double css_offset, double css_extent,
                                              std::int32_t pixels);

enum class MouseAction { move, down, up };

// The message a mouse event over the canvas becomes. `dom_button` is MouseEvent.button
// (0 left, 1 middle, 2 right); `dom_buttons` the buttons held after the event.
std::optional<WindowMessage> mouse_message(MouseAction action, int dom_button,
                                           std::uint32_t dom_buttons, const Modifiers& modifiers,
                                           double css_x, double css_y, double css_width,
                                           double css_height);

// The integer factor the 700 x 654 bitmap is scaled by for a device pixel ratio.
int integer_scale(double device_pixel_ratio);

}  // namespace fpu::web
