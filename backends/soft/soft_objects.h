// The software back buffer's objects (DCs, bitmaps, pens, brushes) behind their handles,
// shared by the file that manages them and the one that draws with them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "backends/soft/ink_bounds.h"
#include "backends/soft/line_memo.h"
#include "backends/soft/soft_platform.h"

namespace fpu::soft_detail {

constexpr std::int32_t bk_mode_opaque = 2;
// Larger bitmaps are refused rather than risk an allocation failure.
constexpr std::int64_t max_bitmap_pixels = std::int64_t{1} << 26;

// A handle is the slot index + 1 in the low 16 bits and the slot's generation above, so a
// deleted handle stays dead after its slot is reused.
constexpr int slot_bits = 16;
constexpr std::size_t max_slots = (std::size_t{1} << slot_bits) - 1;

enum class Kind : std::uint8_t { free, window_dc, memory_dc, bitmap, pen, brush };

}  // namespace fpu::soft_detail

namespace fpu {

// A bitmap's pixels, the lines known to be drawn on them and where they may have ink.
struct Canvas : Surface {
  LineMemo lines;
  InkBounds ink{0, 0, 0};
};

struct SoftPlatform::Impl {
  using Kind = soft_detail::Kind;
  struct Object {
    Kind kind = Kind::free;
    bool stock = false;
    std::uintptr_t generation = 1;
    // Bitmaps: the pixels. DCs: the selected bitmap's pixels (shared, so a bitmap deleted
    // while selected stays valid until something else is selected).
    std::shared_ptr<Canvas> surface;
    std::uint32_t pixel = 0;  // pens and brushes: their colour as a pixel
    // DCs.
    Handle bitmap = 0;
    Handle pen = 0;
    Handle brush = 0;
    std::uint32_t pen_pixel = 0;
    std::uint32_t text_pixel = 0;
    std::int32_t bk_mode = soft_detail::bk_mode_opaque;
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
      if (slots.size() >= soft_detail::max_slots) return 0;
      slot = slots.size();
      slots.emplace_back();
    }
    Object& o = slots[slot];
    const std::uintptr_t generation = o.generation;
    o = Object{};
    o.generation = generation;
    o.kind = kind;
    return (generation << soft_detail::slot_bits) | (slot + 1);
  }

  Object* find(Handle h) {
    const std::size_t slot = static_cast<std::size_t>(h & soft_detail::max_slots);
    if (slot == 0 || slot > slots.size()) return nullptr;
    Object& o = slots[slot - 1];
    if (o.kind == Kind::free || o.generation != (h >> soft_detail::slot_bits)) return nullptr;
    return &o;
  }
  const Object* find(Handle h) const { return const_cast<Impl*>(this)->find(h); }

  void release(Handle h) {
    const std::size_t slot = static_cast<std::size_t>(h & soft_detail::max_slots) - 1;
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

}  // namespace fpu
