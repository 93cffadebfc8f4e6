// The floating-point settings the scene arithmetic relies on, set for the length of a scope:
// round to nearest (ties to even), no flush of tiny values to zero, and on the x87 unit
// 64-bit precision for long double. A process does not always start that way: a Windows
// runtime may start the x87 unit at 53-bit precision, and a library may change the rounding
// or the precision later. Projection, ring generation and the angle steps compute inside one.
#pragma once

#include <cfenv>
#include <cstdint>

namespace fpu {

class ScopedFloatSettings {
 public:
  ScopedFloatSettings() {
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
    __asm__ volatile("fnstcw %0" : "=m"(saved_x87_) : : "memory");
    const std::uint16_t x87 = static_cast<std::uint16_t>((saved_x87_ & ~x87_rc_pc) | x87_pc_64);
    if (x87 != saved_x87_) {
      __asm__ volatile("fldcw %0" : : "m"(x87) : "memory");
      x87_changed_ = true;
    }
#if defined(__SSE__)
    __asm__ volatile("stmxcsr %0" : "=m"(saved_mxcsr_) : : "memory");
    const std::uint32_t mxcsr = saved_mxcsr_ & ~mxcsr_rc_ftz_daz;
    if (mxcsr != saved_mxcsr_) {
      __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr) : "memory");
      mxcsr_changed_ = true;
    }
#endif
#else
    saved_round_ = std::fegetround();
    if (saved_round_ != FE_TONEAREST) std::fesetround(FE_TONEAREST);
#endif
  }

  ~ScopedFloatSettings() {
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
    if (x87_changed_) __asm__ volatile("fldcw %0" : : "m"(saved_x87_) : "memory");
#if defined(__SSE__)
    if (mxcsr_changed_) __asm__ volatile("ldmxcsr %0" : : "m"(saved_mxcsr_) : "memory");
#endif
#else
    if (saved_round_ != FE_TONEAREST) std::fesetround(saved_round_);
#endif
  }

  ScopedFloatSettings(const ScopedFloatSettings&) = delete;
  ScopedFloatSettings& operator=(const ScopedFloatSettings&) = delete;

  // x87 control word: rounding control (bits 10-11, 00 = nearest) and precision control
  // (bits 8-9, 11 = 64-bit significand). MXCSR: rounding (bits 13-14), flush to zero (15),
  // denormals are zero (6).
  static constexpr std::uint16_t x87_rc_pc = 0x0F00;
  static constexpr std::uint16_t x87_pc_64 = 0x0300;
  static constexpr std::uint32_t mxcsr_rc_ftz_daz = 0xE040;

 private:
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
  std::uint16_t saved_x87_ = 0;
  bool x87_changed_ = false;
  std::uint32_t saved_mxcsr_ = 0;
  bool mxcsr_changed_ = false;
#else
  int saved_round_ = FE_TONEAREST;
#endif
};

}  // namespace fpu
