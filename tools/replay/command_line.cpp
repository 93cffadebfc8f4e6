#include "tools/replay/command_line.h"

#include <cstdint>
#include <limits>

#include "tools/replay/script_grammar.h"

namespace fpu {

namespace {

// The value of option `name` in [min, max], or false with `error` naming the option.
bool option_number(const char* name, const char* value, std::uint64_t min, std::uint64_t max,
                   std::uint64_t* out, std::string* error) {
  // No option takes a negative value, and the script's wrapping reading would make "-0" or
  // "-1" a value at the far end of the range (a limit turned off, say).
  if (value != nullptr && (*value == '-' || *value == '+')) {
    *error = std::string(name) + " takes a whole number from " + std::to_string(min) + " to " +
             std::to_string(max) + " without a sign, not '" + masked(value) + "'";
    return false;
  }
  if (value != nullptr &&
      parse_script_number(value, static_cast<std::int64_t>(min), max, out) == NumberResult::ok) {
    return true;
  }
  *error = std::string(name) + " takes a whole number from " + std::to_string(min) + " to " +
           std::to_string(max) + (value ? ", not '" + masked(value) + "'" : "");
  return false;
}

bool ends_with_gif(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".gif";
}

}  // namespace

bool parse_replay_command_line(int argc, const char* const* argv, ReplayCommandLine* line,
                               std::string* error) {
  constexpr std::uint64_t u32_max = std::numeric_limits<std::uint32_t>::max();
  constexpr std::uint64_t u64_max = std::numeric_limits<std::uint64_t>::max();
  bool have_script = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    std::uint64_t n = 0;
    if (arg == "--ticks") {
      if (!option_number("--ticks", value, 0, u32_max, &n, error)) return false;
      line->options.start_ticks = static_cast<std::uint32_t>(n);
      ++i;
    } else if (arg == "--seed") {
      if (!option_number("--seed", value, 0, u64_max, &line->options.noise_seed, error)) {
        return false;
      }
      ++i;
    } else if (arg == "--max-steps") {
      // A bound for scripts from elsewhere: at most this many lines run.
      if (!option_number("--max-steps", value, 1, u64_max, &line->options.max_steps, error)) {
        return false;
      }
      ++i;
    } else if (arg == "--max-script-bytes") {
      if (!option_number("--max-script-bytes", value, 1, u64_max, &line->options.max_script_bytes,
                         error)) {
        return false;
      }
      ++i;
    } else if (arg == "--scale") {
      if (!option_number("--scale", value, 1, max_output_scale, &n, error)) return false;
      line->scale = static_cast<int>(n);
      ++i;
    } else if (arg == "--record") {
      if (value == nullptr || *value == '\0') {
        *error = "--record needs a file name";
        return false;
      }
      if (!line->record_path.empty()) {
        *error = "--record given twice: one recording a run";
        return false;
      }
      line->record_path = value;
      // The recording is a GIF whatever its name: a name that says otherwise is a mistake.
      if (!ends_with_gif(line->record_path)) {
        *error = "--record writes a GIF, so its file name must end in .gif, not '" +
                 masked(line->record_path) + "'";
        return false;
      }
      ++i;
    } else if (arg == "--trace") {
      line->trace_mode = value ? value : "";
      if (line->trace_mode != "stdout" && line->trace_mode != "viewer" &&
          line->trace_mode != "none") {
        *error = "--trace takes stdout, viewer or none, not '" + masked(line->trace_mode) + "'";
        return false;
      }
      ++i;
    } else if (arg == "--help" || arg == "-h") {
      line->help = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option '" + masked(arg) + "'";
      return false;
    } else if (have_script) {
      *error = "more than one script given";
      return false;
    } else {
      line->script_path = arg;
      have_script = true;
    }
  }
  return true;
}

}  // namespace fpu
