// The small platform layer the portable core draws and schedules through.
//
// Its operations mirror the Windows services the program was designed around
// (gdi32 drawing on a memory device context, a few user32 window services and
// the kernel tick count), with their published semantics. Backends:
//   backends/soft   software back buffer, used headless (replay, tests) and by the SDL and web
//                   backends;
//   backends/sdl    SDL2 window on top of the software back buffer;
//   backends/web    the web page's canvas on top of the software back buffer;
//   backends/win32  the real Windows API, one call per operation.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace fpu {

inline constexpr std::int32_t pen_style_solid = 0;      // PS_SOLID
inline constexpr std::int32_t bk_mode_transparent = 1;  // TRANSPARENT

class Platform {
 public:
  virtual ~Platform() = default;

  // --- drawing (gdi32) ---
  virtual Handle create_compatible_dc(Handle dc) = 0;
  virtual Handle create_compatible_bitmap(Handle dc, std::int32_t width, std::int32_t height) = 0;
  virtual Handle create_solid_brush(ColorRef color) = 0;
  virtual Handle create_pen(std::int32_t style, std::int32_t width, ColorRef color) = 0;
  // Returns the object previously selected of the same kind, or 0 on failure.
  virtual Handle select_object(Handle dc, Handle object) = 0;
  virtual bool delete_object(Handle object) = 0;
  virtual bool delete_dc(Handle dc) = 0;
  virtual void set_bk_mode(Handle dc, std::int32_t mode) = 0;
  virtual void set_text_color(Handle dc, ColorRef color) = 0;
  virtual void set_pixel(Handle dc, std::int32_t x, std::int32_t y, ColorRef color) = 0;
  virtual void move_to(Handle dc, std::int32_t x, std::int32_t y) = 0;
  // Draws from the current position with the selected pen, end point excluded.
  virtual void line_to(Handle dc, std::int32_t x, std::int32_t y) = 0;
  // Draws exactly `count` bytes (NULs included) with the top-left of the first cell at (x, y).
  virtual void text_out(Handle dc, std::int32_t x, std::int32_t y, const char* text,
                        std::int32_t count) = 0;
  // SRCCOPY without stretching.
  virtual void bit_blt(Handle dst, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height, Handle src, std::int32_t src_x, std::int32_t src_y) = 0;

  // --- window services (user32) ---
  virtual void fill_rect(Handle dc, const Rect& rect, Handle brush) = 0;
  virtual Handle get_dc(WindowHandle window) = 0;
  virtual void release_dc(WindowHandle window, Handle dc) = 0;
  // Returns the device context of the window's client area for this paint.
  virtual Handle begin_paint(WindowHandle window) = 0;
  virtual void end_paint(WindowHandle window) = 0;
  // Invalidates `rect` without erasing; a paint message follows later.
  virtual void redraw_window(WindowHandle window, const Rect& rect) = 0;
  virtual void set_timer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) = 0;
  virtual void kill_timer(WindowHandle window, std::uint32_t id) = 0;
  virtual void post_quit_message(std::int32_t exit_code) = 0;
  virtual std::intptr_t default_window_proc(WindowHandle window, std::uint32_t message,
                                            WParam wparam, LParam lparam) = 0;

  // --- kernel ---
  // Milliseconds since some start, wrapping at 2^32.
  virtual std::uint32_t get_tick_count() = 0;
};

}  // namespace fpu
