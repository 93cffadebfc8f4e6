#include "app/command_line.h"

#include <charconv>

#include "app/window.h"
#include "fpu_version.h"

namespace fpu {

namespace {

constexpr std::string_view usage =
    "usage: fpu-sample [--trace viewer|stdout|none] [--scale N] [--save-script FILE] [--help]\n"
    "                  [--version]\n";

static_assert(max_desktop_scale == 8, "the help text says --scale goes up to 8");
constexpr std::string_view help_body =
    "Shows the rotating wire-frame scene in a window; keys and mouse drags turn it.\n"
    "\n"
    "Options:\n"
    "  --trace MODE   where trace lines go: viewer (fpu-trace-viewer, started beside the\n"
    "                 window when none runs; the default), stdout (JSON lines, as\n"
    "                 fpu-sample-replay --trace stdout writes them), none\n"
    "  --scale N      screen pixels per picture pixel, 1 to 8 (default: the desktop's)\n"
    "  --save-script FILE\n"
    "                 when the demo ends, write the session to FILE as a script that\n"
    "                 fpu-sample-replay FILE plays back to the same frames\n"
    "  -h, --help     this text\n"
    "  -V, --version  the version\n"
    "\n"
    "Keys:\n"
    "  arrows            turn about Y (left/right) or X (up/down), and keep that turn\n"
    "  any other key     the command, if any, then the selected turn again\n"
    "  A / D, Q / E      ring A, ring B radius down / up\n"
    "  Z / C             rings apart / together\n"
    "  X                 full ring on/off\n"
    "  S                 string art on/off; L new random offsets, minus new offsets\n"
    "  F G / V N, B M    string-art offsets down / up; J K, comma full stop: indices\n"
    "  P                 axes; H trail; Y trace every index; W trace a dump\n"
    "  T                 auto mode: redraw every 50 ms without turning\n"
    "  R                 random mode: turn about all three axes every 50 ms\n"
    "  0, O              reset the angles; Space, Return, Backspace stop turning\n"
    "  Escape            quit\n"
    "Mouse: left drag turns about X and Y, middle drag about Z, right drag moves the\n"
    "picture.\n"
    "\n"
    "Needs a display (X11 or Wayland on Linux). Without one, run it under Xvfb, or drive\n"
    "the program headless with fpu-sample-replay.\n";

// Arguments are shown back with their control bytes masked, so that a message cannot
// drive the terminal it is printed on.
std::string shown(std::string_view argument) {
  std::string text(argument.substr(0, 64));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  if (argument.size() > 64) text += "...";
  return text;
}

CommandLineResult failure(const std::string& line) {
  CommandLineResult result;
  result.action = CommandLineResult::Action::error;
  result.message = "fpu-sample: " + line + "\n" + std::string(usage);
  result.exit_code = 2;
  return result;
}

bool parse_trace_mode(std::string_view text, TraceMode* mode) {
  if (text == "viewer") {
    *mode = TraceMode::viewer;
  } else if (text == "stdout") {
    *mode = TraceMode::stdout_lines;
  } else if (text == "none") {
    *mode = TraceMode::none;
  } else {
    return false;
  }
  return true;
}

bool parse_scale(std::string_view text, int* scale) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  if (value < 1 || value > max_desktop_scale) return false;
  *scale = value;
  return true;
}

}  // namespace

CommandLineResult parse_demo_command_line(std::span<const std::string_view> args) {
  CommandLineResult result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "-h" || arg == "--help") {
      result.action = CommandLineResult::Action::help;
      result.message = std::string(usage) + std::string(help_body);
      return result;
    }
    if (arg == "-V" || arg == "--version") {
      result.action = CommandLineResult::Action::version;
      result.message = std::string("fpu-sample ") + version + "\n";
      return result;
    }
    // "--trace MODE" or "--trace=MODE", the same for --scale and --save-script.
    std::string_view name = arg;
    std::string_view value;
    bool has_value = false;
    if (const auto equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      has_value = true;
    }
    if (name != "--trace" && name != "--scale" && name != "--save-script") {
      if (arg.starts_with("-") && arg != "-") {
        return failure("unknown option '" + shown(arg) + "'");
      }
      return failure("unexpected argument '" + shown(arg) + "'");
    }
    if (!has_value) {
      if (i + 1 == args.size()) return failure(std::string(name) + " needs a value");
      value = args[++i];
    }
    if (name == "--save-script") {
      if (value.empty()) return failure("--save-script needs a file name");
      result.options.save_script = std::string(value);
    } else if (name == "--trace") {
      if (!parse_trace_mode(value, &result.options.trace)) {
        return failure("--trace takes viewer, stdout or none, not '" + shown(value) + "'");
      }
    } else if (!parse_scale(value, &result.options.scale)) {
      return failure("--scale takes a whole number from 1 to " + std::to_string(max_desktop_scale) +
                     ", not '" + shown(value) + "'");
    }
  }
  return result;
}

}  // namespace fpu
