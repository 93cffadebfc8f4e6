// The platform layer on the real Windows API: every operation is one call of the
// service it is named after. Handles travel as integers; <windows.h> stays in the .cpp.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace fpu {

class Win32Platform : public Platform {
 public:
  Win32Platform();
  ~Win32Platform() override;

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
  // The paint record of each window between begin_paint and end_paint.
  struct PaintRecords;
  std::unique_ptr<PaintRecords> paints_;
};

}  // namespace fpu
