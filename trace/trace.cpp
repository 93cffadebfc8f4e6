#include "trace/trace.h"

#include <new>
#include <optional>
#include <string_view>

namespace fpu {

namespace {

constexpr const char kSeparator[] = "----------------------------------------";

// The text around the value in each label's line.
struct LinePattern {
  std::string_view before;
  std::string_view after;
};

std::optional<LinePattern> line_pattern(TraceLabel label) {
  switch (label) {
    case TraceLabel::rot1:
      return LinePattern{"rot1 = ", ""};
    case TraceLabel::rot2:
      return LinePattern{"rot2 = ", ""};
    case TraceLabel::rol1:
      return LinePattern{"rol1 = ", ""};
    case TraceLabel::rol2:
      return LinePattern{"rol2 = ", ""};
    case TraceLabel::rayon1:
      return LinePattern{"rayon1 = ", ""};
    case TraceLabel::rayon2:
      return LinePattern{"rayon2 = ", ""};
    case TraceLabel::eAX:
      return LinePattern{"eAX = ", ", Dist Z"};
    case TraceLabel::xopc:
      return LinePattern{"xopc = ", ", ---- Z"};
    case TraceLabel::separator:
      break;
  }
  return std::nullopt;  // the separator, or a label outside the table
}

}  // namespace

std::string compose_trace_line(TraceLabel label, std::int32_t value) {
  if (label == TraceLabel::separator) return kSeparator;
  const std::optional<LinePattern> pattern = line_pattern(label);
  if (!pattern) return {};
  std::string line(pattern->before);
  line += std::to_string(value);
  line += pattern->after;
  return line;
}

void emit_trace(TraceSink& sink, TraceLabel label, std::int32_t value) {
  std::string line;
  try {
    line = compose_trace_line(label, value);
  } catch (const std::bad_alloc&) {
    return;  // out of memory: the line is dropped, the program goes on
  }
  if (!line.empty()) sink.send_trace_line(line.c_str());
}

}  // namespace fpu
