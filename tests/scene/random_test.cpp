#include "scene/random.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace fpu {
namespace {

struct Draw {
  std::uint32_t value;
  std::uint32_t state;
};

struct SequenceCase {
  const char* name;
  std::uint32_t seed;
  std::vector<Draw> draws;  // with bound 100
};

TEST(SceneRandom, SequencesFollowTheProgramsVariantOfParkMiller) {
  const SequenceCase cases[] = {
      {"default seed",
       12345678,
       {{34, 1335380034},
        {41, 380636641},
        {74, 6240874},
        {62, 1811154262},
        {56, 1636468856},
        {63, 1308995663}}},
      // The first state has bit 31 set: it is returned unsigned and corrected only next call.
      {"negative intermediate", 127773, {{60, 4294964460u}, {44, 4247302644u}, {14, 2059077814}}},
      {"zero state stays zero", 0, {{0, 0}, {0, 0}, {0, 0}}},
  };
  for (const auto& c : cases) {
    SceneState s;
    seed_random(s, c.seed);
    EXPECT_EQ(s.random_seed, c.seed);
    for (std::size_t i = 0; i < c.draws.size(); ++i) {
      EXPECT_EQ(next_random(s, 100), c.draws[i].value) << c.name << " call " << i + 1;
      EXPECT_EQ(s.random_seed, c.draws[i].state) << c.name << " call " << i + 1;
    }
  }
}

TEST(SceneRandom, BoundOneAlwaysGivesZeroAndStillAdvances) {
  SceneState s;
  for (int i = 0; i < 10; ++i) EXPECT_EQ(next_random(s, 1), 0u);
  SceneState reference;
  for (int i = 0; i < 10; ++i) next_random(reference, 100);
  EXPECT_EQ(s.random_seed, reference.random_seed);
}

TEST(SceneRandom, ZeroBoundGivesZeroInsteadOfDividingByZero) {
  SceneState s;
  EXPECT_EQ(next_random(s, 0), 0u);
  EXPECT_EQ(s.random_seed, 1335380034u);
}

}  // namespace
}  // namespace fpu
