#include "scene/projection.h"

namespace fpu {

void project_point(SceneState&, const Point&) {}

}  // namespace fpu
