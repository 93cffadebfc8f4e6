#include "app/command_line.h"

#include "app/demo_keys.h"
#include "app/window.h"

namespace fpu {

namespace {

constexpr std::string_view trace_modes[] = {"viewer", "stdout", "none"};

constexpr options::Option demo_options[] = {
    {"--trace", "",
     "where trace lines go: viewer (fpu-trace-viewer, started beside the window "
     "when none runs; the default), stdout (one JSON line each), none",
     options::Value::choice, 0, 0, trace_modes},
    {"--scale", "N", "screen pixels per picture pixel; default: the desktop's",
     options::Value::number, 1, max_desktop_scale},
    {"--save-script", "FILE",
     "when the demo ends, write the session to FILE as a replay script, which plays it "
     "back to the same frames",
     options::Value::text},
};

constexpr options::HelpSection demo_sections[] = {
    {"Keys", demo_keys, ""},
    {"Mouse", demo_mouse, ""},
};

constexpr std::string_view about =
    "Shows the rotating wire-frame scene in a window; keys and mouse drags turn it.";

}  // namespace

options::Program demo_program(DemoPlatform platform) {
  options::Program program{"fpu-sample", "", about, demo_options, demo_sections};
  if (platform == DemoPlatform::gnu_linux) {
    program.closing =
        "Needs a display (X11 or Wayland). Without one, run it under Xvfb, or drive the "
        "program headless with fpu-sample-replay.";
  }
  return program;
}

CommandLineResult parse_demo_command_line(std::span<const std::string_view> args,
                                          DemoPlatform platform, options::HelpStyle style) {
  const options::Parsed parsed = options::parse(demo_program(platform), args, style);
  CommandLineResult result;
  result.message = parsed.message;
  result.exit_code = parsed.exit_code;
  switch (parsed.action) {
    case options::Parsed::Action::help:
      result.action = CommandLineResult::Action::help;
      return result;
    case options::Parsed::Action::version:
      result.action = CommandLineResult::Action::version;
      return result;
    case options::Parsed::Action::error:
      result.action = CommandLineResult::Action::error;
      return result;
    case options::Parsed::Action::run:
      break;
  }
  if (parsed.given("--trace")) {
    const std::string& mode = parsed.text("--trace");
    result.options.trace = mode == "stdout" ? TraceMode::stdout_lines
                           : mode == "none" ? TraceMode::none
                                            : TraceMode::viewer;
  }
  if (parsed.given("--scale")) result.options.scale = static_cast<int>(parsed.number("--scale"));
  if (parsed.given("--save-script")) result.options.save_script = parsed.text("--save-script");
  return result;
}

}  // namespace fpu
