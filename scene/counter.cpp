#include "scene/counter.h"

#include <array>
#include <cstddef>

namespace fpu {

void format_counter(SceneState& scene, std::uint32_t value) {
  // Values above 32768 read as negative (not above 2^31): a radius past 32768 shows as such.
  const bool negative = value > 32768u;
  const std::uint32_t magnitude = negative ? 0u - value : value;
  const std::uint8_t sign = negative ? '-' : ' ';

  std::array<std::uint8_t, 10> reversed{};
  std::size_t count = 0;
  std::uint32_t rest = magnitude;
  do {
    reversed[count++] = static_cast<std::uint8_t>('0' + rest % 10u);
    rest /= 10u;
  } while (rest != 0);

  // Digits, then (one digit only) a blank, then the sign and a blank, then NULs; only the first
  // six bytes are kept. Zero is never negative, so it comes out as "0" and three blanks.
  std::array<std::uint8_t, 16> text{};
  std::size_t n = 0;
  while (count > 0) text[n++] = reversed[--count];
  if (n == 1) text[n++] = ' ';
  text[n++] = sign;
  text[n++] = ' ';
  for (std::size_t i = 0; i < 6; ++i) scene.counter_text[i] = text[i];
}

}  // namespace fpu
