// What the demo's keys and mouse drags do: the one list the --help text shows, and that the
// README, the man page and the web page are checked against.
#pragma once

#include "text/options.h"

namespace fpu {

// clang-format off
inline constexpr options::HelpRow demo_keys[] = {
    {"arrows", "turn about Y (left, right) or X (up, down), and keep that turn"},
    {"other keys", "their command, if any, then the kept turn again (at first about all three axes)"},
    {"A D / Q E", "ring A / ring B radius down, up, and stop the kept turn"},
    {"Z C", "rings apart, together, and stop the kept turn"},
    {"X", "full ring on, off"},
    {"S, the key left of 1", "string art on, off (its offsets start at 0, a single line: press V and B first)"},
    {"L", "string art on with new random offsets; when it is on: off"},
    {"minus", "string art on with new random offsets"},
    {"F / V N", "string-art offset 1 down / up"},
    {"G / B M", "string-art offset 2 down / up"},
    {"J / comma, K / full stop", "running index 1, 2 down / up"},
    {"P", "axes on, off"},
    {"H", "trail on, off"},
    {"Y", "trace every string-art index on, off"},
    {"W", "trace a dump of the indices and radii"},
    {"T", "auto mode: redraw every 50 ms without turning"},
    {"R", "random mode: turn about all three axes every 50 ms"},
    {"0, O, numeric-pad 0", "reset the angles"},
    {"Space, Return, Backspace", "stop the key turn and the trail (random mode goes on)"},
    {"Escape", "quit"},
};

inline constexpr options::HelpRow demo_mouse[] = {
    {"left drag", "turn about X and Y"},
    {"middle drag", "turn about Z"},
    {"right drag", "move the picture"},
};
// clang-format on

}  // namespace fpu
