// X11 errors at exit. SDL2 wakes its event wait by sending a client message to the window
// over a second X connection; one sent just before the window is destroyed at exit can
// reach the server after the window is gone, and Xlib's default handler then ends the
// process with status 1 instead of the program's exit code.
#pragma once

namespace fpu {

// Call before SDL_Init: SDL keeps the handler it finds and passes errors on to it.
void install_x11_error_filter();
// From here on X errors are ignored: the program has quit and only tears down.
void ignore_x11_errors();

}  // namespace fpu
