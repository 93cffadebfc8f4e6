#include "scene/random.h"

namespace fpu {

void seed_random(SceneState& scene, std::uint32_t value) { scene.random_seed = value; }
std::uint32_t next_random(SceneState&, std::uint32_t) { return 0; }

}  // namespace fpu
