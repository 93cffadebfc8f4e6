#include "backends/soft/soft_platform.h"

#include <algorithm>
#include <memory>

#include "backends/soft/soft_objects.h"

namespace fpu {
namespace {

using soft_detail::Kind;
using soft_detail::max_bitmap_pixels;

std::shared_ptr<Canvas> make_surface(std::int32_t width, std::int32_t height, std::uint32_t black) {
  auto surface = std::make_shared<Canvas>();
  surface->width = width;
  surface->height = height;
  surface->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), black);
  surface->ink = InkBounds(width, height, black);
  return surface;
}

}  // namespace

SoftPlatform::SoftPlatform(std::int32_t window_width, std::int32_t window_height,
                           PixelLayout layout)
    : layout_(layout), impl_(std::make_unique<Impl>()) {
  Impl& im = *impl_;
  im.window_dc = im.allocate(Kind::window_dc);
  im.find(im.window_dc)->surface =
      make_surface(window_width, window_height, pixel_of(color::black));
  // What a new memory DC starts with: a 1 x 1 bitmap, a black pen, a white brush.
  im.stock_bitmap = im.allocate(Kind::bitmap);
  im.find(im.stock_bitmap)->surface = make_surface(1, 1, pixel_of(color::black));
  im.stock_pen = im.allocate(Kind::pen);
  im.find(im.stock_pen)->pixel = pixel_of(color::black);
  im.stock_brush = im.allocate(Kind::brush);
  im.find(im.stock_brush)->pixel = pixel_of(color::white);
  for (Handle h : {im.stock_bitmap, im.stock_pen, im.stock_brush}) im.find(h)->stock = true;
  Impl::Object& window = *im.find(im.window_dc);
  window.pen = im.stock_pen;
  window.brush = im.stock_brush;
  window.pen_pixel = window.text_pixel = pixel_of(color::black);
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
  o.pen_pixel = o.text_pixel = pixel_of(color::black);  // the stock pen, black text
  return h;
}

Handle SoftPlatform::create_compatible_bitmap(Handle dc, std::int32_t width, std::int32_t height) {
  if (impl_->live_dc(dc, invalid_handle_calls_) == nullptr) return 0;
  if (width <= 0 || height <= 0 || std::int64_t{width} * height > max_bitmap_pixels) return 0;
  const Handle h = impl_->allocate(Kind::bitmap);
  if (h == 0) return 0;
  // New bitmaps are black.
  impl_->find(h)->surface = make_surface(width, height, pixel_of(color::black));
  return h;
}

Handle SoftPlatform::create_solid_brush(ColorRef color) {
  const Handle h = impl_->allocate(Kind::brush);
  if (h != 0) impl_->find(h)->pixel = pixel_of(color);
  return h;
}

// Every pen draws as a solid 1-pixel cosmetic pen: the only kind the program creates.
Handle SoftPlatform::create_pen(std::int32_t, std::int32_t, ColorRef color) {
  const Handle h = impl_->allocate(Kind::pen);
  if (h != 0) impl_->find(h)->pixel = pixel_of(color);
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
  d->text_pixel = pixel_of(color);
}

// --- window services ---

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

const InkBounds* SoftPlatform::dc_ink(Handle dc) {
  const Impl::Object* d = impl_->find(dc);
  if (!Impl::is_dc(d) || d->bitmap == impl_->stock_bitmap) return nullptr;
  d->surface->ink.settle();
  return &d->surface->ink;
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
