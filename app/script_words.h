// The words of a replay script that name keys and mouse events: read by the replay tool,
// written by the session recorder, so both speak the same script.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/types.h"

namespace fpu {

// The key names a script may use besides letters and digits; their codes come from the one
// key table (platform/key_names.h).
inline constexpr std::string_view script_key_names[] = {
    "LEFT",  "RIGHT",      "UP",        "DOWN",      "SPACE", "RETURN", "BACK", "ESCAPE", "NUMPAD0",
    "OEM_3", "OEM_PERIOD", "OEM_COMMA", "OEM_MINUS", "F1",    "F2",     "F3",   "F4",     "F5",
    "F6",    "F7",         "F8",        "F9",        "F10",   "F11",    "F12",
};

struct ScriptMouseEvent {
  std::string_view name;
  std::uint32_t message;
};

// `mouse EVENT X Y FLAGS`: the events in the order the replay tool numbers them.
inline constexpr ScriptMouseEvent script_mouse_events[] = {
    {"move", msg::mouse_move},    {"ldown", msg::lbutton_down}, {"lup", msg::lbutton_up},
    {"rdown", msg::rbutton_down}, {"rup", msg::rbutton_up},     {"mdown", msg::mbutton_down},
    {"mup", msg::mbutton_up},
};

}  // namespace fpu
