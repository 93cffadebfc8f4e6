// The browser window: the software back buffer shown on a canvas, timers and animation
// frames from the page, trace lines to the page's panel. The page delivers events one at a
// time; each runs the shared message loop (app/event_loop.h) until it has nothing to do:
// input and timer ticks as they come, one paint for any invalidation on the next animation
// frame.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/event_loop.h"
#include "app/program.h"
#include "backends/soft/soft_platform.h"
#include "backends/web/web_input.h"
#include "trace/trace.h"

namespace fpu::web {

class WebPlatform final : public SoftPlatform {
 public:
  // `owner` is handed back to the page's timer callbacks.
  // Surfaces hold pixels as the canvas takes them. The window's pixels are kept in rgba_
  // below, so the window DC keeps none of its own: only copies to the window (BitBlt) show,
  // the one way the program draws on it.
  WebPlatform(void* owner, std::uint32_t tick_offset)
      : SoftPlatform(0, 0, PixelLayout::rgba_bytes),
        owner_(owner),
        tick_offset_(tick_offset),
        rgba_(static_cast<std::size_t>(view_width) * view_height, 0xFF000000u) {}
  ~WebPlatform() override;

  // A copy to the window DC is a copy of rows into the canvas' bytes.
  void bit_blt(Handle dst, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
               Handle src, std::int32_t src_x, std::int32_t src_y) override;
  // One putImageData of the whole bitmap per paint.
  void end_paint(WindowHandle window) override;
  void set_timer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) override;
  void kill_timer(WindowHandle window, std::uint32_t id) override;
  // Milliseconds since the page's time origin plus the offset chosen at load, or the
  // fixed count while a script is replayed.
  std::uint32_t get_tick_count() override;
  void fix_tick_count(std::optional<std::uint32_t> ms) { fixed_tick_ = ms; }
  // While quiet, paints reach the canvas' bytes but not the canvas; present() shows them.
  void set_quiet(bool quiet) { quiet_ = quiet; }
  void present();

 private:
  void stop_interval(std::uint32_t id);

  void* owner_;
  std::uint32_t tick_offset_;
  std::map<std::uint32_t, int> intervals_;  // timer id -> the page's interval handle
  std::vector<std::uint32_t> rgba_;         // the window as canvas bytes (R, G, B, A)
  std::optional<std::uint32_t> fixed_tick_;
  bool quiet_ = false;
};

// Collects the lines of one message and hands them to the panel in one piece: a traced
// string-art frame (1,400 lines) is one append, not 1,400.
class PanelTraceSink final : public TraceSink {
 public:
  // The panel's capacity: a longer batch (a replayed script's) goes in pieces this size.
  static constexpr std::uint32_t panel_batch_lines = 5000;
  std::intptr_t send_trace_line(const char* text) override;
  void flush();

 private:
  std::string pending_;
  std::uint32_t lines_ = 0;
};

// The demo in the page: one run of the program at a time; Escape ends it, restart begins a
// new one with fresh state.
class WebDemo final : private MessageSource {
 public:
  WebDemo();
  ~WebDemo() override;
  WebDemo(const WebDemo&) = delete;
  WebDemo& operator=(const WebDemo&) = delete;

  void start();
  void restart();
  // Returns whether the page should prevent the key's default action.
  bool key(std::string_view code, std::string_view key, const Modifiers& modifiers, bool down,
           bool repeat);
  void mouse(MouseAction action, int button, std::uint32_t buttons, const Modifiers& modifiers,
             double x, double y, double width, double height);
  void timer(std::uint32_t id);
  void animation_frame();
  // The panel's first line once it has shed `count` lines: the text every trace sink uses.
  const char* dropped_notice(std::uint64_t count);
  // The run so far as a replay script (ended runs too), or nullptr when it outgrew what the
  // page keeps (web_session_limit).
  const char* session_script();
  // Starts a new run that `script` drives from its start-up on (a replayed session), with
  // the clock it fixes and no paint shown until it is done; then shows the last frame and
  // goes on with the user's input. `script` returns an error, which ends that run for a
  // fresh one: the message, or nullptr once it has run.
  const char* play(const std::function<std::string(WebPlatform&, Program&)>& script);

 private:
  struct Run;
  // Hands the message's trace lines to the panel after it.
  void dispatch(std::uint32_t message, WParam wparam, LParam lparam);
  // Runs the loop over what the page just delivered; ends the run on the quit message.
  void run_loop();
  bool running() const;

  bool quit_posted() override;
  bool deliver_input() override;
  bool deliver_paint() override;
  bool deliver_timer() override;
  // Asks for an animation frame when something is invalid: the page cannot block.
  void wait() override;

  std::unique_ptr<Run> run_;
  bool frame_requested_ = false;
  bool in_frame_ = false;  // inside the animation frame's callback
  std::optional<WindowMessage> input_;
  std::optional<std::uint32_t> timer_;
  std::uint32_t tick_offset();

  std::string notice_;
  std::string session_;
  std::string message_;
};

// The most of a session the page keeps as its script: about three hours of random mode.
inline constexpr std::size_t web_session_limit = 8u << 20;

}  // namespace fpu::web
