// fpu-sample in a web page: the entry points the page's script calls (library_fpu.js wires
// the canvas, the timers and the panel to them).
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "backends/web/web_input.h"
#include "backends/web/web_platform.h"
#include "tools/replay/last_frames_gif.h"
#include "tools/replay/replay_runner.h"

extern "C" {
void fpu_js_attach(void* demo);
void fpu_js_keep_attach(void* demo);
}

namespace {

using fpu::web::WebDemo;

WebDemo& demo_at(void* demo) {
  return *static_cast<WebDemo*>(demo);
}

// The longest script the page replays, and the most lines it runs (repeats counted): a
// session of two hours or more (20 to 40 lines a second), where a crafted `repeat` holds
// the page for seconds, not minutes (a key's frame costs about 30 us).
constexpr std::uint64_t page_script_limit = 16u << 20;
constexpr std::uint64_t page_replay_steps = 300'000;

// The replay tool's view of a run in the page: its platform, on the clock the script sets.
class PageReplayHost final : public fpu::ReplayHost {
 public:
  explicit PageReplayHost(fpu::web::WebPlatform& platform) : platform_(platform) {}
  fpu::Platform& platform() override { return platform_; }
  void set_tick_count(std::uint32_t ms) override { platform_.fix_tick_count(ms); }
  bool write_image(const std::string&, fpu::Handle, std::string*) override { return true; }

 private:
  fpu::web::WebPlatform& platform_;
};

std::string replay_message;

// The GIF of the session's last seconds: 10 s of the timer's 50 ms frames.
constexpr std::size_t page_gif_frames = 200;
std::vector<std::uint8_t> page_gif;

// The page passes Shift, Ctrl, Alt and Meta as bits 0-3.
fpu::web::Modifiers modifiers_from(int bits) {
  return {(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0};
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int fpu_web_key(void* demo, const char* code, const char* key, int modifiers,
                                     int down, int repeat) {
  return demo_at(demo).key(code, key, modifiers_from(modifiers), down != 0, repeat != 0) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void fpu_web_mouse(void* demo, int action, int button, int buttons,
                                        int modifiers, double x, double y, double width,
                                        double height) {
  demo_at(demo).mouse(static_cast<fpu::web::MouseAction>(action), button,
                      static_cast<std::uint32_t>(buttons), modifiers_from(modifiers), x, y, width,
                      height);
}

EMSCRIPTEN_KEEPALIVE void fpu_web_timer(void* demo, std::uint32_t id) {
  demo_at(demo).timer(id);
}

EMSCRIPTEN_KEEPALIVE void fpu_web_frame(void* demo) {
  demo_at(demo).animation_frame();
}

EMSCRIPTEN_KEEPALIVE void fpu_web_restart(void* demo) {
  demo_at(demo).restart();
}

EMSCRIPTEN_KEEPALIVE const char* fpu_web_dropped_notice(void* demo, double count) {
  return demo_at(demo).dropped_notice(static_cast<std::uint64_t>(count));
}

// The session so far as a replay script, or null when it outgrew what the page keeps.
EMSCRIPTEN_KEEPALIVE const char* fpu_web_session(void* demo) {
  return demo_at(demo).session_script();
}

// Memory for what the page hands over (a script's bytes).
EMSCRIPTEN_KEEPALIVE void* fpu_web_alloc(double size) {
  return std::malloc(static_cast<std::size_t>(size));
}

EMSCRIPTEN_KEEPALIVE void fpu_web_free(void* block) {
  std::free(block);
}

// Replays the script of `length` bytes at `text` in a new run, checked whole first: null once
// it ran, else why it was refused ("line N: ..."); the page then goes on as it was started.
EMSCRIPTEN_KEEPALIVE const char* fpu_web_replay(void* demo, const char* text, double length) {
  fpu::replay::Script script;
  std::istringstream in{std::string(text, static_cast<std::size_t>(length))};
  if (std::string error = fpu::replay::read_script(in, page_script_limit, &script);
      !error.empty()) {
    replay_message = error;
    return replay_message.c_str();
  }
  return demo_at(demo).play([&script](fpu::web::WebPlatform& platform, fpu::Program& program) {
    PageReplayHost host(platform);
    fpu::ReplayOptions options;
    options.allow_files = false;  // png lines: the page writes no files
    options.max_steps = page_replay_steps;
    std::ostream nowhere(nullptr);  // dumps and the quit line: the page shows neither
    return fpu::play_script(host, program, script, nowhere, options).error;
  });
}

// The session's last seconds as a GIF, replayed headless as fpu-sample-replay --record does:
// its bytes' address (fpu_web_gif_size() of them), or null with the reason in
// fpu_web_gif_error().
EMSCRIPTEN_KEEPALIVE const std::uint8_t* fpu_web_gif(void* demo) {
  page_gif.clear();
  const char* session = demo_at(demo).session_script();
  if (session == nullptr) {
    replay_message = "the session is longer than this page keeps (8 MiB)";
    return nullptr;
  }
  fpu::replay::Script script;
  std::istringstream in{std::string(session)};
  fpu::ReplayOptions options;
  options.allow_files = false;
  options.max_steps = page_replay_steps;
  if (std::string error = fpu::replay::read_script(in, page_script_limit, &script);
      !error.empty() ||
      !fpu::last_frames_gif(script, options, page_gif_frames, 1, &page_gif, &error)) {
    replay_message = error;
    page_gif.clear();
    return nullptr;
  }
  return page_gif.data();
}

EMSCRIPTEN_KEEPALIVE double fpu_web_gif_size() {
  return static_cast<double>(page_gif.size());
}

EMSCRIPTEN_KEEPALIVE const char* fpu_web_gif_error() {
  return replay_message.c_str();
}

EMSCRIPTEN_KEEPALIVE int fpu_web_scale(double device_pixel_ratio) {
  return fpu::web::integer_scale(device_pixel_ratio);
}

}  // extern "C"

int main() {
  // Lives as long as the page; the runtime stays up after main returns.
  auto* demo = new WebDemo;
  fpu_js_attach(demo);
  fpu_js_keep_attach(demo);
  demo->start();
  return 0;
}
