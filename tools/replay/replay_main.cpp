#include "tools/replay/replay_main.h"

#include <fstream>
#include <iostream>
#include <new>
#include <string_view>
#include <vector>

#include "text/masked.h"
#include "tools/replay/script_file.h"

namespace fpu {

int replay_main(const char* name, int argc, char** argv, ReplayBackend& backend) {
  const auto fail = [name](int code, const std::string& message) {
    std::cerr << name << ": " << message << '\n';
    return code;
  };
  std::ios::sync_with_stdio(false);
  ReplayCommandLine line;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const options::Parsed parsed = parse_replay_command_line(name, args, &line);
  if (parsed.action != options::Parsed::Action::run) {
    // Help and the version on standard output; a usage error on standard error.
    (parsed.exit_code == 0 ? std::cout : std::cerr) << parsed.message << std::flush;
    return parsed.exit_code;
  }

  std::ifstream file;
  std::string why;
  std::istream* script = open_replay_script(line.script_path, file, &why);
  if (!script) return fail(1, "cannot open script '" + masked(line.script_path) + "': " + why);
  // A read error (a closed standard input, a failing disk) is an error, not the end.
  script->exceptions(std::ios::badbit);

  std::unique_ptr<TraceSink> trace;
  if (line.trace_mode == "stdout") {
    trace = std::make_unique<JsonTraceSink>(std::cout);
  } else if (line.trace_mode == "viewer") {
    trace = backend.make_viewer_sink();
    if (!trace) return fail(1, "this build has no trace viewer: use --trace stdout or none");
  } else {
    trace = std::make_unique<NullTraceSink>();
  }

  std::string error;
  std::unique_ptr<ReplayHost> host = backend.make_host(line, &error);
  if (!host) return fail(1, error);
  ReplayResult result;
  try {
    result = run_replay(*host, *trace, *script, std::cout, line.options);
  } catch (const std::ios_base::failure& e) {
    const std::string source =
        line.script_path == "-" ? "standard input" : "'" + masked(line.script_path) + "'";
    return fail(1, "cannot read the script from " + source + ": " + e.code().message());
  } catch (const std::bad_alloc&) {
    return fail(1, "out of memory");
  }
  std::cout.flush();
  if (result.exit_code != 0) return fail(result.exit_code, result.error);
  if (!host->finish(&error)) return fail(1, error);
  if (!std::cout) return fail(1, "cannot write standard output");
  return 0;
}

}  // namespace fpu
