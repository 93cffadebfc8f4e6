// fpu-sample on Linux: the program's window through SDL2. Reads no arguments and no
// environment of its own (SDL and X11 read theirs, such as DISPLAY).
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/program.h"
#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/x11_errors.h"
#include "trace/trace.h"
#include "trace/unix/viewer_endpoint.h"
#include "trace/unix/viewer_trace_sink.h"

namespace {

constexpr int exit_no_display = 2;

using WindowTraceSink = fpu::UnixViewerTraceSink;

bool set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

int no_display(const std::string& reason) {
  std::fprintf(stderr,
               "fpu-sample: no display to open the window on (%s); run it under Xvfb, e.g. "
               "xvfb-run -s '-screen 0 1920x1080x24' ./build/default/fpu-sample, or drive it "
               "without a display with fpu-sample-replay\n",
               reason.c_str());
  return exit_no_display;
}

}  // namespace

int main() {
  // Without a display server SDL could only fall back to drivers that take over the
  // console or draw nowhere; unless SDL was told which driver to use, say so and stop.
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("SDL_VIDEODRIVER")) {
    return no_display("DISPLAY and WAYLAND_DISPLAY are not set");
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
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return no_display(SDL_GetError());

  int code = 1;
  {
    fpu::SdlPlatform platform;
    std::string error;
    if (platform.open_window(error)) {
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
