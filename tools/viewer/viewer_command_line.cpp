#include "tools/viewer/viewer_command_line.h"

#include "text/masked.h"

namespace fpu::viewer {

namespace {

using options::Value;

constexpr options::Option beside_option{
    "--beside", "FRAME",
    "open beside the window whose frame is X,Y,WIDTH,HEIGHT and whose frame extents are "
    "LEFT,TOP,RIGHT,BOTTOM (eight numbers)",
    Value::text};

constexpr options::Option linux_options[] = {
    {"--headless", "", "no window: write each line to standard output"},
    {"--dir", "DIR", "the folder of the endpoint the programs send to", Value::text},
    beside_option,
};
constexpr options::Option windows_options[] = {beside_option};

constexpr std::string_view about =
    "Shows the trace lines fpu-sample sends, in a window beside the program's. fpu-sample "
    "starts it by itself when it has a line to show.";

}  // namespace

options::Program viewer_program(ViewerPlatform platform) {
  options::Program program{"fpu-trace-viewer", "", about, windows_options};
  if (platform == ViewerPlatform::gnu_linux) {
    program.options = linux_options;
    program.closing = "Without a display it says so and exits with status 2, unless --headless.";
  }
  return program;
}

options::Parsed parse_viewer_command_line(ViewerPlatform platform,
                                          std::span<const std::string_view> args,
                                          ViewerCommandLine* line, options::HelpStyle style) {
  const options::Program program = viewer_program(platform);
  options::Parsed parsed = options::parse(program, args, style);
  if (parsed.action != options::Parsed::Action::run) return parsed;
  if (platform == ViewerPlatform::gnu_linux) {
    line->headless = parsed.given("--headless");
    if (parsed.given("--dir")) line->dir = parsed.text("--dir");
  }
  if (parsed.given("--beside")) {
    if (!parse_program_frame(parsed.text("--beside"), &line->beside)) {
      return options::usage_error(program,
                                  "--beside takes eight numbers "
                                  "X,Y,WIDTH,HEIGHT,LEFT,TOP,RIGHT,BOTTOM, not '" +
                                      masked(parsed.text("--beside")) + "'");
    }
    line->have_beside = true;
  }
  return parsed;
}

}  // namespace fpu::viewer
