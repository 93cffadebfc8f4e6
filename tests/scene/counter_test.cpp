#include "scene/counter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace fpu {
namespace {

struct CounterCase {
  std::uint32_t value;
  std::string text;  // the six drawn bytes, NULs included
};

std::string drawn(const SceneState& s) {
  return std::string(s.counter_text.begin(), s.counter_text.begin() + 6);
}

TEST(SceneCounter, FormatsTheSixDrawnBytes) {
  using namespace std::string_literals;
  const CounterCase cases[] = {
      {0, "0   \0\0"s},
      {7, "7   \0\0"s},
      {42, "42  \0\0"s},
      {240, "240  \0"s},
      {static_cast<std::uint32_t>(-5), "5 - \0\0"s},
      {static_cast<std::uint32_t>(-36), "36- \0\0"s},
      {static_cast<std::uint32_t>(-120), "120- \0"s},
      {1234, "1234  "s},
      {12345, "12345 "s},
      {32768, "32768 "s},  // the threshold itself is positive
      {32769, "429493"s},  // 2^32 - 32769 = 4294934527, first six digits
      {40000, "429492"s},  // 2^32 - 40000 = 4294927296
      {0x80000000u, "214748"s},
      {0xFFFFFFFFu, "1 - \0\0"s},
  };
  for (const auto& c : cases) {
    SceneState s;
    format_counter(s, c.value);
    EXPECT_EQ(drawn(s), c.text) << c.value;
  }
}

TEST(SceneCounter, LeavesBytesSixAndSevenAndOverwritesOlderText) {
  SceneState s;
  s.counter_text[6] = 'x';
  s.counter_text[7] = 'y';
  format_counter(s, 12345);
  format_counter(s, 7);
  const std::array<std::uint8_t, 8> expected{'7', ' ', ' ', ' ', 0, 0, 'x', 'y'};
  EXPECT_EQ(s.counter_text, expected);
}

}  // namespace
}  // namespace fpu
