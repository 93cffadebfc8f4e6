// Feeds arbitrary bytes to the replay tool as a script, through the whole program:
// parsing, the window procedure, input, painting and the software back buffer.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "backends/soft/soft_platform.h"
#include "scene/scene_state.h"
#include "tools/replay/replay_runner.h"

namespace {

class FuzzHost : public fpu::ReplayHost {
 public:
  fpu::Platform& platform() override { return platform_; }
  void set_tick_count(std::uint32_t ms) override { platform_.set_tick_count(ms); }
  bool write_image(const std::string&, fpu::Handle, std::string*) override { return true; }

 private:
  fpu::SoftPlatform platform_{fpu::view_width, fpu::view_height};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream script(std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream out;
  FuzzHost host;
  fpu::JsonTraceSink trace(out);
  fpu::ReplayOptions options;
  options.allow_files = false;  // never write files named by fuzz input
  // `repeat` can ask for billions of lines. Every executed line is a step, and a body that
  // runs nothing is passed over, so each iteration of any block counts.
  options.max_steps = 20000;
  fpu::run_replay(host, trace, script, out, options);
  return 0;
}
