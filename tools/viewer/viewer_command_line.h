// fpu-trace-viewer's command line, on Linux and on Windows.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/window_frame.h"
#include "text/options.h"

namespace fpu::viewer {

struct ViewerCommandLine {
  bool headless = false;  // Linux only
  std::string dir;        // Linux only: the endpoint's folder; empty for the default
  bool have_beside = false;
  ProgramFrame beside;
};

enum class ViewerPlatform { gnu_linux, windows };

options::Program viewer_program(ViewerPlatform platform);

// `args` without the program's name; fills `line` when the result's action is run.
options::Parsed parse_viewer_command_line(ViewerPlatform platform,
                                          std::span<const std::string_view> args,
                                          ViewerCommandLine* line,
                                          options::HelpStyle style = options::HelpStyle::console);

}  // namespace fpu::viewer
