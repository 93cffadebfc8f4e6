// The window procedure and the start-up and shutdown steps shared by every backend.
#pragma once

#include <cstdint>

#include "app/program.h"

namespace fpu {

inline constexpr const char* window_class_name = "Win32asm_class";
inline constexpr const char* window_title =
    " FPU SAMPLE by JUX .:. Press any key for rotation Or use Mouse.:.";
inline constexpr std::int32_t window_width = 700;
inline constexpr std::int32_t window_height = 680;
inline constexpr std::int32_t back_buffer_width = 700;
inline constexpr std::int32_t back_buffer_height = 654;
inline constexpr std::uint32_t timer_id = 1;
inline constexpr std::uint32_t timer_period_ms = 50;

// Routes one message, then returns the platform's default handling of it.
std::intptr_t window_proc(Program& program, WindowHandle window, std::uint32_t message,
                          WParam wparam, LParam lparam);
// Window creation: background brush, initial rings, back buffer, timer.
void on_create(Program& program, WindowHandle window);
// The start-up steps after the window exists: white pen, random seed from the tick count,
// axis points, all three axes selected. The backend then shows the window.
void finish_start_up(Program& program);
// Posts the quit message, deletes the drawing objects and kills the timer (once).
void shutdown(Program& program, WindowHandle window);

// Window position for a screen of the given size (halving as unsigned).
std::int32_t window_x_for_screen(std::uint32_t screen_width);
std::int32_t window_y_for_screen(std::uint32_t screen_height);

}  // namespace fpu
