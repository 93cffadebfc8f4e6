// Trace lines: short diagnostic text lines appended to the trace viewer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fpu {

enum class TraceLabel { rot1, rot2, rol1, rol2, rayon1, rayon2, eAX, separator, xopc };

// Where composed lines go. Implementations: the viewer delivery of the platform,
// standard output (replay), a collector (tests), or nothing.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  // `text` is NUL-terminated, without a line terminator. Returns the delivery's result
  // (0 when no viewer could be found).
  virtual std::intptr_t send_trace_line(const char* text) = 0;
  // Work between lines, called while the program waits for input: a sink that dropped
  // lines tells a viewer that answers again how many, without waiting for a next line.
  // Returns how many milliseconds until it wants to be called again, or -1 for never.
  virtual int catch_up() { return -1; }
};

// Composes the line of `label` with `value` (ignored for the separator) and sends it.
void emit_trace(TraceSink& sink, TraceLabel label, std::int32_t value);

// The text of one line, as emit_trace composes it.
std::string compose_trace_line(TraceLabel label, std::int32_t value);

// The line a viewer shows where `count` lines were lost on their way to it:
// "[count trace lines dropped]".
std::string dropped_lines_notice(std::uint64_t count);

}  // namespace fpu
