#include "scene/fpmath.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace fpu {
namespace {

constexpr long double nan_value = std::numeric_limits<long double>::quiet_NaN();
constexpr long double inf_value = std::numeric_limits<long double>::infinity();

struct Int32Case {
  const char* name;
  long double in;
  std::int32_t out;
};

TEST(SceneFpmath, RoundToInt32IsNearestEvenWithIndefiniteForOutOfRange) {
  const Int32Case cases[] = {
      {"half to even 0", 0.5L, 0},
      {"1.5 up", 1.5L, 2},
      {"2.5 down", 2.5L, 2},
      {"-0.5 to zero", -0.5L, 0},
      {"-1.5", -1.5L, -2},
      {"-2.5", -2.5L, -2},
      {"below half", 238.4999L, 238},
      {"above half", 238.5001L, 239},
      {"max", 2147483647.0L, 2147483647},
      {"just below max tie", 2147483647.4999L, 2147483647},
      {"max tie rounds past the range", 2147483647.5L, std::numeric_limits<std::int32_t>::min()},
      {"2^31", 2147483648.0L, std::numeric_limits<std::int32_t>::min()},
      {"min", -2147483648.0L, -2147483647 - 1},
      {"min tie rounds to even min", -2147483648.5L, -2147483647 - 1},
      {"below min", -2147483649.0L, std::numeric_limits<std::int32_t>::min()},
      {"far below min", -1e30L, std::numeric_limits<std::int32_t>::min()},
      {"far above max", 1e30L, std::numeric_limits<std::int32_t>::min()},
      {"NaN", nan_value, std::numeric_limits<std::int32_t>::min()},
      {"+inf", inf_value, std::numeric_limits<std::int32_t>::min()},
      {"-inf", -inf_value, std::numeric_limits<std::int32_t>::min()},
  };
  for (const auto& c : cases) EXPECT_EQ(round_to_int32(c.in), c.out) << c.name;
}

struct Int16Case {
  const char* name;
  long double in;
  std::int16_t out;
};

TEST(SceneFpmath, RoundToInt16IsNearestEvenWithIndefiniteForOutOfRange) {
  const Int16Case cases[] = {
      {"2.5", 2.5L, 2},
      {"-1.5", -1.5L, -2},
      {"max", 32767.0L, 32767},
      {"max tie rounds past the range", 32767.5L, -32768},
      {"32768", 32768.0L, -32768},
      {"min", -32768.0L, -32768},
      {"min tie rounds to even min", -32768.5L, -32768},
      {"below min", -32769.0L, -32768},
      {"large", 40000.0L, -32768},
      {"degrees of 1 rad", 57.29578L, 57},
      {"NaN", nan_value, -32768},
      {"-inf", -inf_value, -32768},
  };
  for (const auto& c : cases) EXPECT_EQ(round_to_int16(c.in), c.out) << c.name;
}

TEST(SceneFpmath, RoundToFloatRoundsToSinglePrecision) {
  EXPECT_EQ(round_to_float(0.1L), 0.1f);
  // 1 + 2^-24 is a tie between 1 and the next float; even is 1.
  EXPECT_EQ(round_to_float(1.0L + 0x1p-24L), 1.0f);
  EXPECT_EQ(round_to_float(1.0L + 0x1p-24L + 0x1p-40L), 1.0f + 0x1p-23f);
}

}  // namespace
}  // namespace fpu
