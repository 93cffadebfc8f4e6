// Writes a pixel buffer as an RGB PNG.
#pragma once

#include <string>

#include "backends/soft/soft_platform.h"

namespace fpu {

// Each pixel becomes a scale x scale block. Returns false (with `error` set) when the file
// cannot be written.
bool write_png(const std::string& path, const Surface& surface, std::string* error = nullptr,
               int scale = 1);

}  // namespace fpu
