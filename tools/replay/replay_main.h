// The one replay program: command line, script, run, output and exit status. The replay
// tools differ only in what they draw with, which each supplies as a backend.
#pragma once

#include <memory>
#include <string>

#include "tools/replay/command_line.h"
#include "tools/replay/replay_runner.h"
#include "trace/trace.h"

namespace fpu {

class ReplayBackend {
 public:
  virtual ~ReplayBackend() = default;
  // The host for this command line, or nullptr with `error` set (for an option the
  // backend cannot honour, or a drawing layer that cannot start).
  virtual std::unique_ptr<ReplayHost> make_host(const ReplayCommandLine& line,
                                                std::string* error) = 0;
  // Where --trace viewer sends lines; nullptr when this tool has no viewer.
  virtual std::unique_ptr<TraceSink> make_viewer_sink() { return nullptr; }
};

// Runs the replay program `name` on `backend`; returns its exit status.
int replay_main(const char* name, int argc, char** argv, ReplayBackend& backend);

}  // namespace fpu
