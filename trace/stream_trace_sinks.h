// Trace sinks that need no viewer: JSON lines on a stream, and nowhere.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "trace/trace.h"

namespace fpu {

// Writes trace lines as {"trace":"..."} JSON lines, one stream write each.
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

// The JSON line {"trace":"..."} for one trace line, newline included.
std::string json_trace_line(const char* text);

// Appends `text` to `out` as a JSON string literal.
void append_json_string(std::string& out, const std::string& text);

}  // namespace fpu
