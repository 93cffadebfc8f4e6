// The software back buffer: the platform layer's drawing operations on plain pixel
// buffers, with the published pixel rules of the Windows drawing services, plus
// recording stand-ins for the window services. Used headless (replay tool, tests)
// and, with a presentation step added, by the SDL window.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace fpu {

// How a platform's surfaces hold a colour. xrgb: 0x00RRGGBB, the layout of a 32-bpp Windows
// DIB. rgba_bytes: the bytes R, G, B, 255 that a canvas takes, so that the page shows a
// picture with a plain copy instead of converting every pixel of every frame.
enum class PixelLayout : std::uint8_t { xrgb, rgba_bytes };

class InkBounds;

// A 32-bit pixel buffer in its platform's PixelLayout.
struct Surface {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;  // row-major, top row first
  std::uint32_t at(std::int32_t x, std::int32_t y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

// COLORREF 0x00BBGGRR -> pixel 0x00RRGGBB, or 0xFFBBGGRR (bytes R, G, B, 255).
constexpr std::uint32_t pixel_from_colorref(ColorRef c, PixelLayout layout = PixelLayout::xrgb) {
  if (layout == PixelLayout::rgba_bytes) return 0xFF000000u | (c & 0xFFFFFFu);
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

class SoftPlatform : public Platform {
 public:
  // The window DC draws on a window_width x window_height surface.
  SoftPlatform(std::int32_t window_width, std::int32_t window_height,
               PixelLayout layout = PixelLayout::xrgb);
  ~SoftPlatform() override;
  SoftPlatform(const SoftPlatform&) = delete;
  SoftPlatform& operator=(const SoftPlatform&) = delete;

  // Drawing.
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

  // Window services, recorded.
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
  std::uint32_t get_tick_count() override { return tick_count_; }

  // --- inspection and control (tools, tests, the SDL backend) ---
  void set_tick_count(std::uint32_t ms) { tick_count_ = ms; }
  PixelLayout pixel_layout() const { return layout_; }
  // The surface the window shows (700 x 654, black at first); begin_paint returns its DC.
  const Surface& window_surface() const;
  // The bitmap selected into a live memory DC, or nullptr.
  const Surface* dc_surface(Handle dc) const;
  // Where that bitmap may hold pixels other than its plain value (ink_bounds.h), or nullptr.
  const InkBounds* dc_ink(Handle dc);
  // A live bitmap's pixels, or nullptr.
  const Surface* bitmap_surface(Handle bitmap) const;
  bool invalidated() const { return invalidated_; }
  void clear_invalidated() { invalidated_ = false; }
  bool quit_posted() const { return quit_posted_; }
  std::int32_t quit_code() const { return quit_code_; }
  bool timer_running(std::uint32_t id) const;
  std::uint32_t timer_period(std::uint32_t id) const;  // 0 when not running
  bool window_destroyed() const { return window_destroyed_; }
  // Calls made with a null, deleted or wrong-kind handle (they have no effect, as on
  // Windows). Tests use it to show nothing is drawn with or deleted from a dead object.
  std::uint64_t invalid_handle_calls() const { return invalid_handle_calls_; }
  // Live objects (DCs, bitmaps, pens, brushes) other than the window's own DC and the
  // stock objects a new memory DC starts with.
  std::size_t live_objects() const;
  // The window's DC (what get_dc and begin_paint return).
  Handle window_dc() const;
  // A live DC's current position (move_to / line_to); false for a dead handle.
  bool current_position(Handle dc, std::int32_t& x, std::int32_t& y) const;
  // A live DC's selected pen, or 0.
  Handle selected_pen(Handle dc) const;

 private:
  std::uint32_t pixel_of(ColorRef color) const { return pixel_from_colorref(color, layout_); }

  struct Impl;
  PixelLayout layout_;
  std::unique_ptr<Impl> impl_;  // object table; a pointer so the header stays light
  std::uint32_t tick_count_ = 0;
  bool invalidated_ = false;
  bool quit_posted_ = false;
  std::int32_t quit_code_ = 0;
  bool window_destroyed_ = false;
  std::uint64_t invalid_handle_calls_ = 0;
};

}  // namespace fpu
