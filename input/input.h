// Input routing, the shared frame tail, key commands, mouse control and timer modes.
#pragma once

#include <cstdint>

#include "app/program.h"

namespace fpu {

void on_input(Program& program, WindowHandle window, std::uint32_t message, WParam wparam,
              LParam lparam);
void key_dispatch(Program& program, WindowHandle window, std::uint32_t code);
void frame_tail(Program& program, WindowHandle window, std::uint32_t code);
// Runs the command of the first key row whose codes include `code`; returns whether one matched.
bool run_key_command(Program& program, WindowHandle window, std::uint32_t code);
void on_button_down(Program& program, WindowHandle window, std::uint32_t wparam,
                    std::uint32_t lparam);
void on_mouse_move(Program& program, WindowHandle window, std::uint32_t wparam,
                   std::uint32_t lparam);
void on_timer(Program& program, WindowHandle window, std::uint32_t wparam);

}  // namespace fpu
