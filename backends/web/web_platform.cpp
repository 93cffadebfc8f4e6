#include "backends/web/web_platform.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstring>

#include "app/session_recorder.h"
#include "app/window.h"

// The page's side (library_fpu.js).
extern "C" {
void fpu_js_present(const std::uint32_t* rgba, std::int32_t width, std::int32_t height);
int fpu_js_set_interval(void* owner, std::uint32_t id, std::uint32_t milliseconds);
void fpu_js_clear_interval(int handle);
void fpu_js_request_frame(void* owner);
void fpu_js_trace(const char* text, std::size_t length, std::uint32_t lines);
void fpu_js_set_title(const char* title);
void fpu_js_ended(void* owner);
}

namespace fpu::web {

WebPlatform::~WebPlatform() {
  for (const auto& [id, handle] : intervals_) fpu_js_clear_interval(handle);
}

void WebPlatform::bit_blt(Handle dst, std::int32_t x, std::int32_t y, std::int32_t width,
                          std::int32_t height, Handle src, std::int32_t src_x, std::int32_t src_y) {
  const Surface* from = dst == window_dc() && src != dst ? dc_surface(src) : nullptr;
  if (from == nullptr) {
    SoftPlatform::bit_blt(dst, x, y, width, height, src, src_x, src_y);
    return;
  }
  // Offsets i, j with 0 <= i < width whose window and source pixels both exist; 32-bit
  // arithmetic throughout (64-bit values cost more in WebAssembly).
  const std::int32_t i_lo = std::max({0, -x, -src_x});
  const std::int32_t i_hi = std::min({width, view_width - x, from->width - src_x});
  const std::int32_t j_lo = std::max({0, -y, -src_y});
  const std::int32_t j_hi = std::min({height, view_height - y, from->height - src_y});
  if (i_lo >= i_hi || j_lo >= j_hi) return;
  const std::size_t row_bytes = static_cast<std::size_t>(i_hi - i_lo) * sizeof(std::uint32_t);
  for (std::int32_t j = j_lo; j < j_hi; ++j) {
    std::memcpy(
        rgba_.data() + static_cast<std::size_t>(y + j) * view_width + (x + i_lo),
        from->pixels.data() + static_cast<std::size_t>(src_y + j) * from->width + (src_x + i_lo),
        row_bytes);
  }
}

void WebPlatform::end_paint(WindowHandle window) {
  SoftPlatform::end_paint(window);
  if (!quiet_) present();
}

void WebPlatform::present() {
  fpu_js_present(rgba_.data(), view_width, view_height);
}

void WebPlatform::set_timer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) {
  SoftPlatform::set_timer(window, id, milliseconds);
  // Setting a running timer again restarts it.
  stop_interval(id);
  intervals_[id] = fpu_js_set_interval(owner_, id, timer_period(milliseconds));
}

void WebPlatform::kill_timer(WindowHandle window, std::uint32_t id) {
  SoftPlatform::kill_timer(window, id);
  stop_interval(id);
}

void WebPlatform::stop_interval(std::uint32_t id) {
  if (auto found = intervals_.find(id); found != intervals_.end()) {
    fpu_js_clear_interval(found->second);
    intervals_.erase(found);
  }
}

std::uint32_t WebPlatform::get_tick_count() {
  if (fixed_tick_) return *fixed_tick_;
  const auto since_origin = static_cast<std::uint64_t>(emscripten_get_now());
  return static_cast<std::uint32_t>(since_origin) + tick_offset_;
}

std::intptr_t PanelTraceSink::send_trace_line(const char* text) {
  pending_ += text;
  pending_ += '\n';
  ++lines_;
  // A replayed script hands over its lines in pieces the panel's size: it keeps no more.
  if (lines_ == panel_batch_lines) flush();
  return 1;
}

void PanelTraceSink::flush() {
  if (lines_ == 0) return;
  fpu_js_trace(pending_.data(), pending_.size(), lines_);
  pending_.clear();
  lines_ = 0;
}

namespace {

// The page's session script, in memory up to web_session_limit.
class SessionText final : public ScriptOutput {
 public:
  bool write(std::string_view piece) override {
    if (piece.size() > web_session_limit - text.size()) return false;
    text += piece;
    return true;
  }
  std::string text;
};

}  // namespace

struct WebDemo::Run {
  Run(void* owner, std::uint32_t tick_offset) : platform(owner, tick_offset) {
    program.recorder = &recorder;
  }
  WebPlatform platform;
  PanelTraceSink trace;
  Program program{platform, trace};
  SessionText session;
  SessionRecorder recorder{session};
  bool ended = false;
};

namespace {
constexpr WindowHandle the_window = 1;
}

WebDemo::WebDemo() = default;
WebDemo::~WebDemo() = default;

void WebDemo::start() {
  fpu_js_set_title(window_title);
  run_ = std::make_unique<Run>(this, tick_offset());
  Run& run = *run_;
  start_program(run.program, the_window, [&run] { run.platform.clear_invalidated(); });
  run.trace.flush();
  run_loop();
}

std::uint32_t WebDemo::tick_offset() {
  // A random offset stands for the time since the machine started: the start-up seed is
  // taken from the tick count and should differ between loads.
  return static_cast<std::uint32_t>(emscripten_random() * 4294967296.0);
}

void WebDemo::restart() {
  run_.reset();  // its timers go with it
  start();
}

bool WebDemo::running() const {
  return run_ && !run_->ended;
}

void WebDemo::dispatch(std::uint32_t message, WParam wparam, LParam lparam) {
  window_proc(run_->program, the_window, message, wparam, lparam);
  run_->trace.flush();
}

void WebDemo::run_loop() {
  if (run_until_idle(*this) == LoopStep::quit) {
    // The message loop ends here; the canvas keeps the last frame.
    run_->ended = true;
    fpu_js_ended(this);
  }
  input_.reset();
  timer_.reset();
}

bool WebDemo::quit_posted() {
  return run_->platform.quit_posted();
}

bool WebDemo::deliver_input() {
  if (!input_) return false;
  const WindowMessage message = *input_;
  input_.reset();
  dispatch(message.code, message.wparam, message.lparam);
  return true;
}

bool WebDemo::deliver_paint() {
  if (!in_frame_ || !run_->platform.invalidated()) return false;
  in_frame_ = false;
  run_->platform.clear_invalidated();
  dispatch(msg::paint, 0, 0);
  return true;
}

bool WebDemo::deliver_timer() {
  if (!timer_) return false;
  const std::uint32_t id = *timer_;
  timer_.reset();
  dispatch(msg::timer, id, 0);
  return true;
}

void WebDemo::wait() {
  in_frame_ = false;
  if (run_->platform.invalidated() && !frame_requested_) {
    frame_requested_ = true;
    fpu_js_request_frame(this);
  }
}

bool WebDemo::key(std::string_view code, std::string_view key, const Modifiers& modifiers,
                  bool down, bool repeat) {
  if (!running() || browser_keeps(code, modifiers)) return false;
  if (const auto message = key_message(code, key, modifiers, down, repeat)) {
    input_ = message;
    run_loop();
  }
  return true;
}

void WebDemo::mouse(MouseAction action, int button, std::uint32_t buttons,
                    const Modifiers& modifiers, double x, double y, double width, double height) {
  if (!running()) return;
  if (const auto message = mouse_message(action, button, buttons, modifiers, x, y, width, height)) {
    input_ = message;
    run_loop();
  }
}

void WebDemo::timer(std::uint32_t id) {
  if (!running()) return;
  timer_ = id;
  run_loop();
}

void WebDemo::animation_frame() {
  frame_requested_ = false;
  if (!running()) return;
  in_frame_ = true;
  run_loop();
}

const char* WebDemo::session_script() {
  if (!run_) return nullptr;
  const std::string held = run_->recorder.held_text();
  if (run_->recorder.failed() || held.size() > web_session_limit - run_->session.text.size()) {
    return nullptr;
  }
  session_ = run_->session.text + held;
  return session_.c_str();
}

const char* WebDemo::play(const std::function<std::string(WebPlatform&, Program&)>& script) {
  run_.reset();
  input_.reset();
  timer_.reset();
  run_ = std::make_unique<Run>(this, tick_offset());
  Run& run = *run_;
  run.platform.set_quiet(true);
  message_ = script(run.platform, run.program);
  run.platform.set_quiet(false);
  run.platform.fix_tick_count(std::nullopt);
  if (!message_.empty()) {
    // Stopped part way: nothing of it stays.
    restart();
    return message_.c_str();
  }
  run.platform.clear_invalidated();
  run.platform.present();
  run.trace.flush();
  run_loop();
  return nullptr;
}

const char* WebDemo::dropped_notice(std::uint64_t count) {
  notice_ = dropped_lines_notice(count);
  return notice_.c_str();
}

}  // namespace fpu::web
