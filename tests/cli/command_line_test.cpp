#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace fpu {
namespace {

using Action = CommandLineResult::Action;

TEST(DemoCommandLine, ParsesOrRefusesEachArgumentList) {
  const struct {
    std::vector<std::string_view> args;
    Action action;
    TraceMode trace;
    int scale;
    std::string_view message_start;
  } cases[] = {
      {{}, Action::run, TraceMode::viewer, 0, ""},
      {{"--trace", "none", "--scale", "2"}, Action::run, TraceMode::none, 2, ""},
      {{"--trace=stdout", "--scale=8"}, Action::run, TraceMode::stdout_lines, 8, ""},
      {{"--scale", "3", "-h", "--bogus"}, Action::help, TraceMode::viewer, 0, "usage: "},
      {{"-V"}, Action::version, TraceMode::viewer, 0, "fpu-sample "},
      {{"--bogus", "--help"}, Action::error, {}, 0, "fpu-sample: unknown option '--bogus'\n"},
      {{"file.txt"}, Action::error, {}, 0, "fpu-sample: unexpected argument 'file.txt'\n"},
      {{"--trace"}, Action::error, {}, 0, "fpu-sample: --trace needs a value\n"},
      {{"--trace", "file"},
       Action::error,
       {},
       0,
       "fpu-sample: --trace takes viewer, stdout or none"},
      {{"--scale", "0x3"}, Action::run, TraceMode::viewer, 3, ""},  // the replay's numbers too
      {{"--scale", "+3"}, Action::error, {}, 0, "fpu-sample: --scale takes"},
      {{"--scale", "9"}, Action::error, {}, 0, "fpu-sample: --scale takes"},
      {{"--scale", "2x"}, Action::error, {}, 0, "fpu-sample: --scale takes"},
      {{"--scale="}, Action::error, {}, 0, "fpu-sample: --scale takes"},
      // Control bytes never reach the terminal.
      {{"--\x1b]0;x\x07"}, Action::error, {}, 0, "fpu-sample: unknown option '--?]0;x?'\n"},
  };
  for (const auto& c : cases) {
    const auto result = parse_demo_command_line(c.args);
    const std::string shown = c.args.empty() ? "(none)" : std::string(c.args[0]);
    EXPECT_EQ(result.action, c.action) << shown;
    EXPECT_TRUE(result.message.starts_with(c.message_start)) << shown << ": " << result.message;
    EXPECT_EQ(result.exit_code, c.action == Action::error ? 2 : 0) << shown;
    if (c.action == Action::error) {
      EXPECT_NE(result.message.find("\nusage: fpu-sample "), std::string::npos) << shown;
    } else {
      EXPECT_EQ(result.options.trace, c.trace) << shown;
      EXPECT_EQ(result.options.scale, c.scale) << shown;
    }
  }
  // The help lists the keys and the mouse, not only the options.
  const std::vector<std::string_view> help = {"--help"};
  for (const char* word : {"--trace", "--scale", "Escape", "string art", "drag", "1 to 8"}) {
    EXPECT_NE(parse_demo_command_line(help).message.find(word), std::string::npos) << word;
  }
}

TEST(DemoCommandLine, SaveScriptTakesOneFileName) {
  const struct {
    std::vector<std::string_view> args;
    std::string_view file;  // empty: refused with `refusal`
    std::string_view refusal;
  } cases[] = {
      {{"--save-script", "s.txt"}, "s.txt", ""},
      {{"--save-script=a b.txt", "--trace", "none"}, "a b.txt", ""},
      {{"--save-script", "x", "--save-script", "y"}, "", "fpu-sample: --save-script given twice\n"},
      {{"--save-script="}, "", "fpu-sample: --save-script needs a value, not ''\n"},
      {{"--save-script", ""}, "", "fpu-sample: --save-script needs a value, not ''\n"},
      {{"--save-script"}, "", "fpu-sample: --save-script needs a value\n"},
  };
  for (const auto& c : cases) {
    const auto result = parse_demo_command_line(c.args);
    if (c.file.empty()) {
      EXPECT_EQ(result.action, Action::error) << c.args[0];
      EXPECT_TRUE(result.message.starts_with(c.refusal)) << result.message;
    } else {
      EXPECT_EQ(result.action, Action::run) << c.args[0];
      EXPECT_EQ(result.options.save_script, c.file);
    }
  }
  EXPECT_EQ(parse_demo_command_line({}).options.save_script, "");
}

TEST(DemoCommandLine, HelpIsWrittenForItsSystem) {
  const std::vector<std::string_view> help = {"--help"};
  const std::string linux_help = parse_demo_command_line(help).message;
  const std::string windows_help =
      parse_demo_command_line(help, DemoPlatform::windows, options::HelpStyle::message_box).message;
  // Advice that holds on Linux only, which the Windows packages would make wrong.
  for (const char* word : {"X11", "Xvfb", "fpu-sample-replay"}) {
    EXPECT_NE(linux_help.find(word), std::string::npos) << word;
    EXPECT_EQ(windows_help.find(word), std::string::npos) << word;
  }
  // A message box wraps the lines itself: no padded columns.
  EXPECT_NE(windows_help.find("\nEscape: quit\n"), std::string::npos) << windows_help;
  EXPECT_EQ(windows_help.find("  "), std::string::npos) << windows_help;
}

}  // namespace
}  // namespace fpu
