// Trace lines as JSON lines on standard output, for a pipe or a terminal. The window never
// waits long on whoever reads them: writes share the viewer's send budget, lines a stalled
// reader leaves no room for are dropped and counted (a "[N trace lines dropped]" line marks
// the gap once the reader takes lines again; the count no line could mark goes to standard
// error at the end), and a closed output stops tracing with one line on standard error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "trace/trace.h"
#include "trace/unix/send_budget.h"

namespace fpu {

class StdoutTraceSink final : public TraceSink {
 public:
  // `out`: the descriptor to write to (standard output). `say`: where the sink's own one-line
  // notices go (standard error, with the program's name).
  explicit StdoutTraceSink(int out, std::function<void(const std::string&)> say);
  ~StdoutTraceSink() override;
  StdoutTraceSink(const StdoutTraceSink&) = delete;
  StdoutTraceSink& operator=(const StdoutTraceSink&) = delete;

  std::intptr_t send_trace_line(const char* text) override;

 private:
  // False when the line could not go out now.
  bool put(const std::string& line);

  int fd_ = -1;
  bool own_fd_ = false;  // a description of our own, made non-blocking
  bool closed_ = false;
  std::uint64_t unreported_ = 0;
  std::uint64_t dropped_ = 0;
  std::uint64_t written_ = 0;
  viewer::SendBudget budget_;
  std::function<void(const std::string&)> say_;
};

}  // namespace fpu
