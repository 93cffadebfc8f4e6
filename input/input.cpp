#include "input/input.h"

namespace fpu {

void on_input(Program&, WindowHandle, std::uint32_t, WParam, LParam) {}

}  // namespace fpu
