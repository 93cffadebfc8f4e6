// fpu-trace-viewer: shows the trace lines that fpu-sample programs send.
//   fpu-trace-viewer [--headless] [--dir DIR]
// With a display it opens a window; without one (or with --headless) it writes every line it
// receives to standard output, one per line. SIGINT and SIGTERM end it cleanly.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "tools/viewer/viewer_server.h"
#include "tools/viewer/viewer_text.h"
#include "tools/viewer/viewer_window.h"
#include "trace/unix/viewer_endpoint.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: fpu-trace-viewer [--headless] [--dir DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool headless = false;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) {
      headless = true;
    } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else {
      return usage();
    }
  }
  if (dir.empty()) dir = fpu::viewer::default_endpoint_dir();

  // Signals arrive through a descriptor the poll loop watches; a reader that goes away must
  // not kill the viewer.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
  const int stop_fd = signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK);
  signal(SIGPIPE, SIG_IGN);

  fpu::viewer::ViewerText text;
  bool to_stdout = true;
  bool changed = false;
  fpu::viewer::ViewerServer server(text, [&](std::string_view line) {
    changed = true;
    if (!to_stdout) return;
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  });
  std::string error;
  if (!server.open(dir, error)) {
    std::fprintf(stderr, "fpu-trace-viewer: %s\n", error.c_str());
    return 1;
  }

  // The endpoint is open before the window, so senders that started us find it early.
  std::unique_ptr<fpu::viewer::ViewerWindow> window;
  // Without a display there is nothing for the window system to connect to.
  const bool display =
      std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  if (!headless && !display) {
    std::fprintf(stderr, "fpu-trace-viewer: no display; running headless\n");
  } else if (!headless) {
    window = fpu::viewer::ViewerWindow::open(text, error);
    if (window == nullptr) {
      std::fprintf(stderr, "fpu-trace-viewer: %s; running headless\n", error.c_str());
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
    if (changed) window->text_changed();
    changed = false;
    window->present();
  }
  return 0;
}
