// Drawing on the software back buffer: pixels, lines, text, copies and fills, clipped to
// the target surface.
#include <algorithm>
#include <cstring>

#include "backends/soft/line_raster.h"
#include "backends/soft/soft_font.h"
#include "backends/soft/soft_objects.h"
#include "backends/soft/soft_platform.h"

namespace fpu {

using soft_detail::bk_mode_opaque;
using soft_detail::Kind;

void SoftPlatform::set_pixel(Handle dc, std::int32_t x, std::int32_t y, ColorRef color) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return;
  Canvas& s = *d->surface;
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return;
  const std::uint32_t pixel = pixel_of(color);
  s.lines.wrote(pixel);
  if (pixel != s.ink.plain()) s.ink.mark(x, y, x + 1, y + 1);
  s.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) +
           static_cast<std::size_t>(x)] = pixel;
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
  Canvas& s = *d->surface;
  const std::uint32_t pixel = d->pen_pixel;
  if (pixel != s.ink.plain()) s.ink.mark_line(d->pos_x, d->pos_y, x, y);
  const LineMemo::Known known = s.lines.find(pixel, d->pos_x, d->pos_y, x, y);
  s.lines.drew(pixel, d->pos_x, d->pos_y, x, y);
  if (known != LineMemo::Known::no) {
    // Only the start can be missing: the reverse line ends there.
    if (known == LineMemo::Known::reverse && d->pos_x >= 0 && d->pos_y >= 0 && d->pos_x < s.width &&
        d->pos_y < s.height) {
      s.pixels[static_cast<std::size_t>(d->pos_y) * static_cast<std::size_t>(s.width) +
               static_cast<std::size_t>(d->pos_x)] = pixel;
    }
    d->pos_x = x;
    d->pos_y = y;
    return;
  }
  LineWalk w = clip_line(d->pos_x, d->pos_y, x, y, s.width, s.height);
  // Walk by index into the pixels.
  std::uint32_t* const pixels = s.pixels.data();
  const std::ptrdiff_t stride = s.width;
  const std::ptrdiff_t major_step = w.major_dy * stride + w.major_dx;
  const std::ptrdiff_t minor_step = w.minor_dy * stride + w.minor_dx;
  std::ptrdiff_t at = w.y * stride + w.x;
  FixedStepWalk f;
  const bool fixed = fixed_step_walk(w, f);
  if (fixed && (minor_step == 1 || minor_step == -1)) {
    // Minor steps of one column (lines steeper than 45 degrees): the index itself as a 32.32
    // number, whose fraction is the position's (mirrored when the minor step is -1, as the
    // floor must go the other way). The true values are never negative, so wrapping unsigned
    // arithmetic is exact.
    const auto index = static_cast<std::uint64_t>(at);
    std::uint64_t at_fixed =
        minor_step > 0 ? (index << 32) + f.start : ((index + 1) << 32) - 1 - f.start;
    const std::uint64_t delta = (static_cast<std::uint64_t>(major_step) << 32) +
                                (minor_step > 0 ? f.step : std::uint64_t{0} - f.step);
    for (std::int64_t n = w.count; n > 0; --n) {
      pixels[static_cast<std::size_t>(at_fixed >> 32)] = pixel;
      at_fixed += delta;
    }
  } else if (fixed) {
    // Lines flatter than 45 degrees: most neighbours share a cache line, so the loop's own
    // work is the cost. Four pixels a turn, each from its own position, cut it by a quarter.
    std::uint64_t acc = f.start;
    std::int64_t n = w.count;
    std::uint32_t* row = pixels + at;
    const std::uint64_t step = f.step;
    std::uint64_t acc1 = acc + step;
    std::uint64_t acc2 = acc1 + step;
    std::uint64_t acc3 = acc2 + step;
    for (; n >= 4; n -= 4) {
      row[static_cast<std::ptrdiff_t>(acc >> 32) * minor_step] = pixel;
      row[major_step + static_cast<std::ptrdiff_t>(acc1 >> 32) * minor_step] = pixel;
      row[2 * major_step + static_cast<std::ptrdiff_t>(acc2 >> 32) * minor_step] = pixel;
      row[3 * major_step + static_cast<std::ptrdiff_t>(acc3 >> 32) * minor_step] = pixel;
      row += 4 * major_step;
      acc += 4 * step;
      acc1 += 4 * step;
      acc2 += 4 * step;
      acc3 += 4 * step;
    }
    for (; n > 0; --n) {
      row[static_cast<std::ptrdiff_t>(acc >> 32) * minor_step] = pixel;
      row += major_step;
      acc += step;
    }
  } else {  // far lines: the carried remainder, one more add when the minor coordinate steps
    for (std::int64_t n = w.count; n > 0; --n) {
      pixels[at] = pixel;
      at += major_step;
      w.r += w.two_small;
      const bool minor = w.r >= w.two_big;
      w.r -= minor ? w.two_big : 0;
      at += minor ? minor_step : 0;
    }
  }
  d->pos_x = x;
  d->pos_y = y;
}

void SoftPlatform::text_out(Handle dc, std::int32_t x, std::int32_t y, const char* text,
                            std::int32_t count) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return;
  if (text == nullptr || count <= 0) return;
  Canvas& s = *d->surface;
  s.lines.forget();
  static_assert(font_glyph_top + font_glyph_rows <= font_cell_height);
  s.ink.mark_span(x, y, std::int64_t{x} + std::int64_t{count} * font_cell_width - 1,
                  std::int64_t{y} + font_cell_height - 1);
  const auto put = [&s](std::int64_t px, std::int64_t py, std::uint32_t pixel) {
    if (px < 0 || py < 0 || px >= s.width || py >= s.height) return;
    s.pixels[static_cast<std::size_t>(py) * static_cast<std::size_t>(s.width) +
             static_cast<std::size_t>(px)] = pixel;
  };
  // The default background colour of a DC is white; only an opaque mode paints it.
  const std::uint32_t background = pixel_of(color::white);
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
  Canvas& to = *d->surface;
  const Surface& from = *sr->surface;
  // Offsets i, j with 0 <= i < width whose destination and source pixels both exist.
  using i64 = std::int64_t;
  const i64 i_lo = std::max<i64>({0, -i64{x}, -i64{src_x}});
  const i64 i_hi = std::min<i64>({width, i64{to.width} - x, i64{from.width} - src_x});
  const i64 j_lo = std::max<i64>({0, -i64{y}, -i64{src_y}});
  const i64 j_hi = std::min<i64>({height, i64{to.height} - y, i64{from.height} - src_y});
  if (i_lo >= i_hi || j_lo >= j_hi) return;
  to.lines.forget();
  to.ink.mark(static_cast<std::int32_t>(x + i_lo), static_cast<std::int32_t>(y + j_lo),
              static_cast<std::int32_t>(x + i_hi), static_cast<std::int32_t>(y + j_hi));
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

void SoftPlatform::fill_rect(Handle dc, const Rect& rect, Handle brush) {
  Impl::Object* d = impl_->live_dc(dc, invalid_handle_calls_);
  if (d == nullptr) return;
  const Impl::Object* b = impl_->find(brush);
  if (b == nullptr || b->kind != Kind::brush) {
    ++invalid_handle_calls_;
    return;
  }
  Canvas& s = *d->surface;
  const std::int32_t left = std::max(rect.left, 0);
  const std::int32_t top = std::max(rect.top, 0);
  const std::int32_t right = std::min(rect.right, s.width);
  const std::int32_t bottom = std::min(rect.bottom, s.height);
  if (left >= right || top >= bottom) return;
  s.lines.wrote(b->pixel);
  InkBounds& ink = s.ink;
  const std::uint32_t pixel = b->pixel;
  std::uint32_t* const pixels = s.pixels.data();
  // The first row written is filled by hand across columns [model_left, model_right), which
  // hold every column written; the other rows are copied from it, which is much faster than
  // a per-pixel loop.
  std::int32_t model_left = left, model_right = right;
  const std::uint32_t* model = nullptr;
  const auto fill_rows = [&](std::int32_t l, std::int32_t r, std::int32_t t, std::int32_t u) {
    std::int32_t row = t;
    if (model == nullptr) {
      std::uint32_t* const first = pixels + static_cast<std::ptrdiff_t>(row) * s.width;
      std::fill(first + model_left, first + model_right, pixel);
      model = first;
      ++row;
    }
    const std::size_t row_bytes = static_cast<std::size_t>(r - l) * sizeof(std::uint32_t);
    for (; row < u; ++row) {
      std::memcpy(pixels + static_cast<std::ptrdiff_t>(row) * s.width + l, model + l, row_bytes);
    }
  };
  if (pixel != ink.plain()) {
    if (left == 0 && top == 0 && right == s.width && bottom == s.height) {
      ink.reset(pixel);
    } else {
      ink.mark(left, top, right, bottom);
    }
    fill_rows(left, right, top, bottom);
    return;
  }
  // The plain colour: outside each marked band's columns every pixel already has it.
  ink.settle();
  const std::int32_t band = ink.band_height();
  const int first_band = ink.band_of(top);
  const int last_band = ink.band_of(bottom - 1);
  const auto marked = [&ink](int b) { return ((ink.bands() >> b) & 1u) != 0; };
  model_left = right;
  model_right = left;
  for (int b = first_band; b <= last_band; ++b) {
    if (!marked(b)) continue;
    model_left = std::min(model_left, std::max(left, ink.band_left(b)));
    model_right = std::max(model_right, std::min(right, ink.band_right(b)));
  }
  std::uint64_t now_plain = 0;
  for (int b = first_band; b <= last_band; ++b) {
    if (!marked(b)) continue;
    const std::int32_t l = std::max(left, ink.band_left(b));
    const std::int32_t r = std::min(right, ink.band_right(b));
    const std::int32_t band_top = b * band;
    const std::int32_t band_bottom = std::min(s.height, band_top + band);
    const std::int32_t t = std::max(top, band_top);
    const std::int32_t u = std::min(bottom, band_bottom);
    if (l < r) fill_rows(l, r, t, u);
    if (l == ink.band_left(b) && r == ink.band_right(b) && t == band_top && u == band_bottom) {
      now_plain |= std::uint64_t{1} << b;
    }
  }
  ink.clear(now_plain);
}

}  // namespace fpu
