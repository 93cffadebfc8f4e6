#include "scene/rings.h"

namespace fpu {

void build_initial_rings(SceneState&) {}
void rebuild_rings(SceneState&) {}

}  // namespace fpu
