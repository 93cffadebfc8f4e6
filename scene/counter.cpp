#include "scene/counter.h"

namespace fpu {

void format_counter(SceneState&, std::uint32_t) {}

}  // namespace fpu
