// Collects trace lines instead of delivering them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trace/trace.h"

namespace fpu::testing {

class CollectingTraceSink : public TraceSink {
 public:
  std::intptr_t send_trace_line(const char* text) override {
    lines.emplace_back(text);
    return 1;
  }
  std::vector<std::string> lines;
};

}  // namespace fpu::testing
