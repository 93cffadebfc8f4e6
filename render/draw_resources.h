// The drawing objects the program makes at start-up and releases at shutdown.
#pragma once

#include "platform/types.h"

namespace fpu {

struct DrawResources {
  Handle back_buffer = 0;  // memory device context every frame is drawn into
  Handle back_bitmap = 0;  // the view-sized bitmap selected into it
  Handle background = 0;   // black brush for clearing
  Handle white_pen = 0;
  Handle axis_pen = 0;  // the pen of the axis being drawn; made and deleted per frame
};

}  // namespace fpu
