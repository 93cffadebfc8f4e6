// fpu-sample on Linux: the program's window through SDL2, with the command line every
// platform's demo reads. Reads no environment of its own (SDL and X11 read theirs, such as
// DISPLAY, and the desktop's scale comes from GDK_SCALE or Xft.dpi).
#include <SDL.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/program.h"
#include "backends/sdl/sdl_display.h"
#include "backends/sdl/sdl_platform.h"
#include "programs/linux/x11_errors.h"
#include "programs/session_file.h"
#include "tools/icon/window_icon.h"
#include "trace/stream_trace_sinks.h"
#include "trace/trace.h"
#include "trace/unix/stdout_trace_sink.h"
#include "trace/unix/viewer_endpoint.h"
#include "trace/unix/viewer_trace_sink.h"

namespace {

// An environment variable set for the length of a scope, then as it was.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value, bool only_if_unset) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (had_ && only_if_unset) return;
    setenv(name, value, 1);
    changed_ = true;
  }
  ~ScopedEnvironment() {
    if (!changed_) return;
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
  bool changed_ = false;
};

std::unique_ptr<fpu::TraceSink> make_trace_sink(fpu::TraceMode mode,
                                                const fpu::SdlPlatform& platform) {
  switch (mode) {
    case fpu::TraceMode::viewer: {
      // The viewer program is looked for (and started) beside this executable, and told
      // where the window is now, so that it opens beside it.
      auto sink = std::make_unique<fpu::UnixViewerTraceSink>(fpu::viewer::running_executable_dir());
      sink->set_viewer_arguments([&platform] {
        return std::vector<std::string>{"--beside",
                                        fpu::format_program_frame(platform.window_frame())};
      });
      return sink;
    }
    case fpu::TraceMode::stdout_lines:
      // A reader that goes away ends the tracing, not the demo.
      std::signal(SIGPIPE, SIG_IGN);
      return std::make_unique<fpu::StdoutTraceSink>(STDOUT_FILENO, [](const std::string& text) {
        std::fprintf(stderr, "fpu-sample: %s\n", text.c_str());
      });
    case fpu::TraceMode::none:
      break;
  }
  return std::make_unique<fpu::NullTraceSink>();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const fpu::CommandLineResult command_line = fpu::parse_demo_command_line(args);
  switch (command_line.action) {
    case fpu::CommandLineResult::Action::run:
      break;
    case fpu::CommandLineResult::Action::error:
      std::fputs(command_line.message.c_str(), stderr);
      return command_line.exit_code;
    case fpu::CommandLineResult::Action::help:
    case fpu::CommandLineResult::Action::version:
      std::fputs(command_line.message.c_str(), stdout);
      std::fflush(stdout);
      return command_line.exit_code;
  }
  // A file that cannot be written is said before the window opens, not after the session.
  fpu::SessionFile session;
  std::string message;
  if (!session.open(command_line.options.save_script, &message)) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
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
  bool video = false;
  {
    // SDL opens an input method and a D-Bus session as it starts. This program reads key
    // codes, never text, so it spares the start-up what they cost: parsing the locale's
    // compose table (about 10 ms and 0.4 MB), and where no session bus runs, D-Bus trying
    // to launch one. The viewer this program may start later sees the environment as it was.
    const ScopedEnvironment no_compose_table("XCOMPOSEFILE", "/dev/null", false);
    const ScopedEnvironment no_bus_launch("DBUS_SESSION_BUS_ADDRESS", "disabled:", true);
    video = fpu::init_display_video("fpu-sample",
                                    "drive it without a window with fpu-sample-replay", message);
  }
  if (!video) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return fpu::exit_no_display;
  }

  int code = 1;
  {
    fpu::SdlPlatform platform;
    std::string error;
    if (platform.open_window(error, command_line.options.scale)) {
      platform.set_icon(fpu::window_icon_pixels, fpu::window_icon_size);
      const auto trace = make_trace_sink(command_line.options.trace, platform);
      fpu::Program program(platform, *trace);
      session.attach(program);
      code = platform.run(program);
      fpu::ignore_x11_errors();
      // SIGINT and SIGTERM end the demo as the close button does, so the session is saved
      // then too.
      if (!session.finish(&message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        code = 1;
      }
    } else {
      std::fprintf(stderr, "fpu-sample: cannot create the window: %s\n", error.c_str());
    }
  }  // the window goes before SDL does
  SDL_Quit();
  return code;
}
