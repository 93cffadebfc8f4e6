// fpu-sample-replay: drives the program headless from a script of messages, drawing with
// the software back buffer.
//
//   fpu-sample-replay [--ticks N] [--seed N] [--trace stdout|viewer|none] [--max-steps N]
//                     [--max-script-bytes N] [--record FILE.gif] [--scale N] [SCRIPT]
//   fpu-sample-replay --help | --version
//
// Exit status: 0 when the script ran to its end, 2 for a line that cannot be parsed,
// 1 for any other failure.
#include "files/file_writer.h"
#include "tools/replay/replay_main.h"
#include "tools/replay/soft_host.h"
#ifndef __EMSCRIPTEN__
#include "trace/unix/viewer_endpoint.h"
#include "trace/unix/viewer_trace_sink.h"
#endif

namespace {

class SoftBackend : public fpu::ReplayBackend {
 public:
  std::unique_ptr<fpu::ReplayHost> make_host(const fpu::ReplayCommandLine& line,
                                             std::string* error) override {
    return fpu::make_soft_host(line, error);
  }
#ifndef __EMSCRIPTEN__  // the WebAssembly build has no viewer
  std::unique_ptr<fpu::TraceSink> make_viewer_sink() override {
    return std::make_unique<fpu::UnixViewerTraceSink>(fpu::viewer::running_executable_dir());
  }
#endif
};

}  // namespace

int main(int argc, char** argv) {
  // An interrupted run leaves no temporary file of a recording or image behind.
  fpu::files::remove_temporary_files_on_signals();
  SoftBackend backend;
  return fpu::replay_main("fpu-sample-replay", argc, argv, backend);
}
