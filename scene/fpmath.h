// Rounding helpers shared by the scene code: they reproduce what the x87 unit does when it
// stores a value as a float or as an integer in the default rounding mode.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace fpu {

// Pi to extended precision.
inline constexpr long double pi_extended = std::numbers::pi_v<long double>;

// Rounds to single precision. Where floats are evaluated in wider registers (x87 builds) a plain
// conversion may be kept wide, so the value goes through memory to be sure it is rounded.
inline float round_to_float(long double value) {
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0
  return static_cast<float>(value);
#else
  volatile float stored = static_cast<float>(value);
  return stored;
#endif
}

namespace detail {

// Rounds to nearest, ties to even, and narrows to Int; anything outside Int's range, NaN
// included, gives Int's minimum (the x87 "integer indefinite").
template <class Int, class Real>
Int round_to_nearest(Real value) {
  // Range-check first so that llrint only ever sees values it can represent.
  constexpr Real far = 0x1p40;
  if (!(value > -far && value < far)) return std::numeric_limits<Int>::min();
  const long long rounded = std::llrint(value);
  if (rounded < std::numeric_limits<Int>::min() || rounded > std::numeric_limits<Int>::max()) {
    return std::numeric_limits<Int>::min();
  }
  return static_cast<Int>(rounded);
}

}  // namespace detail

// Nearest, ties to even; NaN or out of range gives -2147483648.
inline std::int32_t round_to_int32(long double value) {
  return detail::round_to_nearest<std::int32_t>(value);
}

// The same for a double, which a float widens to exactly: where long double is done in
// software (WebAssembly) a float is rounded without it.
inline std::int32_t round_to_int32(double value) {
  return detail::round_to_nearest<std::int32_t>(value);
}

// Nearest, ties to even; NaN or out of range gives -32768.
inline std::int16_t round_to_int16(long double value) {
  return detail::round_to_nearest<std::int16_t>(value);
}

}  // namespace fpu
