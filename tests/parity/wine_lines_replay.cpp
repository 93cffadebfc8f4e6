// fpu-parity-replay-wine-lines: fpu-sample-replay with one change, lines drawn as Wine's
// drawing services draw them. Wine divides both coordinates of a line end point by 8
// (truncating) when either has a magnitude of 2^28 or more, except for horizontal and
// vertical lines; the software back buffer keeps the exact geometry. The differential
// compares the Windows builds' frames with far line end points against this tool.
//
//   fpu-parity-replay-wine-lines [--ticks N] [--seed N] [--trace stdout|none] [SCRIPT]
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "backends/soft/png_writer.h"
#include "backends/soft/soft_platform.h"
#include "scene/scene_state.h"
#include "tools/replay/replay_runner.h"

namespace {

class WineLinesPlatform : public fpu::SoftPlatform {
 public:
  WineLinesPlatform() : SoftPlatform(fpu::view_width, fpu::view_height) {}
  void line_to(fpu::Handle dc, std::int32_t x, std::int32_t y) override {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    if (!current_position(dc, x0, y0) || x0 == x || y0 == y) {
      SoftPlatform::line_to(dc, x, y);
      return;
    }
    std::int32_t x1 = x;
    std::int32_t y1 = y;
    rescale(x0, y0);
    rescale(x1, y1);
    SoftPlatform::move_to(dc, x0, y0);
    SoftPlatform::line_to(dc, x1, y1);
    SoftPlatform::move_to(dc, x, y);  // the current position is the point asked for
  }

 private:
  static void rescale(std::int32_t& x, std::int32_t& y) {
    constexpr long long far = 1LL << 28;
    if (std::llabs(x) >= far || std::llabs(y) >= far) {
      x /= 8;
      y /= 8;
    }
  }
};

class Host : public fpu::ReplayHost {
 public:
  fpu::Platform& platform() override { return platform_; }
  void set_tick_count(std::uint32_t ms) override { platform_.set_tick_count(ms); }
  bool write_image(const std::string& path, fpu::Handle back_buffer, std::string* error) override {
    if (const fpu::Surface* live = platform_.dc_surface(back_buffer)) {
      return fpu::write_png(path, *live, error);
    }
    if (last_frame_) return fpu::write_png(path, *last_frame_, error);
    *error = "there is no back buffer";
    return false;
  }
  void keep_last_frame(fpu::Handle back_buffer) override {
    if (const fpu::Surface* live = platform_.dc_surface(back_buffer)) last_frame_ = *live;
  }

 private:
  WineLinesPlatform platform_;
  std::optional<fpu::Surface> last_frame_;
};

}  // namespace

int main(int argc, char** argv) {
  fpu::ReplayCommandLine line;
  std::string error;
  if (!fpu::parse_replay_command_line(argc, argv, &line, &error) || line.trace_mode == "viewer") {
    std::cerr << "fpu-parity-replay-wine-lines: " << (error.empty() ? "no viewer here" : error)
              << '\n';
    return 1;
  }
  std::ifstream file;
  std::istream* script = fpu::open_replay_script(line.script_path, file);
  if (!script) {
    std::cerr << "fpu-parity-replay-wine-lines: cannot open script '" << line.script_path << "'\n";
    return 1;
  }
  fpu::JsonTraceSink json_trace(std::cout);
  fpu::NullTraceSink no_trace;
  fpu::TraceSink& trace =
      line.trace_mode == "none" ? static_cast<fpu::TraceSink&>(no_trace) : json_trace;
  Host host;
  const fpu::ReplayResult result = fpu::run_replay(host, trace, *script, std::cout, line.options);
  std::cout.flush();
  if (result.exit_code != 0) {
    std::cerr << "fpu-parity-replay-wine-lines: " << result.error << '\n';
    return result.exit_code;
  }
  return 0;
}
