// The platform layer on the real Windows API: every operation is one call of the
// service it is named after. Handles travel as integers; <windows.h> stays in the .cpp.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace fpu {

// The desktop's dots per inch as this program sees them (96 unless it is DPI-aware).
std::uint32_t system_dpi();

class Win32Platform : public Platform {
 public:
  Win32Platform();
  ~Win32Platform() override;

  // Screen pixels per picture pixel. Above 1 the window's paints go to a picture-sized
  // bitmap that end_paint enlarges, each pixel an exact square, and invalidated rectangles
  // grow with it: the program keeps drawing in picture pixels.
  void set_scale(std::int32_t scale);
  std::int32_t scale() const { return scale_; }

  Handle create_compatible_dc(Handle dc) override;
  Handle create_compatible_bitmap(Handle dc, std::int32_t width, std::int32_t height) override;
  Handle create_solid_brush(ColorRef color) override;
  Handle create_pen(std::int32_t style, std::int32_t width, ColorRef color) override;
  Handle select_object(Handle dc, Handle object) override;
  bool delete_object(Handle object) override;
  bool delete_dc(Handle dc) override;
  void set_bk_mode(Handle dc, std::int32_t mode) override;
  void set_text_color(Handle dc, ColorRef color) override;
  void set_pixel(Handle dc, std::int32_t x, std::int32_t y, ColorRef color) override;
  void move_to(Handle dc, std::int32_t x, std::int32_t y) override;
  void line_to(Handle dc, std::int32_t x, std::int32_t y) override;
  void text_out(Handle dc, std::int32_t x, std::int32_t y, const char* text,
                std::int32_t count) override;
  void bit_blt(Handle dst, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
               Handle src, std::int32_t src_x, std::int32_t src_y) override;

  void fill_rect(Handle dc, const Rect& rect, Handle brush) override;
  Handle get_dc(WindowHandle window) override;
  void release_dc(WindowHandle window, Handle dc) override;
  Handle begin_paint(WindowHandle window) override;
  void end_paint(WindowHandle window) override;
  void redraw_window(WindowHandle window, const Rect& rect) override;
  void set_timer(WindowHandle window, std::uint32_t id, std::uint32_t milliseconds) override;
  void kill_timer(WindowHandle window, std::uint32_t id) override;
  void post_quit_message(std::int32_t exit_code) override;
  std::intptr_t default_window_proc(WindowHandle window, std::uint32_t message, WParam wparam,
                                    LParam lparam) override;
  std::uint32_t get_tick_count() override;

 private:
  // The system objects it keeps: each window's paint record between begin_paint and
  // end_paint, the picture-sized bitmap of a scaled window, the font for the program's text.
  struct Native;
  std::unique_ptr<Native> native_;
  std::int32_t scale_ = 1;
};

}  // namespace fpu
