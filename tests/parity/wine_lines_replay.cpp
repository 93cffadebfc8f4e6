// fpu-parity-replay-wine-lines: fpu-sample-replay with one change, lines drawn as Wine's
// drawing services draw them. Wine divides both coordinates of a line end point by 8
// (truncating) when either has a magnitude of 2^28 or more, except for horizontal and
// vertical lines; the software back buffer keeps the exact geometry. The differential
// compares the Windows builds' frames with far line end points against this tool.
//
//   fpu-parity-replay-wine-lines [--ticks N] [--seed N] [--trace stdout|none] [SCRIPT]
#include <cstdlib>

#include "backends/soft/soft_platform.h"
#include "tools/replay/replay_main.h"
#include "tools/replay/soft_host.h"

namespace {

class WineLinesPlatform : public fpu::SoftPlatform {
 public:
  using SoftPlatform::SoftPlatform;
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

class WineLinesBackend : public fpu::ReplayBackend {
 public:
  std::unique_ptr<fpu::ReplayHost> make_host(const fpu::ReplayCommandLine& line,
                                             std::string* error) override {
    return fpu::make_soft_host<WineLinesPlatform>(line, error);
  }
};

}  // namespace

int main(int argc, char** argv) {
  WineLinesBackend backend;
  return fpu::replay_main("fpu-parity-replay-wine-lines", argc, argv, backend);
}
