#include "backends/sdl/sdl_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/window.h"
#include "backends/sdl/sdl_display.h"
#include "backends/sdl/sdl_keymap.h"
#include "backends/soft/ink_bounds.h"

namespace fpu {

SdlPlatform::~SdlPlatform() {
  if (window_ != nullptr) SDL_DestroyWindow(window_);  // frees its surface too
}

bool SdlPlatform::open_window(std::string& error, std::int32_t chosen_scale) {
  // As Windows shows a program that does not declare itself DPI-aware: the same picture,
  // each pixel a square of scale x scale.
  const std::int32_t wanted = chosen_scale > 0 ? chosen_scale : desktop_scale();
  // No larger than the desktop's usable part holds: a window taller than it puts its title
  // bar off the screen. (The frame is the window manager's, unknown yet: the client area
  // must fit.)
  SDL_Rect usable{};
  scale_ = SDL_GetDisplayUsableBounds(0, &usable) == 0
               ? fitting_scale(wanted, view_width, view_height, 0, 0, usable.w, usable.h)
               : wanted;
  if (scale_ < wanted) {
    std::fprintf(stderr, "fpu-sample: scale %d lowered to %d: the window fits the %dx%d desktop\n",
                 wanted, scale_, usable.w, usable.h);
  }
  int x = SDL_WINDOWPOS_CENTERED;
  int y = SDL_WINDOWPOS_CENTERED;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    const auto scale = static_cast<std::uint32_t>(scale_);
    x = window_x_for_screen(static_cast<std::uint32_t>(mode.w), scale);
    y = window_y_for_screen(static_cast<std::uint32_t>(mode.h), scale);
  }
  // The client area shows the whole back buffer; the window stays hidden until the
  // start-up steps after its creation have run.
  window_ = SDL_CreateWindow(window_title, x, y, view_width * scale_, view_height * scale_,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (window_ == nullptr) {
    error = SDL_GetError();
    return false;
  }
  // A paint's copy to the window goes straight into the window's own surface (shared memory
  // with the X server where it has it): no renderer, no texture, no copy of our own.
  SDL_StopTextInput();  // the program reads key codes only
  return true;
}

void SdlPlatform::set_icon(const std::uint32_t* argb, int size) {
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<std::uint32_t*>(argb), size, size, 32, size * 4, SDL_PIXELFORMAT_ARGB8888);
  if (icon == nullptr) return;  // the window just keeps the desktop's default icon
  SDL_SetWindowIcon(window_, icon);
  SDL_FreeSurface(icon);
}

ProgramFrame SdlPlatform::window_frame() const {
  int x = 0, y = 0, width = 0, height = 0;
  SDL_GetWindowPosition(window_, &x, &y);
  SDL_GetWindowSize(window_, &width, &height);
  // SDL reads _NET_FRAME_EXTENTS on X11; where it cannot tell, the frame is the client area.
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) {
    top = left = bottom = right = 0;
  }
  return {{x - left, y - top, width + left + right, height + top + bottom},
          {left, top, right, bottom}};
}

void SdlPlatform::show_window() {
  SDL_ShowWindow(window_);
  // The first paint below stands for everything showing uncovers (UpdateWindow validates
  // the window), so the expose events of the mapping are dropped.
  SDL_PumpEvents();
  SDL_FlushEvent(SDL_WINDOWEVENT);
  exposed_ = false;
}

void SdlPlatform::bit_blt(Handle dst, std::int32_t x, std::int32_t y, std::int32_t width,
                          std::int32_t height, Handle src, std::int32_t src_x, std::int32_t src_y) {
  const Surface* from = dst == window_dc() && src != dst ? dc_surface(src) : nullptr;
  SDL_Surface* screen = from != nullptr ? SDL_GetWindowSurface(window_) : nullptr;
  if (screen == nullptr) {
    SoftPlatform::bit_blt(dst, x, y, width, height, src, src_x, src_y);
    return;
  }
  const InkBounds& ink = *dc_ink(src);
  const LastCopy last = last_copy_;
  last_copy_ = LastCopy{};  // until this copy is known to have landed whole
  // Offsets i, j with 0 <= i < width whose picture and source pixels both exist.
  using i64 = std::int64_t;
  const i64 i_lo = std::max<i64>({0, -i64{x}, -i64{src_x}});
  const i64 i_hi = std::min<i64>({width, i64{view_width} - x, i64{from->width} - src_x});
  const i64 j_lo = std::max<i64>({0, -i64{y}, -i64{src_y}});
  const i64 j_hi = std::min<i64>({height, i64{view_height} - y, i64{from->height} - src_y});
  if (i_lo >= i_hi || j_lo >= j_hi) return;
  const i64 scale = scale_;
  // The whole picture from one bitmap onto a surface that holds it: afterwards the window
  // shows that bitmap as it is now.
  const bool whole = x == 0 && y == 0 && src_x == 0 && src_y == 0 && i_lo == 0 &&
                     i_hi == view_width && j_lo == 0 && j_hi == view_height &&
                     screen->w >= view_width * scale && screen->h >= view_height * scale;
  // And if the last copy was one too, of the same bitmap onto the same surface, rows plain
  // then and plain now are plain on the window already, and so are columns outside both
  // copies' ink.
  const bool known =
      whole && last.source == from && last.screen == screen && last.ink.plain() == ink.plain() &&
      last.ink.band_height() == ink.band_height() && screen == drawn_on_ && !resend_all_;
  if (screen != drawn_on_) {  // a new surface (a resized window) holds nothing of ours yet
    drawn_on_ = screen;
    changed_top_ = 0;
    changed_bottom_ = screen->h;
  }
  const SDL_PixelFormat& format = *screen->format;
  // 0x00RRGGBB words need no conversion; any other layout is converted row by row.
  const bool same_layout = format.BytesPerPixel == 4 && format.Rmask == 0xFF0000u &&
                           format.Gmask == 0xFF00u && format.Bmask == 0xFFu && format.Amask == 0;
  if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) != 0) return;
  auto* const base = static_cast<std::uint8_t*>(screen->pixels);
  // The picture columns [c_lo, c_hi) of a band to send: in a known copy, those with ink now
  // or at the last copy (none: the band is skipped).
  i64 c_lo = i_lo, c_hi = i_hi;
  int band = -1;
  const auto band_columns = [&](int b) {
    c_lo = i_hi;
    c_hi = i_lo;
    for (const InkBounds* bounds : {&ink, &last.ink}) {
      if (((bounds->bands() >> b) & 1u) == 0) continue;
      c_lo = std::min<i64>(c_lo, std::max<i64>(i_lo, bounds->band_left(b)));
      c_hi = std::max<i64>(c_hi, std::min<i64>(i_hi, bounds->band_right(b)));
    }
  };
  for (i64 j = j_lo; j < j_hi; ++j) {
    if (known && ink.band_of(static_cast<std::int32_t>(j)) != band) {
      band = ink.band_of(static_cast<std::int32_t>(j));
      band_columns(band);
    }
    // Screen columns [left, right) of the picture columns sent, inside the surface.
    const i64 left = (x + c_lo) * scale;
    const i64 right = std::min<i64>((x + c_hi) * scale, screen->w);
    if (left >= right) continue;
    const auto bytes = static_cast<std::size_t>(right - left) * sizeof(std::uint32_t);
    const std::uint32_t* source =
        from->pixels.data() + (src_y + j) * i64{from->width} + src_x + c_lo;
    const std::uint32_t* row = source;
    if (scale > 1) {
      wide_row_.resize(static_cast<std::size_t>(right - left));
      for (i64 i = 0; i < right - left; ++i) {
        wide_row_[static_cast<std::size_t>(i)] = source[i / scale];
      }
      row = wide_row_.data();
    }
    const i64 top = (y + j) * scale;
    const i64 bottom = std::min<i64>(top + scale, screen->h);
    for (i64 line = top; line < bottom; ++line) {
      std::uint8_t* const target =
          base + line * screen->pitch + left * static_cast<i64>(format.BytesPerPixel);
      if (!same_layout) {
        SDL_ConvertPixels(static_cast<int>(right - left), 1, SDL_PIXELFORMAT_RGB888, row,
                          static_cast<int>(bytes), format.format, target, screen->pitch);
        changed_top_ = std::min(changed_top_, static_cast<int>(line));
        changed_bottom_ = std::max(changed_bottom_, static_cast<int>(line) + 1);
      } else if (std::memcmp(target, row, bytes) != 0) {
        // Rows the frame leaves as they were are not sent to the display again.
        std::memcpy(target, row, bytes);
        changed_top_ = std::min(changed_top_, static_cast<int>(line));
        changed_bottom_ = std::max(changed_bottom_, static_cast<int>(line) + 1);
      }
    }
  }
  if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
  if (whole) last_copy_ = LastCopy{from, screen, ink};
}

void SdlPlatform::present() {
  // Fetched each time: a resized window gets a new surface.
  SDL_Surface* screen = SDL_GetWindowSurface(window_);
  if (screen == nullptr) return;
  if (screen != drawn_on_ || resend_all_) {
    drawn_on_ = screen;
    resend_all_ = false;
    changed_top_ = 0;
    changed_bottom_ = screen->h;
  }
  // Whatever a larger window shows beyond the picture is black.
  const int width = std::min(view_width * scale_, screen->w);
  const int height = std::min(view_height * scale_, screen->h);
  const std::uint32_t black = SDL_MapRGB(screen->format, 0, 0, 0);
  const SDL_Rect beyond[] = {
      {width, 0, screen->w - width, screen->h},  // right
      {0, height, width, screen->h - height},    // below
  };
  for (const SDL_Rect& rect : beyond) {
    if (rect.w > 0 && rect.h > 0) SDL_FillRect(screen, &rect, black);
  }
  if (width < screen->w || height < screen->h) {
    changed_top_ = std::min(changed_top_, 0);
    changed_bottom_ = std::max(changed_bottom_, screen->h);
  }
  if (changed_top_ < changed_bottom_) {
    const SDL_Rect rows{0, changed_top_, screen->w, changed_bottom_ - changed_top_};
    SDL_UpdateWindowSurfaceRects(window_, &rows, 1);
  }
  changed_top_ = screen->h;
  changed_bottom_ = 0;
  ++frames_presented_;
}

void SdlPlatform::end_paint(WindowHandle window) {
  SoftPlatform::end_paint(window);
  present();
}

void SdlPlatform::set_timer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) {
  SoftPlatform::set_timer(window, id, milliseconds);
  timers_.set(id, milliseconds, timer_clock_());
}

void SdlPlatform::kill_timer(WindowHandle window, std::uint32_t id) {
  SoftPlatform::kill_timer(window, id);
  timers_.kill(id);
}

void SdlPlatform::dispatch(Program& program, std::uint32_t message, WParam wparam, LParam lparam) {
  window_proc(program, window_handle(), message, wparam, lparam);
}

void SdlPlatform::handle_event(Program& program, const SDL_Event& event) {
  if (event.type == SDL_WINDOWEVENT && (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                                        event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)) {
    exposed_ = true;  // repainted without clearing, like an uncovered Windows window
    // What the display shows is lost: every row goes again, changed or not.
    resend_all_ = true;
  }
  EventContext context;
  context.modifiers = static_cast<std::uint16_t>(SDL_GetModState());
  context.buttons = buttons_;
  SDL_GetWindowSize(window_, &context.client_width, &context.client_height);
  context.scale = scale_;
  const std::optional<WindowMessage> message = translate_event(event, context);
  buttons_ = buttons_after(event, buttons_);
  if (message) dispatch(program, message->code, message->wparam, message->lparam);
}

class SdlPlatform::Loop final : public MessageSource {
 public:
  Loop(SdlPlatform& window, Program& program) : window_(window), program_(program) {}

  bool quit_posted() override { return window_.quit_posted(); }

  bool deliver_input() override {
    SDL_Event event;
    if (SDL_PollEvent(&event) == 0) return false;
    window_.handle_event(program_, event);
    return true;
  }

  bool deliver_paint() override {
    if (!window_.invalidated() && !window_.exposed_) return false;
    window_.clear_invalidated();
    window_.exposed_ = false;
    window_.dispatch(program_, msg::paint, 0, 0);
    return true;
  }

  bool deliver_timer() override {
    const std::optional<std::uint32_t> id = window_.timers_.take_due(window_.timer_clock_());
    if (!id) return false;
    window_.dispatch(program_, msg::timer, *id, 0);
    return true;
  }

  // Until the next event or timer deadline, never spinning; the event stays queued.
  // The trace sink may have lines lost to tell a viewer that answers again.
  void wait() override {
    int budget = window_.timers_.wait_budget(window_.timer_clock_());
    if (const int sink = program_.trace->catch_up(); sink >= 0) {
      budget = budget < 0 ? sink : std::min(budget, sink);
    }
    if (window_.timer_wait_) {
      window_.timer_wait_(budget);
    } else if (budget < 0) {
      SDL_WaitEvent(nullptr);
    } else {
      SDL_WaitEventTimeout(nullptr, budget);
    }
  }

 private:
  SdlPlatform& window_;
  Program& program_;
};

int SdlPlatform::run(Program& program) {
  start_program(program, window_handle(), [this] {
    show_window();
    buttons_ = SDL_GetMouseState(nullptr, nullptr);
    clear_invalidated();
  });

  Loop loop(*this, program);
  run_message_loop(loop);
  return quit_code();
}

}  // namespace fpu
