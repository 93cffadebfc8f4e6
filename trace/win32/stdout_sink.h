// Trace lines as JSON lines on standard output, for a pipe or a console. A thread of its own
// writes them, so the window never waits on whoever reads: lines beyond a bounded backlog
// are dropped and counted (a "[N trace lines dropped]" line marks the gap once there is room
// again; the count no line could mark goes to standard error at the end), and a closed
// output stops tracing with one line on standard error.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "trace/trace.h"

namespace fpu {

class Win32StdoutTraceSink final : public TraceSink {
 public:
  // `say`: where the sink's own one-line notices go (standard error, with the program's name).
  explicit Win32StdoutTraceSink(std::function<void(const std::string&)> say);
  ~Win32StdoutTraceSink() override;
  Win32StdoutTraceSink(const Win32StdoutTraceSink&) = delete;
  Win32StdoutTraceSink& operator=(const Win32StdoutTraceSink&) = delete;

  std::intptr_t send_trace_line(const char* text) override;

  struct Shared;  // what the writing thread shares with the window's thread

 private:
  std::shared_ptr<Shared> shared_;
  void* thread_ = nullptr;
  std::function<void(const std::string&)> say_;
};

}  // namespace fpu
