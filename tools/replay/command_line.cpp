#include "tools/replay/command_line.h"

#include <charconv>
#include <cstdint>

#include "tools/replay/script_grammar.h"

namespace fpu {

bool parse_replay_command_line(int argc, const char* const* argv, ReplayCommandLine* line,
                               std::string* error) {
  bool have_script = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--ticks" || arg == "--seed") {
      std::uint32_t value = 0;
      if (!has_value || !parse_script_number(argv[++i], &value)) {
        *error = arg + " needs a number";
        return false;
      }
      if (arg == "--ticks") {
        line->options.start_ticks = value;
      } else {
        line->options.noise_seed = value;
      }
    } else if (arg == "--max-steps") {
      // A bound for scripts from elsewhere: at most this many lines run.
      const std::string value = has_value ? argv[++i] : "";
      std::uint64_t steps = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), steps);
      if (value.empty() || ec != std::errc{} || end != value.data() + value.size() || steps == 0) {
        *error = "--max-steps needs a whole number from 1 to 18446744073709551615";
        return false;
      }
      line->options.max_steps = steps;
    } else if (arg == "--trace") {
      line->trace_mode = has_value ? argv[++i] : "";
      if (line->trace_mode != "stdout" && line->trace_mode != "viewer" &&
          line->trace_mode != "none") {
        *error = "--trace takes stdout, viewer or none, not '" + line->trace_mode + "'";
        return false;
      }
    } else if (arg == "--help" || arg == "-h") {
      line->help = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option '" + arg + "'";
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

bool take_output_options(std::vector<std::string>& args, OutputOptions* out, std::string* error) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--record") {
      if (!has_value || args[i + 1].empty()) {
        *error = "--record needs a file name";
        return false;
      }
      out->record_path = args[++i];
    } else if (arg == "--scale") {
      const std::string value = has_value ? args[++i] : "";
      int n = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
      if (value.empty() || ec != std::errc() || end != value.data() + value.size() || n < 1 ||
          n > max_output_scale) {
        *error = "--scale takes a whole number from 1 to " + std::to_string(max_output_scale) +
                 ", not '" + value + "'";
        return false;
      }
      out->scale = n;
    } else {
      rest.push_back(arg);
    }
  }
  args = std::move(rest);
  return true;
}

}  // namespace fpu
