// The Linux window: the software back buffer shown in an SDL2 window. SDL's events and the
// window's own timers feed the shared message loop (app/event_loop.h).
#pragma once

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/event_loop.h"
#include "app/program.h"
#include "app/window_frame.h"
#include "backends/soft/ink_bounds.h"
#include "backends/soft/soft_platform.h"

namespace fpu {

class SdlPlatform final : public SoftPlatform {
 public:
  // The window's pixels are the SDL window's surface, so the window DC keeps none of its
  // own: only copies to the window (BitBlt) show, the one way the program draws on it.
  SdlPlatform() : SoftPlatform(0, 0) {}
  ~SdlPlatform() override;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  // Creates the hidden window, centred on the desktop as the program places it, with
  // its surface. On a desktop scaled by 2 or more the window shows the picture that many
  // times larger; `chosen_scale` other than 0 replaces the desktop's. On failure returns false
  // with SDL's reason in `error`.
  bool open_window(std::string& error, std::int32_t chosen_scale = 0);
  // Screen pixels per picture pixel.
  std::int32_t scale() const { return scale_; }
  void show_window();
  // Where the window is now, with the window manager's frame around it (none without a
  // window manager).
  ProgramFrame window_frame() const;
  // Sets the window's icon from size x size ARGB words (the window must be open).
  void set_icon(const std::uint32_t* argb, int size);
  // The handle the window procedure receives.
  WindowHandle window_handle() const { return 1; }

  // Runs the start-up sequence and the message loop; returns the quit code.
  int run(Program& program);

  // A copy to the window DC lands in the window's surface, each pixel scale x scale.
  void bit_blt(Handle dst, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
               Handle src, std::int32_t src_x, std::int32_t src_y) override;
  // Shows the rows the paint changed.
  void end_paint(WindowHandle window) override;
  void set_timer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) override;
  void kill_timer(WindowHandle window, std::uint32_t id) override;
  // Milliseconds since the machine started, wrapping at 2^32, like the platform tick count
  // the random seed was made for (the time since SDL started would vary far less).
  std::uint32_t get_tick_count() override {
    const auto since_boot = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since_boot).count());
  }

  // Frames shown so far (one per paint).
  std::uint64_t frames_presented() const { return frames_presented_; }

  // The milliseconds the window's timers run by, and the loop's wait for the next event or
  // timer (at most `budget` ms; -1: none due): SDL's own, or a test's, so that a test of the
  // loop's timers waits for nothing.
  void set_timer_clock(std::function<std::uint32_t()> clock, std::function<void(int)> wait) {
    timer_clock_ = std::move(clock);
    timer_wait_ = std::move(wait);
  }

 private:
  class Loop;  // what the message loop sees of this window
  friend class Loop;

  void present();
  void dispatch(Program& program, std::uint32_t message, WParam wparam, LParam lparam);
  void handle_event(Program& program, const SDL_Event& event);

  SDL_Window* window_ = nullptr;
  std::vector<std::uint32_t> wide_row_;  // one picture row widened by the scale
  SDL_Surface* drawn_on_ = nullptr;      // the window surface the rows below refer to
  int changed_top_ = 0;                  // screen rows [top, bottom) changed since shown
  int changed_bottom_ = 0;
  bool resend_all_ = true;  // the display lost what it showed (exposed, resized)
  // The last copy of the whole picture to the window, and where its bitmap had ink then.
  struct LastCopy {
    const Surface* source = nullptr;  // none: the window may differ from every bitmap
    const SDL_Surface* screen = nullptr;
    InkBounds ink{0, 0, 0};
  };
  LastCopy last_copy_;
  TimerQueue timers_;
  std::function<std::uint32_t()> timer_clock_ = [] { return SDL_GetTicks(); };
  std::function<void(int)> timer_wait_;  // empty: SDL's
  std::uint32_t buttons_ = 0;            // SDL button mask as the events so far left it
  bool exposed_ = false;                 // part of the window needs painting again
  std::uint64_t frames_presented_ = 0;
  std::int32_t scale_ = 1;
};

}  // namespace fpu
