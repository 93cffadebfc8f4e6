// Delivers trace lines to the trace viewer window (class "DbgWinClass") on Windows.
//
// The user-interface thread only queues a line; a worker thread of the sink does the
// window look-ups and the messages to the viewer's edit control, each send with a
// time-out, so a slow, busy or hung viewer never stalls the window. Lines past the
// queue's bound are dropped and counted. The worker takes the lines waiting (up to 16,384
// at a time) and appends them in one insertion, in the order they were queued, with the text one
// insertion per line would give. Where lines were lost (the queue was full, the viewer did not
// answer, or there was none) the next insertion shows "[N trace lines dropped]" before the
// next line; lines lost at the end (refused, or still queued when the drain time ran out)
// are told to the viewer the same way when the sink goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "trace/trace.h"

namespace fpu {

// The window class the viewer registers and the sink looks for.
inline constexpr const char* viewer_window_class = "DbgWinClass";

// fpu-trace-viewer.exe in the directory of the running executable.
std::string default_viewer_path();

struct ViewerSinkOptions {
  std::string viewer_path = default_viewer_path();  // started when no viewer window exists
  // Lines waiting at most: room for seconds of a traced animation (28,000 lines a second)
  // when the viewer falls behind.
  std::size_t capacity = std::size_t{1} << 16;
  std::uint32_t send_timeout_ms = 1000;  // per message to the viewer
  std::uint32_t drain_ms = 2000;         // delivering what is left at destruction
  // Arguments for the viewer's command line when one is started (where the program's
  // window is); asked for on the sink's worker thread. Empty: none.
  std::function<std::string()> viewer_arguments;
};

struct ViewerSinkStats {
  std::uint64_t queued = 0;          // accepted by send_trace_line
  std::uint64_t dropped = 0;         // refused: the queue was full
  std::uint64_t delivered = 0;       // every message of the line's insertion was answered
  std::uint64_t no_viewer = 0;       // no viewer window, even after starting the viewer
  std::uint64_t failed = 0;          // no edit control, or a message timed out
  std::uint64_t abandoned = 0;       // still queued when the sink was destroyed
  std::uint64_t start_attempts = 0;  // times the viewer program was started
};

struct ViewerSinkShared;

class Win32ViewerTraceSink : public TraceSink {
 public:
  explicit Win32ViewerTraceSink(ViewerSinkOptions options = {});
  ~Win32ViewerTraceSink() override;
  Win32ViewerTraceSink(const Win32ViewerTraceSink&) = delete;
  Win32ViewerTraceSink& operator=(const Win32ViewerTraceSink&) = delete;

  // Queues the line and returns at once: 1 when queued, 0 when dropped because the
  // queue is full (delivery happens later, so no viewer result can be returned).
  std::intptr_t send_trace_line(const char* text) override;

  ViewerSinkStats stats() const;
  // Waits until every queued line has been handled; false if `timeout_ms` passed first.
  bool wait_idle(std::uint32_t timeout_ms) const;

 private:
  ViewerSinkShared* shared_;  // shared with the worker; left alive if the worker outlives the sink
};

}  // namespace fpu
