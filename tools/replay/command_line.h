// The replay tools' command line.
#pragma once

#include <string>

#include "tools/replay/replay_options.h"

namespace fpu {

// Largest --scale: a 700 x 654 frame at 8x is already about 88 MB of RGB.
inline constexpr int max_output_scale = 8;

// The command line shared by the replay programs.
struct ReplayCommandLine {
  ReplayOptions options;
  std::string trace_mode = "stdout";
  std::string script_path = "-";  // standard input
  std::string record_path;        // --record: empty for no recording
  int scale = 1;                  // --scale
  bool help = false;
};

inline constexpr const char* replay_usage =
    "usage: fpu-sample-replay [--ticks N] [--seed N] [--trace stdout|viewer|none] "
    "[--max-steps N] [--max-script-bytes N] [--record FILE.gif] [--scale N] [SCRIPT]";

// Returns false with `error` set for an option or value it cannot take.
bool parse_replay_command_line(int argc, const char* const* argv, ReplayCommandLine* line,
                               std::string* error);

}  // namespace fpu
