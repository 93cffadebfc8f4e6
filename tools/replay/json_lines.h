// The replay tool's standard output: trace lines and state dumps as JSON lines.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "scene/scene_state.h"
#include "trace/trace.h"

namespace fpu {

// Writes trace lines as {"trace":"..."} JSON lines.
class JsonTraceSink : public TraceSink {
 public:
  explicit JsonTraceSink(std::ostream& out) : out_(out) {}
  std::intptr_t send_trace_line(const char* text) override;

 private:
  std::ostream& out_;
};

// Drops every line.
class NullTraceSink : public TraceSink {
 public:
  std::intptr_t send_trace_line(const char*) override { return 0; }
};

// Appends `text` to `out` as a JSON string literal.
void append_json_string(std::string& out, const std::string& text);

// The scene state as one JSON object on one line, newline included.
std::string dump_line(const SceneState& scene);

}  // namespace fpu
