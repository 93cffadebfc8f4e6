// The demo's command line, the same on every platform that has one: how trace lines leave
// the program, the window's scale, where the session is saved, and the answers that end it
// at once (help, version, a wrong argument).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "text/options.h"

namespace fpu {

// viewer: the trace viewer, started when none runs; stdout_lines: one JSON line per trace
// line on standard output, as fpu-sample-replay --trace stdout writes them; none: nowhere.
enum class TraceMode { viewer, stdout_lines, none };

struct DemoOptions {
  TraceMode trace = TraceMode::viewer;
  int scale = 0;  // screen pixels per picture pixel; 0: the desktop's scale
  // --save-script FILE: where the session is written as a replay script when the demo ends;
  // empty: nowhere.
  std::string save_script;
};

// Where the help is read: its closing advice differs between the systems.
enum class DemoPlatform { gnu_linux, windows };

struct CommandLineResult {
  enum class Action { run, help, version, error } action = Action::run;
  DemoOptions options;
  // help: the help text; version: "fpu-sample VERSION\n"; error: one line naming the
  // argument, then the usage. Every line ends with '\n'.
  std::string message;
  int exit_code = 0;  // 0 for help and version, 2 for an error
};

// The demo's options, keys and help, for `platform`.
options::Program demo_program(DemoPlatform platform);

// `args` without the program's name. The first of --help and --version wins over what
// follows it; anything wrong before it is an error.
CommandLineResult parse_demo_command_line(std::span<const std::string_view> args,
                                          DemoPlatform platform = DemoPlatform::gnu_linux,
                                          options::HelpStyle style = options::HelpStyle::console);

}  // namespace fpu
