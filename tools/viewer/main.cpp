// fpu-trace-viewer: shows the trace lines that fpu-sample programs send.
//   fpu-trace-viewer [--headless] [--dir DIR] [--beside FRAME] | --help | --version
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

#include "app/info_options.h"
#include "app/window_frame.h"
#include "backends/sdl/sdl_display.h"
#include "text/masked.h"
#include "tools/viewer/viewer_model.h"
#include "tools/viewer/viewer_server.h"
#include "tools/viewer/viewer_window.h"
#include "trace/unix/viewer_endpoint.h"

namespace {

constexpr const char* usage_line =
    "usage: fpu-trace-viewer [--headless] [--dir DIR] [--beside FRAME]\n";
constexpr const char* help_text =
    "usage: fpu-trace-viewer [--headless] [--dir DIR] [--beside FRAME]\n"
    "Shows the trace lines fpu-sample sends, in a window beside the program's.\n"
    "  --headless      no window: write each line to standard output\n"
    "  --dir DIR       the folder of the endpoint the programs send to\n"
    "  --beside FRAME  open beside the window whose frame is X,Y,WIDTH,HEIGHT and whose\n"
    "                  frame extents are LEFT,TOP,RIGHT,BOTTOM (eight numbers)\n"
    "fpu-sample starts it by itself when it has a line to show.\n";

// A line as the terminal may see it: ESC, the other C0 controls but tab, DEL and the C1
// controls (as single bytes or UTF-8) become '?', so a client cannot drive the terminal.
// Other UTF-8 passes whole.
std::string terminal_safe(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    const bool c1_in_utf8 = byte == 0xC2 && i + 1 < line.size() &&
                            static_cast<unsigned char>(line[i + 1]) >= 0x80 &&
                            static_cast<unsigned char>(line[i + 1]) <= 0x9F;
    if (c1_in_utf8) {
      out += '?';
      ++i;
      continue;
    }
    // Continuation bytes of a multi-byte character pass with their lead byte.
    std::size_t length = byte >= 0xF0 && byte <= 0xF4 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 1;
    if (byte >= 0xF5) length = 1;
    bool whole = length > 1 && i + length <= line.size();
    for (std::size_t k = 1; whole && k < length; ++k) {
      whole = (static_cast<unsigned char>(line[i + k]) & 0xC0) == 0x80;
    }
    if (whole) {
      out.append(line.substr(i, length));
      i += length - 1;
    } else if ((byte < 0x20 && byte != '\t') || (byte >= 0x7F && byte <= 0x9F)) {
      out += '?';
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

int usage() {
  std::fputs(usage_line, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto request = fpu::find_info_request(argc, argv); request != fpu::InfoRequest::none) {
    fpu::print_info(request, "fpu-trace-viewer", help_text);
    return 0;
  }
  bool headless = false;
  std::string dir;
  fpu::ProgramFrame beside;
  bool have_beside = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) {
      headless = true;
    } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (std::strcmp(argv[i], "--beside") == 0 && i + 1 < argc) {
      if (!fpu::parse_program_frame(argv[++i], &beside)) return usage();
      have_beside = true;
    } else {
      return usage();
    }
  }
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
    std::fprintf(stderr, "fpu-trace-viewer: %s\n", note.c_str());
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
  fpu::viewer::ViewerServer server(model.text(), [&](std::string_view line) {
    changed = true;
    if (!to_stdout) return;
    const std::string safe = terminal_safe(line);
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
    window = fpu::viewer::ViewerWindow::open(model, error, have_beside ? &beside : nullptr);
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
    // The find bar's count goes on a slice per frame, so the window keeps answering.
    if (model.work(fpu::viewer::kCountSlice)) changed = true;
    if (changed) window->text_changed();
    changed = false;
    window->present();
  }
  return 0;
}
