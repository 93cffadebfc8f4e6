#include "trace/trace.h"

#include <new>
#include <string_view>

namespace fpu {

namespace {

constexpr const char kSeparator[] = "----------------------------------------";

// Each label's line: the text around its value.
struct LinePattern {
  TraceLabel label;
  std::string_view before;
  std::string_view after;
};

constexpr LinePattern kPatterns[] = {
    {TraceLabel::rot1, "rot1 = ", ""},       {TraceLabel::rot2, "rot2 = ", ""},
    {TraceLabel::rol1, "rol1 = ", ""},       {TraceLabel::rol2, "rol2 = ", ""},
    {TraceLabel::rayon1, "rayon1 = ", ""},   {TraceLabel::rayon2, "rayon2 = ", ""},
    {TraceLabel::eAX, "eAX = ", ", Dist Z"}, {TraceLabel::xopc, "xopc = ", ", ---- Z"},
};

}  // namespace

std::string compose_trace_line(TraceLabel label, std::int32_t value) {
  if (label == TraceLabel::separator) return kSeparator;
  for (const LinePattern& pattern : kPatterns) {
    if (pattern.label != label) continue;
    std::string line(pattern.before);
    line += std::to_string(value);
    line += pattern.after;
    return line;
  }
  return {};  // a label outside the table
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

std::string dropped_lines_notice(std::uint64_t count) {
  return "[" + std::to_string(count) + " trace lines dropped]";
}

}  // namespace fpu
