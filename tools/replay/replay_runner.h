// The script runner of fpu-sample-replay: starts the program as the window does, then
// delivers scripted messages to the same window procedure and writes JSON lines.
// Platform-neutral: the host supplies the drawing layer, the clock and image output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iosfwd>
#include <string>

#include "platform/platform.h"
#include "trace/stream_trace_sinks.h"
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
};

struct ReplayOptions {
  std::uint32_t start_ticks = 12345678;  // the tick count at start-up (seeds the generator)
  std::uint64_t noise_seed = 1;          // seeds the timer's own source of b, c, s
  bool allow_files = true;               // false: `png` lines are checked but write nothing
  std::uint64_t max_steps = 0;           // stop after this many executed lines (0: no limit)
};

struct ReplayResult {
  int exit_code = 0;  // 0 ran to the end, 2 a line could not be parsed, 1 another failure
  std::string error;  // one line, for standard error
};

// The command line shared by the replay programs:
//   [--ticks N] [--seed N] [--trace stdout|viewer|none] [--max-steps N] [SCRIPT]
struct ReplayCommandLine {
  ReplayOptions options;
  std::string trace_mode = "stdout";
  std::string script_path = "-";  // standard input
  bool help = false;
};

inline constexpr const char* replay_usage =
    "usage: fpu-sample-replay [--ticks N] [--seed N] [--trace stdout|viewer|none] "
    "[--max-steps N] [SCRIPT]";

// Returns false with `error` set for an option or value it cannot take.
bool parse_replay_command_line(int argc, const char* const* argv, ReplayCommandLine* line,
                               std::string* error);

// The script stream for `path` ("-": standard input), opened into `file` when it is a
// file; nullptr when the file cannot be opened (or is a folder), with the system's reason
// in `why`.
std::istream* open_replay_script(const std::string& path, std::ifstream& file,
                                 std::string* why = nullptr);

ReplayResult run_replay(ReplayHost& host, TraceSink& trace, std::istream& script, std::ostream& out,
                        const ReplayOptions& options);

// Parses a script number: decimal (optionally negative) or 0x hexadecimal, modulo 2^32.
bool parse_script_number(const std::string& text, std::uint32_t* value);

// Parses a repeat count: decimal or 0x hexadecimal from 0 to 2^32 - 1, nothing else.
bool parse_repeat_count(const std::string& text, std::uint32_t* value);

// Longest script line, and deepest nesting of repeat blocks.
inline constexpr std::size_t replay_max_line = 64 * 1024;
inline constexpr std::size_t replay_max_depth = 256;

// `text` with its control characters replaced by '?', for messages shown on a terminal.
std::string masked(std::string text);

}  // namespace fpu
