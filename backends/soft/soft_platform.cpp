#include "backends/soft/soft_platform.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "backends/soft/line_raster.h"
#include "backends/soft/soft_font.h"

namespace fpu {
namespace {

constexpr std::int32_t bk_mode_opaque = 2;
// Larger bitmaps are refused rather than risk an allocation failure.
constexpr std::int64_t max_bitmap_pixels = std::int64_t{1} << 26;

// A handle is the slot index + 1 in the low 16 bits and the slot's generation above, so a
// deleted handle stays dead after its slot is reused.
constexpr int slot_bits = 16;
constexpr std::size_t max_slots = (std::size_t{1} << slot_bits) - 1;

enum class Kind : std::uint8_t { free, window_dc, memory_dc, bitmap, pen, brush };

std::shared_ptr<Surface> make_surface(std::int32_t width, std::int32_t height) {
  auto surface = std::make_shared<Surface>();
  surface->width = width;
  surface->height = height;
  surface->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  return surface;
}

}  // namespace

struct SoftPlatform::Impl {
  struct Object {
    Kind kind = Kind::free;
    bool stock = false;
    std::uintptr_t generation = 1;
    // Bitmaps: the pixels. DCs: the selected bitmap's pixels (shared, so a bitmap deleted
    // while selected stays valid until something else is selected).
    std::shared_ptr<Surface> surface;
    std::uint32_t pixel = 0;  // pens and brushes: their colour as a pixel
    // DCs.
    Handle bitmap = 0;
    Handle pen = 0;
    Handle brush = 0;
    std::uint32_t pen_pixel = 0;
    std::uint32_t text_pixel = 0;
    std::int32_t bk_mode = bk_mode_opaque;
    std::int32_t pos_x = 0;
    std::int32_t pos_y = 0;
    // Bitmaps: the memory DC it is selected into, if any.
    Handle selected_into = 0;
  };

  std::vector<Object> slots;
  std::vector<std::size_t> free_slots;
  std::map<std::uint32_t, std::uint32_t> timers;
  Handle window_dc = 0;
  Handle stock_bitmap = 0;
  Handle stock_pen = 0;
  Handle stock_brush = 0;

  Handle allocate(Kind kind) {
    std::size_t slot;
    if (!free_slots.empty()) {
      slot = free_slots.back();
      free_slots.pop_back();
    } else {
      if (slots.size() >= max_slots) return 0;
      slot = slots.size();
      slots.emplace_back();
    }
    Object& o = slots[slot];
    const std::uintptr_t generation = o.generation;
    o = Object{};
    o.generation = generation;
    o.kind = kind;
    return (generation << slot_bits) | (slot + 1);
  }

  Object* find(Handle h) {
    const std::size_t slot = static_cast<std::size_t>(h & max_slots);
    if (slot == 0 || slot > slots.size()) return nullptr;
    Object& o = slots[slot - 1];
    if (o.kind == Kind::free || o.generation != (h >> slot_bits)) return nullptr;
    return &o;
  }
  const Object* find(Handle h) const { return const_cast<Impl*>(this)->find(h); }

  void release(Handle h) {
    const std::size_t slot = static_cast<std::size_t>(h & max_slots) - 1;
    Object& o = slots[slot];
    o.kind = Kind::free;
    o.surface.reset();
    ++o.generation;
    free_slots.push_back(slot);
  }

  static bool is_dc(const Object* o) {
    return o != nullptr && (o->kind == Kind::memory_dc || o->kind == Kind::window_dc);
  }

  // The live DC behind `h`, or nullptr after counting the call as one with a bad handle.
  Object* live_dc(Handle h, std::uint64_t& invalid_calls) {
    Object* o = find(h);
    if (is_dc(o)) return o;
    ++invalid_calls;
    return nullptr;
  }
};

SoftPlatform::SoftPlatform(std::int32_t window_width, std::int32_t window_height)
    : impl_(std::make_unique<Impl>()) {
  Impl& im = *impl_;
  im.window_dc = im.allocate(Kind::window_dc);
  im.find(im.window_dc)->surface = make_surface(window_width, window_height);
  // What a new memory DC starts with: a 1 x 1 bitmap, a black pen, a white brush.
  im.stock_bitmap = im.allocate(Kind::bitmap);
  im.find(im.stock_bitmap)->surface = make_surface(1, 1);
  im.stock_pen = im.allocate(Kind::pen);
  im.find(im.stock_pen)->pixel = pixel_from_colorref(color::black);
  im.stock_brush = im.allocate(Kind::brush);
  im.find(im.stock_brush)->pixel = pixel_from_colorref(color::white);
  for (Handle h : {im.stock_bitmap, im.stock_pen, im.stock_brush}) im.find(h)->stock = true;
  Impl::Object& window = *im.find(im.window_dc);
  window.pen = im.stock_pen;
  window.brush = im.stock_brush;
}

SoftPlatform::~SoftPlatform() = default;

// --- drawing objects ---

Handle SoftPlatform::create_compatible_dc(Handle dc) {
  // A null DC means one compatible with the screen.
  if (dc != 0 && impl_->live_dc(dc, invalid_handle_calls_) == nullptr) return 0;
  const Handle h = impl_->allocate(Kind::memory_dc);
  if (h == 0) return 0;
  Impl::Object& o = *impl_->find(h);
  o.bitmap = impl_->stock_bitmap;
  o.surface = impl_->find(impl_->stock_bitmap)->surface;
  o.pen = impl_->stock_pen;
  o.brush = impl_->stock_brush;
  return h;
}

Handle SoftPlatform::create_compatible_bitmap(Handle dc, std::int32_t width, std::int32_t height) {
  if (impl_->live_dc(dc, invalid_handle_calls_) == nullptr) return 0;
  if (width <= 0 || height <= 0 || std::int64_t{width} * height > max_bitmap_pixels) return 0;
  const Handle h = impl_->allocate(Kind::bitmap);
  if (h == 0) return 0;
  // New bitmaps are black.
  impl_->find(h)->surface = make_surface(width, height);
  return h;
}

Handle SoftPlatform::create_solid_brush(ColorRef color) {
  const Handle h = impl_->allocate(Kind::brush);
  if (h != 0) impl_->find(h)->pixel = pixel_from_colorref(color);
  return h;
}

// Every pen draws as a solid 1-pixel cosmetic pen: the only kind the program creates.
Handle SoftPlatform::create_pen(std::int32_t, std::int32_t, ColorRef color) {
  const Handle h = impl_->allocate(Kind::pen);
  if (h != 0) impl_->find(h)->pixel = pixel_from_colorref(color);
  return h;
}

Handle SoftPlatform::select_object(Handle dc, Handle object) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return 0;
  Impl::Object* o = impl_->find(object);
  if (o == nullptr) {
    ++invalid_handle_calls_;
    return 0;
  }
  Handle previous = 0;
  switch (o->kind) {
    case Kind::pen:
      previous = d->pen;
      d->pen = object;
      d->pen_pixel = o->pixel;
      return previous;
    case Kind::brush:
      previous = d->brush;
      d->brush = object;
      return previous;
    case Kind::bitmap: {
      if (d->kind != Kind::memory_dc) {
        ++invalid_handle_calls_;
        return 0;
      }
      // A bitmap can be selected into one DC at a time.
      if (!o->stock && o->selected_into != 0 && o->selected_into != dc &&
          impl_->find(o->selected_into) != nullptr) {
        return 0;
      }
      previous = d->bitmap;
      if (Impl::Object* old = impl_->find(previous); old != nullptr && old->kind == Kind::bitmap) {
        old->selected_into = 0;
      }
      d->bitmap = object;
      d->surface = o->surface;
      if (!o->stock) o->selected_into = dc;
      return previous;
    }
    default:
      ++invalid_handle_calls_;
      return 0;
  }
}

bool SoftPlatform::delete_object(Handle object) {
  Impl::Object* o = impl_->find(object);
  if (o == nullptr || (o->kind != Kind::bitmap && o->kind != Kind::pen && o->kind != Kind::brush)) {
    ++invalid_handle_calls_;
    return false;
  }
  if (o->stock) return true;  // stock objects are never really deleted
  impl_->release(object);
  return true;
}

bool SoftPlatform::delete_dc(Handle dc) {
  Impl::Object* d = impl_->find(dc);
  if (d == nullptr || d->kind != Kind::memory_dc) {
    ++invalid_handle_calls_;
    return false;
  }
  if (Impl::Object* b = impl_->find(d->bitmap); b != nullptr && b->kind == Kind::bitmap) {
    b->selected_into = 0;
  }
  impl_->release(dc);
  return true;
}

void SoftPlatform::set_bk_mode(Handle dc, std::int32_t mode) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return;
  d->bk_mode = mode;
}

void SoftPlatform::set_text_color(Handle dc, ColorRef color) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return;
  d->text_pixel = pixel_from_colorref(color);
}

// --- drawing ---

void SoftPlatform::set_pixel(Handle dc, std::int32_t x, std::int32_t y, ColorRef color) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return;
  Surface& s = *d->surface;
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return;
  s.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) +
           static_cast<std::size_t>(x)] = pixel_from_colorref(color);
}

void SoftPlatform::move_to(Handle dc, std::int32_t x, std::int32_t y) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return;
  d->pos_x = x;
  d->pos_y = y;
}

void SoftPlatform::line_to(Handle dc, std::int32_t x, std::int32_t y) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return;
  Surface& s = *d->surface;
  LineWalk w = clip_line(d->pos_x, d->pos_y, x, y, s.width, s.height);
  // Walk by index: one add per pixel, one more when the minor coordinate steps.
  std::uint32_t* const pixels = s.pixels.data();
  const std::uint32_t pixel = d->pen_pixel;
  const std::ptrdiff_t stride = s.width;
  const std::ptrdiff_t major_step = w.major_dy * stride + w.major_dx;
  const std::ptrdiff_t minor_step = w.minor_dy * stride + w.minor_dx;
  std::ptrdiff_t at = w.y * stride + w.x;
  for (std::int64_t n = w.count; n > 0; --n) {
    pixels[at] = pixel;
    at += major_step;
    w.r += w.two_small;
    const bool minor = w.r >= w.two_big;
    w.r -= minor ? w.two_big : 0;
    at += minor ? minor_step : 0;
  }
  d->pos_x = x;
  d->pos_y = y;
}

void SoftPlatform::text_out(Handle dc, std::int32_t x, std::int32_t y, const char* text,
                            std::int32_t count) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return;
  if (text == nullptr || count <= 0) return;
  Surface& s = *d->surface;
  const auto put = [&s](std::int64_t px, std::int64_t py, std::uint32_t pixel) {
    if (px < 0 || py < 0 || px >= s.width || py >= s.height) return;
    s.pixels[static_cast<std::size_t>(py) * static_cast<std::size_t>(s.width) +
             static_cast<std::size_t>(px)] = pixel;
  };
  // The default background colour of a DC is white; only an opaque mode paints it.
  const std::uint32_t background = pixel_from_colorref(color::white);
  std::int64_t cell_x = x;
  for (std::int32_t i = 0; i < count; ++i, cell_x += font_cell_width) {
    if (cell_x >= s.width) break;
    if (d->bk_mode == bk_mode_opaque) {
      for (std::int32_t r = 0; r < font_cell_height; ++r) {
        for (std::int32_t c = 0; c < font_cell_width; ++c) {
          put(cell_x + c, std::int64_t{y} + r, background);
        }
      }
    }
    const GlyphRows& rows = glyph_for(static_cast<unsigned char>(text[i]));
    for (std::int32_t r = 0; r < font_glyph_rows; ++r) {
      for (std::int32_t c = 0; c < font_glyph_width; ++c) {
        if ((rows[static_cast<std::size_t>(r)] >> (font_glyph_width - 1 - c)) & 1u) {
          put(cell_x + c, std::int64_t{y} + font_glyph_top + r, d->text_pixel);
        }
      }
    }
  }
}

void SoftPlatform::bit_blt(Handle dst, std::int32_t x, std::int32_t y, std::int32_t width,
                           std::int32_t height, Handle src, std::int32_t src_x,
                           std::int32_t src_y) {
  Impl::Object* d = impl_->live_dc(dst, invalid_handle_calls_);
  if (d == nullptr) return;
  Impl::Object* sr = impl_->live_dc(src, invalid_handle_calls_);
  if (sr == nullptr) return;
  Surface& to = *d->surface;
  const Surface& from = *sr->surface;
  // Offsets i, j with 0 <= i < width whose destination and source pixels both exist.
  using i64 = std::int64_t;
  const i64 i_lo = std::max<i64>({0, -i64{x}, -i64{src_x}});
  const i64 i_hi = std::min<i64>({width, i64{to.width} - x, i64{from.width} - src_x});
  const i64 j_lo = std::max<i64>({0, -i64{y}, -i64{src_y}});
  const i64 j_hi = std::min<i64>({height, i64{to.height} - y, i64{from.height} - src_y});
  if (i_lo >= i_hi || j_lo >= j_hi) return;
  const std::size_t row_bytes = static_cast<std::size_t>(i_hi - i_lo) * sizeof(std::uint32_t);
  const auto copy_row = [&](i64 j) {
    std::memmove(&to.pixels[static_cast<std::size_t>((y + j) * to.width + x + i_lo)],
                 &from.pixels[static_cast<std::size_t>((src_y + j) * from.width + src_x + i_lo)],
                 row_bytes);
  };
  // Within one bitmap, copy rows in the order that never reads an overwritten row.
  if (&to == &from && y > src_y) {
    for (i64 j = j_hi - 1; j >= j_lo; --j) copy_row(j);
  } else {
    for (i64 j = j_lo; j < j_hi; ++j) copy_row(j);
  }
}

// --- window services ---

void SoftPlatform::fill_rect(Handle dc, const Rect& rect, Handle brush) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return;
  const Impl::Object* b = impl_->find(brush);
  if (b == nullptr || b->kind != Kind::brush) {
    ++invalid_handle_calls_;
    return;
  }
  Surface& s = *d->surface;
  const std::int32_t left = std::max(rect.left, 0);
  const std::int32_t top = std::max(rect.top, 0);
  const std::int32_t right = std::min(rect.right, s.width);
  const std::int32_t bottom = std::min(rect.bottom, s.height);
  if (left >= right || top >= bottom) return;
  // Fill the first row, then copy it: memcpy is much faster than a per-pixel loop.
  std::uint32_t* const first = s.pixels.data() + static_cast<std::ptrdiff_t>(top) * s.width + left;
  std::fill(first, first + (right - left), b->pixel);
  const std::size_t row_bytes = static_cast<std::size_t>(right - left) * sizeof(std::uint32_t);
  for (std::int32_t row = top + 1; row < bottom; ++row) {
    std::memcpy(first + static_cast<std::ptrdiff_t>(row - top) * s.width, first, row_bytes);
  }
}

Handle SoftPlatform::get_dc(WindowHandle) {
  return impl_->window_dc;
}

void SoftPlatform::release_dc(WindowHandle, Handle) {}

Handle SoftPlatform::begin_paint(WindowHandle) {
  return impl_->window_dc;
}

void SoftPlatform::end_paint(WindowHandle) {}

void SoftPlatform::redraw_window(WindowHandle, const Rect&) {
  invalidated_ = true;
}

void SoftPlatform::set_timer(WindowHandle, std::uint32_t id, std::uint32_t milliseconds) {
  impl_->timers[id] = milliseconds;
}

void SoftPlatform::kill_timer(WindowHandle, std::uint32_t id) {
  impl_->timers.erase(id);
}

void SoftPlatform::post_quit_message(std::int32_t exit_code) {
  quit_posted_ = true;
  quit_code_ = exit_code;
}

std::intptr_t SoftPlatform::default_window_proc(WindowHandle, std::uint32_t message, WParam,
                                                LParam) {
  if (message == msg::close) window_destroyed_ = true;
  return 0;
}

// --- inspection ---

const Surface& SoftPlatform::window_surface() const {
  return *impl_->find(impl_->window_dc)->surface;
}

const Surface* SoftPlatform::dc_surface(Handle dc) const {
  const Impl::Object* d = impl_->find(dc);
  if (!Impl::is_dc(d) || d->bitmap == impl_->stock_bitmap) return nullptr;
  return d->surface.get();
}

const Surface* SoftPlatform::bitmap_surface(Handle bitmap) const {
  const Impl::Object* b = impl_->find(bitmap);
  if (b == nullptr || b->kind != Kind::bitmap || b->stock) return nullptr;
  return b->surface.get();
}

bool SoftPlatform::timer_running(std::uint32_t id) const {
  return impl_->timers.contains(id);
}

std::uint32_t SoftPlatform::timer_period(std::uint32_t id) const {
  const auto it = impl_->timers.find(id);
  return it == impl_->timers.end() ? 0 : it->second;
}

std::size_t SoftPlatform::live_objects() const {
  return static_cast<std::size_t>(
      std::count_if(impl_->slots.begin(), impl_->slots.end(), [](const Impl::Object& o) {
        return o.kind != Kind::free && o.kind != Kind::window_dc && !o.stock;
      }));
}

Handle SoftPlatform::window_dc() const {
  return impl_->window_dc;
}

bool SoftPlatform::current_position(Handle dc, std::int32_t& x, std::int32_t& y) const {
  const Impl::Object* d = impl_->find(dc);
  if (!Impl::is_dc(d)) return false;
  x = d->pos_x;
  y = d->pos_y;
  return true;
}

Handle SoftPlatform::selected_pen(Handle dc) const {
  const Impl::Object* d = impl_->find(dc);
  return Impl::is_dc(d) ? d->pen : 0;
}

}  // namespace fpu
