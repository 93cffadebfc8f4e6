// Lines a surface already shows. The string art goes back and forth between two rings, so a
// frame draws many segments more than once, often the other way round (788 distinct segments
// among 1,399 with the rotations 5 and 23; for other rotations the same ones over and over).
// Once a line's pixels hold the pen's colour, drawing it again changes nothing, and drawing
// it the other way only adds its start: both ways light the same pixels but each its own start
// and not its end. The memo remembers such lines for one colour and forgets them all when
// anything else is written.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace fpu {

class LineMemo {
 public:
  enum class Known {
    no,
    same,     // the line is on the surface, none of its pixels written over since
    reverse,  // so is the line from (x1, y1) to (x0, y0)
  };
  Known find(std::uint32_t pixel, std::int32_t x0, std::int32_t y0, std::int32_t x1,
             std::int32_t y1) const {
    if (slots_ == nullptr || pixel != pixel_) return Known::no;
    if (holds(x0, y0, x1, y1)) return Known::same;
    if (holds(x1, y1, x0, y0)) return Known::reverse;
    return Known::no;
  }
  // The line has just been drawn in `pixel`. Lines of another colour it may cross are forgotten.
  void drew(std::uint32_t pixel, std::int32_t x0, std::int32_t y0, std::int32_t x1,
            std::int32_t y1) {
    if (pixel != pixel_) {
      forget();
      pixel_ = pixel;
    }
    if (slots_ == nullptr) slots_ = std::make_unique<Slots>();
    // A slot taken by another line is simply overwritten: that line is drawn again if it comes.
    (*slots_)[slot_of(x0, y0, x1, y1)] = Slot{x0, y0, x1, y1, generation_};
  }
  // Pixels in another colour than the memo's were written (or may have been).
  void wrote(std::uint32_t pixel) {
    if (pixel != pixel_) forget();
  }
  void forget() { ++generation_; }  // 64 bits: never wraps back to a stored generation

 private:
  struct Slot {
    std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::uint64_t generation = 0;
  };
  static constexpr std::size_t slot_count = 1024;  // a frame's distinct lines, with room
  using Slots = std::array<Slot, slot_count>;

  bool holds(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) const {
    const Slot& s = (*slots_)[slot_of(x0, y0, x1, y1)];
    return s.generation == generation_ && s.x0 == x0 && s.y0 == y0 && s.x1 == x1 && s.y1 == y1;
  }
  static std::size_t slot_of(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    std::uint64_t h = static_cast<std::uint32_t>(x0);
    h = h * 0x9E3779B97F4A7C15u ^ static_cast<std::uint32_t>(y0);
    h = h * 0x9E3779B97F4A7C15u ^ static_cast<std::uint32_t>(x1);
    h = h * 0x9E3779B97F4A7C15u ^ static_cast<std::uint32_t>(y1);
    h *= 0x9E3779B97F4A7C15u;
    return static_cast<std::size_t>(h >> 54);  // the top 10 bits
  }

  std::unique_ptr<Slots> slots_;  // allocated by the first line, 24 KB
  std::uint64_t generation_ = 1;  // slots of older generations are empty
  std::uint32_t pixel_ = 0;
};

}  // namespace fpu
