// fpu-sample-replay: drives the program headless from a script of messages.
//
//   fpu-sample-replay [--ticks N] [--seed N] [--trace stdout|viewer|none] [--max-steps N]
//                     [--record FILE.gif] [--scale N] [SCRIPT]
//   fpu-sample-replay --help | --version
//
// Exit status: 0 when the script ran to its end, 2 for a line that cannot be parsed,
// 1 for any other failure.
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "files/file_writer.h"
#include "platform/info_options.h"
#include "platform/soft/png_writer.h"
#include "platform/soft/soft_platform.h"
#include "tools/replay/gif_writer.h"
#include "tools/replay/replay_runner.h"
#ifndef __EMSCRIPTEN__
#include "trace/unix/viewer_endpoint.h"
#include "trace/unix/viewer_trace_sink.h"
#endif

namespace {

// The software back buffer, handing every frame it shows to the recording, if any.
class RecordingSoftPlatform : public fpu::SoftPlatform {
 public:
  explicit RecordingSoftPlatform(fpu::GifRecorder* recorder) : recorder_(recorder) {}
  void end_paint(fpu::WindowHandle window) override {
    fpu::SoftPlatform::end_paint(window);
    if (recorder_ != nullptr) recorder_->add_frame(window_surface());
  }

 private:
  fpu::GifRecorder* recorder_;
};

// The software back buffer as the replay's platform. It keeps the last frame at shutdown,
// so that `png` still shows it after the drawing objects are gone.
class SoftReplayHost : public fpu::ReplayHost {
 public:
  SoftReplayHost(int scale, fpu::GifRecorder* recorder)
      : platform_(recorder), recorder_(recorder), scale_(scale) {}
  fpu::Platform& platform() override { return platform_; }
  void set_tick_count(std::uint32_t ms) override { platform_.set_tick_count(ms); }
  bool write_image(const std::string& path, fpu::Handle back_buffer, std::string* error) override {
    const fpu::Surface* frame = platform_.dc_surface(back_buffer);
    if (frame == nullptr && last_frame_) frame = &*last_frame_;
    if (frame == nullptr) {
      *error = "there is no back buffer";
      return false;
    }
    if (scale_ == 1) return fpu::write_png(path, *frame, error);
    return fpu::write_png(path, fpu::scale_nearest(*frame, scale_), error);
  }
  void keep_last_frame(fpu::Handle back_buffer) override {
    if (const fpu::Surface* live = platform_.dc_surface(back_buffer)) last_frame_ = *live;
  }
  bool output_failed(std::string* error) override {
    if (recorder_ == nullptr || !recorder_->failed()) return false;
    *error = recorder_->error();
    return true;
  }

 private:
  RecordingSoftPlatform platform_;
  fpu::GifRecorder* recorder_;
  int scale_;
  std::optional<fpu::Surface> last_frame_;
};

int fail(int code, const std::string& message) {
  std::cerr << "fpu-sample-replay: " << message << '\n';
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto request = fpu::find_info_request(argc, argv); request != fpu::InfoRequest::none) {
    const std::string help = std::string(fpu::replay_usage) + fpu::output_usage +
                             "\nRuns the program without a window from a script of messages "
                             "(standard input when SCRIPT is - or missing)\n"
                             "and prints trace lines and state dumps as JSON lines. Script lines: "
                             "key A, mouse move X Y FLAGS, tick, paint,\n"
                             "png FILE, dump, repeat N ... end (see tests/replay/scripts/).\n";
    fpu::print_info(request, "fpu-sample-replay", help.c_str());
    return 0;
  }
  std::ios::sync_with_stdio(false);
  // An interrupted run leaves no temporary file of a recording or image behind.
  fpu::files::remove_temporary_files_on_signals();
  const std::string usage = std::string(fpu::replay_usage) + fpu::output_usage;
  // This tool's output options come out first; the rest is the shared command line.
  std::vector<std::string> args(argv + 1, argv + argc);
  fpu::OutputOptions output;
  std::string error;
  if (!fpu::take_output_options(args, &output, &error)) return fail(1, error + "\n" + usage);
  std::vector<const char*> rest{argv[0]};
  for (const std::string& a : args) rest.push_back(a.c_str());
  fpu::ReplayCommandLine line;
  if (!fpu::parse_replay_command_line(static_cast<int>(rest.size()), rest.data(), &line, &error)) {
    return fail(1, error + "\n" + usage);
  }
  if (line.help) {
    std::cerr << usage << '\n';
    return 0;
  }
  const fpu::ReplayOptions& options = line.options;
  const std::string& trace_mode = line.trace_mode;
  const std::string& script_path = line.script_path;

  std::ifstream file;
  std::string why;
  std::istream* script = fpu::open_replay_script(script_path, file, &why);
  if (!script) return fail(1, "cannot open script '" + fpu::masked(script_path) + "': " + why);
  // A read error (a closed standard input, a failing disk) is an error, not the end.
  script->exceptions(std::ios::badbit);

  std::unique_ptr<fpu::TraceSink> trace;
  if (trace_mode == "stdout") {
    trace = std::make_unique<fpu::JsonTraceSink>(std::cout);
  } else if (trace_mode == "viewer") {
#ifdef __EMSCRIPTEN__
    return fail(1, "the WebAssembly build has no trace viewer: use --trace stdout or none");
#else
    trace = std::make_unique<fpu::UnixViewerTraceSink>(fpu::viewer::running_executable_dir());
#endif
  } else {
    trace = std::make_unique<fpu::NullTraceSink>();
  }

  fpu::GifRecorder recorder;
  if (!output.record_path.empty() && !recorder.open(output.record_path, output.scale, &error)) {
    return fail(1, error);
  }
  SoftReplayHost host(output.scale, output.record_path.empty() ? nullptr : &recorder);
  fpu::ReplayResult result;
  try {
    result = fpu::run_replay(host, *trace, *script, std::cout, options);
  } catch (const std::ios_base::failure& e) {
    const std::string source =
        script_path == "-" ? "standard input" : "'" + fpu::masked(script_path) + "'";
    return fail(1, "cannot read the script from " + source + ": " + e.code().message());
  } catch (const std::bad_alloc&) {
    return fail(1, "out of memory");
  }
  std::cout.flush();
  if (result.exit_code != 0) return fail(result.exit_code, result.error);
  if (!output.record_path.empty() && !recorder.finish(&error)) return fail(1, error);
  if (!std::cout) return fail(1, "cannot write standard output");
  return 0;
}
