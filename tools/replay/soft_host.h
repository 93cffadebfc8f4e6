// The software back buffer as the replay's drawing layer: PNG frames at any --scale, the
// last frame kept at shutdown (so `png` still shows it once the drawing objects are gone),
// and the --record GIF of every painted frame. `Drawing` is SoftPlatform or a variant of it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "backends/soft/png_writer.h"
#include "backends/soft/soft_platform.h"
#include "scene/scene_state.h"
#include "tools/replay/command_line.h"
#include "tools/replay/gif_writer.h"
#include "tools/replay/replay_runner.h"

namespace fpu {

template <class Drawing = SoftPlatform>
class SoftReplayHost : public ReplayHost {
 public:
  explicit SoftReplayHost(int scale) : scale_(scale) {}

  // Starts the recording to `path`; false with `error` set when it cannot be written.
  bool record(const std::string& path, std::string* error) {
    if (!recorder_.open(path, scale_, error)) return false;
    platform_.frames = &recorder_;
    return true;
  }
  // Hands every painted frame to `frames` instead (the page's last seconds).
  void send_frames_to(FrameSink* frames) { platform_.frames = frames; }

  Platform& platform() override { return platform_; }
  void set_tick_count(std::uint32_t ms) override { platform_.set_tick_count(ms); }
  bool write_image(const std::string& path, Handle back_buffer, std::string* error) override {
    const Surface* frame = platform_.dc_surface(back_buffer);
    if (frame == nullptr && last_frame_) frame = &*last_frame_;
    if (frame == nullptr) {
      *error = "there is no back buffer";
      return false;
    }
    return write_png(path, *frame, error, scale_);
  }
  void keep_last_frame(Handle back_buffer) override {
    if (const Surface* live = platform_.dc_surface(back_buffer)) last_frame_ = *live;
  }
  bool output_failed(std::string* error) override {
    if (platform_.frames != &recorder_ || !recorder_.failed()) return false;
    *error = recorder_.error();
    return true;
  }
  bool finish(std::string* error) override {
    return platform_.frames != &recorder_ || recorder_.finish(error);
  }

 private:
  // Hands every frame it shows to the recording, if any.
  class Recording : public Drawing {
   public:
    Recording() : Drawing(view_width, view_height) {}
    void end_paint(WindowHandle window) override {
      Drawing::end_paint(window);
      if (frames != nullptr) frames->add_frame(this->window_surface());
    }
    FrameSink* frames = nullptr;
  };

  Recording platform_;
  GifRecorder recorder_;
  int scale_;
  std::optional<Surface> last_frame_;
};

// The host for a replay tool on `Drawing`, with the command line's scale and recording.
template <class Drawing = SoftPlatform>
std::unique_ptr<ReplayHost> make_soft_host(const ReplayCommandLine& line, std::string* error) {
  auto host = std::make_unique<SoftReplayHost<Drawing>>(line.scale);
  if (!line.record_path.empty() && !host->record(line.record_path, error)) return nullptr;
  return host;
}

}  // namespace fpu
