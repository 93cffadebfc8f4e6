// Included first in every file of the WebAssembly build. Emscripten 3.1.6's libc++ lacks
// two C++20 library pieces the core uses; both are supplied here, for that build only.
#pragma once

#include <bit>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace std {

#if !defined(__cpp_lib_bit_cast)
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}
#endif

// The shortest-round-trip overload for float: the fewest significant digits that read back
// to the same value, written in fixed or scientific form, whichever is shorter (fixed on a
// tie), as the standard overload writes it.
inline to_chars_result to_chars(char* first, char* last, float value) {
  char sci[32];
  int digits = 1;
  for (; digits < 9; ++digits) {
    std::snprintf(sci, sizeof sci, "%.*e", digits - 1, static_cast<double>(value));
    if (std::strtof(sci, nullptr) == value) break;
  }
  std::snprintf(sci, sizeof sci, "%.*e", digits - 1, static_cast<double>(value));
  // sci: [-]d[.ddd]e(+|-)xx
  const char* p = sci;
  const bool negative = *p == '-';
  if (negative) ++p;
  char mantissa[16];
  int count = 0;
  for (; *p != 'e'; ++p) {
    if (*p != '.') mantissa[count++] = *p;
  }
  const int exponent = std::atoi(p + 1);
  char fixed[64];
  int n = 0;
  if (negative) fixed[n++] = '-';
  if (exponent >= count - 1) {
    for (int i = 0; i < count; ++i) fixed[n++] = mantissa[i];
    for (int i = 0; i < exponent - (count - 1) && n < 60; ++i) fixed[n++] = '0';
  } else if (exponent >= 0) {
    for (int i = 0; i < count; ++i) {
      fixed[n++] = mantissa[i];
      if (i == exponent) fixed[n++] = '.';
    }
  } else {
    fixed[n++] = '0';
    fixed[n++] = '.';
    for (int i = 0; i < -exponent - 1 && n < 60; ++i) fixed[n++] = '0';
    for (int i = 0; i < count && n < 63; ++i) fixed[n++] = mantissa[i];
  }
  const int sci_length = static_cast<int>(std::strlen(sci));
  const char* chosen = n <= sci_length ? fixed : sci;
  const int length = n <= sci_length ? n : sci_length;
  if (last - first < length) return {last, errc::value_too_large};
  std::memcpy(first, chosen, static_cast<std::size_t>(length));
  return {first + length, errc{}};
}

}  // namespace std
