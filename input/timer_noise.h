// The timer's three unpredictable 16-bit values, from a generator of its own that
// never touches the scene's random seed.
#pragma once

#include <cstdint>
#include <optional>

namespace fpu {

struct TimerValues {
  std::uint16_t b;
  std::uint16_t c;
  std::uint16_t s;
};

class TimerNoise {
 public:
  explicit TimerNoise(std::uint64_t seed = 1) { reseed(seed); }
  void reseed(std::uint64_t seed) { state_ = seed; }
  // The next draw returns `values` instead of generated ones (scripted ticks, tests).
  void force_next(TimerValues values) { forced_ = values; }
  // Drops a forced value that no tick used.
  void cancel_forced() { forced_.reset(); }
  TimerValues next() {
    if (forced_) {
      TimerValues v = *forced_;
      forced_.reset();
      return v;
    }
    return {draw16(), draw16(), draw16()};
  }

 private:
  // splitmix64: small, fast, and any seed (0 included) gives a full-period stream.
  std::uint16_t draw16() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<std::uint16_t>(z >> 48);
  }
  std::uint64_t state_ = 1;
  std::optional<TimerValues> forced_;
};

}  // namespace fpu
