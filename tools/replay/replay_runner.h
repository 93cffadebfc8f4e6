// The script runner of fpu-sample-replay: starts the program as the window does, then
// delivers scripted messages to the same window procedure and writes JSON lines.
// Platform-neutral: the host supplies the drawing layer, the clock and image output.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "app/program.h"
#include "platform/platform.h"
#include "tools/replay/command_line.h"
#include "tools/replay/json_lines.h"
#include "tools/replay/replay_options.h"
#include "tools/replay/script_file.h"
#include "tools/replay/script_grammar.h"
#include "tools/replay/script_reader.h"
#include "trace/trace.h"

namespace fpu {

class ReplayHost {
 public:
  virtual ~ReplayHost() = default;
  virtual Platform& platform() = 0;
  // What the platform's tick count returns from now on.
  virtual void set_tick_count(std::uint32_t ms) = 0;
  // Writes the bitmap selected into `back_buffer` to `path` as an RGB PNG.
  virtual bool write_image(const std::string& path, Handle back_buffer, std::string* error) = 0;
  // Called at shutdown just before the back buffer is released, so that `png` lines
  // after it can still show the last frame.
  virtual void keep_last_frame(Handle /*back_buffer*/) {}
  // True (with `error` set) once output the host writes as it goes (a recording) has
  // failed: the run stops at that line rather than at its end.
  virtual bool output_failed(std::string* /*error*/) { return false; }
  // After a run that ended well: completes what the host writes beside the images (a
  // recording), or says why it could not.
  virtual bool finish(std::string* /*error*/) { return true; }
};

struct ReplayResult {
  int exit_code = 0;  // 0 ran to the end, 2 a line could not be parsed, 1 another failure
  std::string error;  // one line, for standard error
};

ReplayResult run_replay(ReplayHost& host, TraceSink& trace, std::istream& script, std::ostream& out,
                        const ReplayOptions& options);

// Starts `program` (made on host.platform(), not yet started) as the window starts, with the
// script's start tick count if it gives one, then plays the checked script on it. The
// program is the caller's to keep running afterwards (the web page hands it to its user).
ReplayResult play_script(ReplayHost& host, Program& program, const replay::Script& script,
                         std::ostream& out, const ReplayOptions& options);

}  // namespace fpu
