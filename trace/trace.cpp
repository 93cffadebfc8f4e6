#include "trace/trace.h"

#include <cstdio>
#include <memory>
#include <new>

namespace fpu {

namespace {

constexpr const char kSeparator[] = "----------------------------------------";

// printf pattern of each label's line; the value is a 32-bit signed number shown by "%li".
const char* line_pattern(TraceLabel label) {
  switch (label) {
    case TraceLabel::rot1:
      return "rot1 = %li";
    case TraceLabel::rot2:
      return "rot2 = %li";
    case TraceLabel::rol1:
      return "rol1 = %li";
    case TraceLabel::rol2:
      return "rol2 = %li";
    case TraceLabel::rayon1:
      return "rayon1 = %li";
    case TraceLabel::rayon2:
      return "rayon2 = %li";
    case TraceLabel::eAX:
      return "eAX = %li, Dist Z";
    case TraceLabel::xopc:
      return "xopc = %li, ---- Z";
    case TraceLabel::separator:
      break;
  }
  return nullptr;
}

// Writes the line into `out` (which may be null when `size` is 0); returns its length, or a
// negative number for a label outside the table.
int format_line(TraceLabel label, std::int32_t value, char* out, std::size_t size) {
  const char* pattern = line_pattern(label);
  if (pattern == nullptr) return -1;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  return std::snprintf(out, size, pattern, static_cast<long>(value));
#pragma GCC diagnostic pop
}

}  // namespace

std::string compose_trace_line(TraceLabel label, std::int32_t value) {
  if (label == TraceLabel::separator) return kSeparator;
  const int length = format_line(label, value, nullptr, 0);
  if (length < 0) return {};
  std::string line(static_cast<std::size_t>(length) + 1, '\0');
  format_line(label, value, line.data(), line.size());
  line.resize(static_cast<std::size_t>(length));
  return line;
}

void emit_trace(TraceSink& sink, TraceLabel label, std::int32_t value) {
  if (label == TraceLabel::separator) {
    sink.send_trace_line(kSeparator);
    return;
  }
  const int length = format_line(label, value, nullptr, 0);
  if (length < 0) return;
  // A zero-filled block of exactly the line plus its terminator, released before returning.
  const std::size_t size = static_cast<std::size_t>(length) + 1;
  std::unique_ptr<char[]> block(new (std::nothrow) char[size]());
  if (!block) return;  // out of memory: the line is dropped, the program goes on
  format_line(label, value, block.get(), size);
  sink.send_trace_line(block.get());
}

std::string dropped_lines_notice(std::uint64_t count) {
  return "[" + std::to_string(count) + " trace lines dropped]";
}

}  // namespace fpu
