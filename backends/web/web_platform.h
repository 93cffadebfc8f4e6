// The browser window: the software back buffer shown on a canvas, timers and animation
// frames from the page, trace lines to the page's panel. The page delivers events one at a
// time; this class turns them into window messages with Windows' ordering: input and timer
// ticks as they come, one paint for any invalidation on the next animation frame.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/program.h"
#include "backends/soft/soft_platform.h"
#include "backends/web/web_input.h"
#include "trace/trace.h"

namespace fpu::web {

class WebPlatform final : public SoftPlatform {
 public:
  // `owner` is handed back to the page's timer callbacks.
  WebPlatform(void* owner, std::uint32_t tick_offset)
      : SoftPlatform(view_width, view_height), owner_(owner), tick_offset_(tick_offset) {}
  ~WebPlatform() override;

  // One putImageData of the whole bitmap per paint.
  void end_paint(WindowHandle window) override;
  void set_timer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) override;
  void kill_timer(WindowHandle window, std::uint32_t id) override;
  // Milliseconds since the page's time origin plus the offset chosen at load.
  std::uint32_t get_tick_count() override;

 private:
  void stop_interval(std::uint32_t id);

  void* owner_;
  std::uint32_t tick_offset_;
  std::map<std::uint32_t, int> intervals_;  // timer id -> the page's interval handle
  std::vector<std::uint32_t> rgba_;         // the bitmap as canvas bytes (R, G, B, A)
};

// Collects the lines of one message and hands them to the panel in one piece: a traced
// string-art frame (1,400 lines) is one append, not 1,400.
class PanelTraceSink final : public TraceSink {
 public:
  std::intptr_t send_trace_line(const char* text) override;
  void flush();

 private:
  std::string pending_;
  std::uint32_t lines_ = 0;
};

// The demo in the page: one run of the program at a time; Escape ends it, restart begins a
// new one with fresh state.
class WebDemo {
 public:
  WebDemo();
  ~WebDemo();
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

 private:
  struct Run;
  void dispatch(std::uint32_t message, WParam wparam, LParam lparam);
  // Hands the message's trace lines to the panel, then ends the run or asks for a frame.
  void after_message();
  bool running() const;

  std::unique_ptr<Run> run_;
  bool frame_requested_ = false;
};

}  // namespace fpu::web
