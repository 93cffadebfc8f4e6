// The replay tools' command line.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "text/options.h"
#include "tools/replay/replay_options.h"

namespace fpu {

// The command line shared by the replay programs.
struct ReplayCommandLine {
  ReplayOptions options;
  std::string trace_mode = "stdout";
  std::string script_path = "-";  // standard input
  std::string record_path;        // --record: empty for no recording
  int scale = 1;                  // --scale
};

// The options and help of the replay program called `name`.
options::Program replay_program(std::string_view name);

// `args` without the program's name; fills `line` when the result's action is run.
options::Parsed parse_replay_command_line(std::string_view name,
                                          std::span<const std::string_view> args,
                                          ReplayCommandLine* line);

}  // namespace fpu
