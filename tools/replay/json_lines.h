// The replay tool's standard output: trace lines (trace/stream_trace_sinks.h) and state
// dumps as JSON lines.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "scene/scene_state.h"
#include "trace/stream_trace_sinks.h"
#include "trace/trace.h"

namespace fpu {

// The scene state as one JSON object on one line, newline included.
std::string dump_line(const SceneState& scene);

}  // namespace fpu
