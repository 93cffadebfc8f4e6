// One coordinate of a plane rotation, a*u + b*v with a, b extended-precision sine or cosine
// values, rounded to float. Where long double is the x87 format this is the plain
// expression. Where it is wider and done in software (IEEE quadruple in WebAssembly) the
// sum is first taken in double with a bound on its error: if no float rounding boundary
// lies within that bound, the exact value, the x87 one and the quadruple one all round to
// the same float, so that float is the answer; otherwise the quadruple path decides.
#pragma once

#include <cfloat>
#include <cmath>

#include "scene/fpmath.h"

namespace fpu {

// An extended-precision sine or cosine with its double rounding, made once per angle rather
// than once per point (the conversion is a library call where long double is software).
struct RotationFactor {
  long double wide = 0.0L;
  double narrow = 0.0;
};

inline RotationFactor rotation_factor(long double value) {
  return {value, static_cast<double>(value)};
}

inline RotationFactor operator-(RotationFactor factor) {
  return {-factor.wide, -factor.narrow};
}

inline float rotate_to_float(RotationFactor a, RotationFactor b, float u, float v) {
#if LDBL_MANT_DIG > 64
  const double pa = a.narrow * u;
  const double pb = b.narrow * v;
  const double sum = pa + pb;
  // Each product and the sum carry at most 2^-53 relative error, the conversions of a and b
  // as much again: 2^-48 of the magnitudes leaves a wide margin.
  const double bound = (std::fabs(pa) + std::fabs(pb)) * 0x1p-48;
  const float low = static_cast<float>(sum - bound);
  if (std::isfinite(sum) && low == static_cast<float>(sum + bound)) return low;
#endif
  return round_to_float(a.wide * static_cast<long double>(u) +
                        b.wide * static_cast<long double>(v));
}

}  // namespace fpu
