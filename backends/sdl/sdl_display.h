// The display a Linux program opens its windows on: SDL's video on a real display server
// only, the desktop's integer pixel scale, and showing a window without taking the focus.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

namespace fpu {

inline constexpr int exit_no_display = 2;

// Starts SDL's video on the display the environment names. Unless SDL_VIDEODRIVER names a
// driver, only X11 and Wayland are tried, so that without a display server the program
// stops instead of running on a driver that shows nothing. On failure returns false and
// sets `message` to one line naming the display and how to run `program` instead;
// `instead` completes "run it under Xvfb ... or ...".
bool init_display_video(const char* program, const char* instead, std::string& message);

// The desktop's integer scale: GDK_SCALE when it holds a whole number of at least 1,
// otherwise Xft.dpi / 96 (rounded down) from the X server's resources, otherwise 1.
std::int32_t desktop_scale();
// The same from the two settings' text (either may be null), by integer_scale's rule
// (app/window.h).
std::int32_t scale_from_settings(const char* gdk_scale, const char* x_resources);

// Shows a hidden window without activating it: on X11 it is mapped with a user time of 0,
// which tells a window manager not to give it the focus, and without the focus SDL would
// otherwise force on it when no window manager runs.
void show_without_activation(SDL_Window* window);

}  // namespace fpu
