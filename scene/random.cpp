#include "scene/random.h"

namespace fpu {

void seed_random(SceneState& scene, std::uint32_t value) {
  scene.random_seed = value;
}

// Park-Miller (16807, 2^31 - 1) by Schrage's method, with the program's two quirks: a negative
// state is corrected at the start of the next call rather than at once, and the result is
// taken from the uncorrected state read as unsigned.
std::uint32_t next_random(SceneState& scene, std::uint32_t bound) {
  std::uint32_t s = scene.random_seed;
  if ((s & 0x80000000u) != 0) s += 0x7FFFFFFFu;
  const std::uint32_t q = s / 127773u;
  const std::uint32_t r = s % 127773u;
  const std::uint32_t t = 16807u * r - 2836u * q;
  scene.random_seed = t;
  // A zero bound would divide by zero; there is no value below it, so give 0.
  if (bound == 0) return 0;
  return t % bound;
}

}  // namespace fpu
