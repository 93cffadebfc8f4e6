// fpu-sample on Linux: the program's window through SDL2. Answers --help and --version and
// ignores every other argument; reads no environment of its own (SDL and X11 read theirs,
// such as DISPLAY, and the desktop's scale comes from GDK_SCALE or Xft.dpi).
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/program.h"
#include "app/info_options.h"
#include "backends/sdl/sdl_display.h"
#include "backends/sdl/sdl_platform.h"
#include "tools/icon/window_icon.h"
#include "programs/linux/x11_errors.h"
#include "trace/trace.h"
#include "trace/unix/viewer_endpoint.h"
#include "trace/unix/viewer_trace_sink.h"

namespace {

using WindowTraceSink = fpu::UnixViewerTraceSink;

constexpr const char* help_text =
    "usage: fpu-sample [--help | --version]\n"
    "Shows the rotating wire-frame scene in a window; keys and mouse drags turn it.\n"
    "Needs a display (X11 or Wayland). Without one, run it under Xvfb, or drive the program\n"
    "headless with fpu-sample-replay. Trace lines go to fpu-trace-viewer, started beside it.\n";

}  // namespace

int main(int argc, char** argv) {
  if (const auto request = fpu::find_info_request(argc, argv); request != fpu::InfoRequest::none) {
    fpu::print_info(request, "fpu-sample", help_text);
    return 0;
  }
  // A desktop compositor should keep compositing this ordinary window.
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // Present through the X server's shared-memory images: SDL would otherwise put an
  // OpenGL renderer behind the window surface, which under Xvfb means loading a
  // software GL stack (100 MB) for one 700 x 654 copy per frame.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // An ordinary window does not keep the screen saver away.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  fpu::install_x11_error_filter();
  std::string message;
  if (!fpu::init_display_video("fpu-sample", "drive it without a window with fpu-sample-replay",
                               message)) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return fpu::exit_no_display;
  }

  int code = 1;
  {
    fpu::SdlPlatform platform;
    std::string error;
    if (platform.open_window(error)) {
      platform.set_icon(fpu::window_icon_pixels, fpu::window_icon_size);
      // The viewer program is looked for (and started) beside this executable.
      WindowTraceSink trace(fpu::viewer::running_executable_dir());
      fpu::Program program(platform, trace);
      code = platform.run(program);
      fpu::ignore_x11_errors();
    } else {
      std::fprintf(stderr, "fpu-sample: cannot create the window: %s\n", error.c_str());
    }
  }  // the window goes before SDL does
  SDL_Quit();
  return code;
}
