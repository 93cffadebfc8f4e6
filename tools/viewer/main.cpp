// fpu-trace-viewer: shows the trace lines that fpu-sample programs send.
//   fpu-trace-viewer [--headless] [--dir DIR] [--beside FRAME] | --help | --version
// (viewer_command_line.h).
// It opens a window; with --headless it writes every line it receives to standard output,
// one per line. A display that cannot be opened ends it with status 2. SIGINT and SIGTERM
// end it cleanly.
#include <SDL.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/window_frame.h"
#include "backends/sdl/sdl_display.h"
#include "text/masked.h"
#include "tools/viewer/viewer_command_line.h"
#include "tools/viewer/viewer_model.h"
#include "tools/viewer/viewer_server.h"
#include "tools/viewer/viewer_window.h"
#include "trace/unix/viewer_endpoint.h"

int main(int argc, char** argv) {
  fpu::viewer::ViewerCommandLine line;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const fpu::options::Parsed parsed =
      fpu::viewer::parse_viewer_command_line(fpu::viewer::ViewerPlatform::gnu_linux, args, &line);
  if (parsed.action != fpu::options::Parsed::Action::run) {
    std::fputs(parsed.message.c_str(), parsed.exit_code == 0 ? stdout : stderr);
    return parsed.exit_code;
  }
  const bool headless = line.headless;
  std::string dir = line.dir;
  if (dir.empty()) dir = fpu::viewer::default_endpoint_dir();

  fpu::viewer::ViewerModel model([](const std::string& text, std::time_t when) {
    return fpu::viewer::save_text(fpu::viewer::with_lf_line_breaks(text),
                                  fpu::viewer::documents_dir(std::getenv), when);
  });
  // Highlight rules kept from earlier runs; a bad config is set aside and said once. Read
  // while SIGINT and SIGTERM still end the viewer.
  const std::string highlight_path = fpu::viewer::highlight_config_path(std::getenv, false);
  fpu::viewer::Highlights highlights;
  if (const std::string note = fpu::viewer::load_highlights(highlight_path, highlights);
      !note.empty()) {
    std::fprintf(stderr, "fpu-trace-viewer: %s\n", fpu::masked(note).c_str());
    model.note(note);
  }
  // Signals arrive through a descriptor the poll loop watches; a reader that goes away must
  // not kill the viewer.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
  const int stop_fd = signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK);
  signal(SIGPIPE, SIG_IGN);

  model.set_highlights(highlights, [&highlight_path](const fpu::viewer::Highlights& rules) {
    return fpu::viewer::store_highlights(highlight_path, rules);
  });
  bool to_stdout = true;
  bool changed = false;
  fpu::viewer::ViewerServer server(model.text(), [&](std::string_view text) {
    changed = true;
    if (!to_stdout) return;
    const std::string safe = fpu::masked(text, fpu::Tabs::keep);
    std::fwrite(safe.data(), 1, safe.size(), stdout);
    std::fputc('\n', stdout);
  });
  std::string error;
  if (!server.open(dir, error)) {
    // The message may quote the --dir given.
    std::fprintf(stderr, "fpu-trace-viewer: %s\n", fpu::masked(error).c_str());
    return 1;
  }

  // The endpoint is open before the window, so senders that started us find it early.
  std::unique_ptr<fpu::viewer::ViewerWindow> window;
  if (!headless) {
    // The viewer handles SIGINT and SIGTERM itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    std::string message;
    if (!fpu::init_display_video("fpu-trace-viewer",
                                 "with --headless to write the lines out (fpu-sample-replay runs "
                                 "the program without a window)",
                                 message)) {
      std::fprintf(stderr, "%s\n", message.c_str());
      return fpu::exit_no_display;
    }
    window =
        fpu::viewer::ViewerWindow::open(model, error, line.have_beside ? &line.beside : nullptr);
    if (window == nullptr) {
      std::fprintf(stderr, "fpu-trace-viewer: %s; running headless\n", fpu::masked(error).c_str());
    }
  }
  to_stdout = window == nullptr;

  if (window == nullptr) {
    while (!server.serve(-1, stop_fd)) std::fflush(stdout);
    std::fflush(stdout);
    return 0;
  }
  for (;;) {
    if (server.serve(15, stop_fd) || !window->handle_events()) break;
    // The find bar's count goes on a slice per frame, so the window keeps answering.
    if (model.work(fpu::viewer::kCountSlice)) changed = true;
    if (changed) window->text_changed();
    changed = false;
    window->present();
  }
  return 0;
}
