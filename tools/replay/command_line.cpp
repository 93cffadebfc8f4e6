#include "tools/replay/command_line.h"

#include <cstdint>
#include <limits>

#include "app/window.h"
#include "text/masked.h"

namespace fpu {

namespace {

constexpr std::uint64_t u32_max = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t u64_max = std::numeric_limits<std::uint64_t>::max();
constexpr std::string_view trace_modes[] = {"stdout", "viewer", "none"};

using options::Value;
constexpr options::Option replay_options[] = {
    {"--ticks", "N",
     "what the millisecond tick count reads at start-up, which seeds the "
     "random generator; default 12345678",
     Value::number, 0, u32_max},
    {"--seed", "N",
     "seeds the program's own source of the unpredictable timer values; "
     "default 1",
     Value::number, 0, u64_max},
    {"--trace", "",
     "where trace lines go: printed as JSON lines (the default), to "
     "fpu-trace-viewer, or nowhere",
     Value::choice, 0, 0, trace_modes},
    // A bound for scripts from elsewhere: at most this many lines run.
    {"--max-steps", "N", "stop with an error after N executed lines", Value::number, 1, u64_max},
    {"--max-script-bytes", "N", "refuse a longer script; default 64 MiB", Value::number, 1,
     u64_max},
    {"--record", "FILE.gif",
     "write every painted frame to FILE.gif as an animation, 50 ms a "
     "frame",
     Value::text},
    {"--scale", "N", "enlarge PNG and GIF output N times", Value::number, 1, max_desktop_scale},
};

constexpr options::HelpRow script_lines[] = {
    {"key K", "a key press: a letter, a digit or a key name (LEFT, SPACE, F1, ...)"},
    {"mouse EVENT X Y FLAGS", "EVENT is move, ldown, lup, rdown, rup, mdown or mup"},
    {"tick [T [B C S]]", "a timer tick"},
    {"start T", "the tick count the start-up reads, in place of --ticks (first line only)"},
    {"paint, close, msg CODE WPARAM LPARAM", "a paint, a close request, or any message"},
    {"dump", "print the scene state as one JSON line"},
    {"png FILE", "write the back buffer to FILE"},
    {"repeat N ... end", "run the enclosed lines N times"},
};

constexpr options::HelpSection replay_sections[] = {
    {"Script lines", script_lines,
     "Numbers are decimal or 0x hexadecimal, taken modulo 2^32. man fpu-sample-replay has "
     "an example."},
};

constexpr std::string_view about =
    "Runs the program without a window from a script of messages (standard input when SCRIPT "
    "is - or missing) and prints trace lines and state dumps as JSON lines.";

constexpr std::string_view closing =
    "Exit status: 0 when the script ran to its end, 2 for a script line that cannot be "
    "parsed, 1 for any other failure (a usage error too).";

bool ends_with_gif(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".gif";
}

}  // namespace

options::Program replay_program(std::string_view name) {
  return {name, "[SCRIPT]", about, replay_options, replay_sections, closing};
}

options::Parsed parse_replay_command_line(std::string_view name,
                                          std::span<const std::string_view> args,
                                          ReplayCommandLine* line) {
  const options::Program program = replay_program(name);
  options::Parsed parsed = options::parse(program, args);
  // Other programs rely on the replay's exit status: 2 says a script line cannot be parsed,
  // so a usage error is one of the other failures, 1.
  if (parsed.action == options::Parsed::Action::error) parsed.exit_code = 1;
  if (parsed.action != options::Parsed::Action::run) return parsed;
  if (parsed.given("--ticks")) {
    line->options.start_ticks = static_cast<std::uint32_t>(parsed.number("--ticks"));
  }
  if (parsed.given("--seed")) line->options.noise_seed = parsed.number("--seed");
  if (parsed.given("--max-steps")) line->options.max_steps = parsed.number("--max-steps");
  if (parsed.given("--max-script-bytes")) {
    line->options.max_script_bytes = parsed.number("--max-script-bytes");
  }
  if (parsed.given("--scale")) line->scale = static_cast<int>(parsed.number("--scale"));
  if (parsed.given("--trace")) line->trace_mode = parsed.text("--trace");
  if (parsed.given("--record")) {
    line->record_path = parsed.text("--record");
    // The recording is a GIF whatever its name: a name that says otherwise is a mistake.
    if (!ends_with_gif(line->record_path)) {
      options::Parsed refused = options::usage_error(
          program, "--record writes a GIF, so its file name must end in .gif, not '" +
                       masked(line->record_path) + "'");
      refused.exit_code = 1;
      return refused;
    }
  }
  if (!parsed.operands.empty()) line->script_path = parsed.operands.front();
  return parsed;
}

}  // namespace fpu
