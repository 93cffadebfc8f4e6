// The replay tools' command line.
#pragma once

#include <string>
#include <vector>

#include "tools/replay/replay_options.h"

namespace fpu {

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

// Largest --scale: a 700 x 654 frame at 8x is already about 88 MB of RGB.
inline constexpr int max_output_scale = 8;

// Options the replay tool adds to the shared command line: taken out of argv before the
// shared parser sees it.
struct OutputOptions {
  std::string record_path;  // empty: no recording
  int scale = 1;
};

// Removes --record FILE and --scale N from `args` (argv[1..]) into `out`. Returns false with
// `error` set for a missing or bad value.
bool take_output_options(std::vector<std::string>& args, OutputOptions* out, std::string* error);

inline constexpr const char* output_usage = "  [--record FILE.gif] [--scale N]";

}  // namespace fpu
