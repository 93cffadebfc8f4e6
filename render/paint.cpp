#include "render/paint.h"

namespace fpu {

void paint_frame(Program&, WindowHandle) {}
std::uint32_t next_index(const SceneState&, std::uint32_t index, std::uint32_t) { return index; }

}  // namespace fpu
