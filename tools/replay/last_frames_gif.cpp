#include "tools/replay/last_frames_gif.h"

#include <ostream>

#include "tools/replay/gif_encoder.h"
#include "tools/replay/replay_runner.h"
#include "tools/replay/soft_host.h"
#include "trace/stream_trace_sinks.h"

namespace fpu {

namespace {

// Counts frames, then encodes those past the first `skip`.
class TailSink final : public FrameSink {
 public:
  TailSink(std::size_t skip, int scale) : skip_(skip), encoder_(scale) {}
  void add_frame(const Surface& frame) override {
    ++seen_;
    if (seen_ <= skip_ || !error_.empty()) return;
    encoder_.add_frame(frame, &error_);
  }
  std::size_t seen() const { return seen_; }
  GifEncoder& encoder() { return encoder_; }
  const std::string& error() const { return error_; }

 private:
  std::size_t skip_;
  std::size_t seen_ = 0;
  GifEncoder encoder_;
  std::string error_;
};

bool replay_into(const replay::Script& script, const ReplayOptions& options, TailSink& sink,
                 std::string* error) {
  SoftReplayHost<> host(1);
  host.send_frames_to(&sink);
  NullTraceSink trace;
  Program program(host.platform(), trace);
  std::ostream nowhere(nullptr);
  const ReplayResult result = play_script(host, program, script, nowhere, options);
  if (result.exit_code != 0) *error = result.error;
  return result.exit_code == 0;
}

}  // namespace

bool last_frames_gif(const replay::Script& script, const ReplayOptions& options, std::size_t count,
                     int scale, std::vector<std::uint8_t>* gif, std::string* error) {
  // Only the encoder sees the scale: frames are counted, and the first skipped, unencoded.
  TailSink counter(SIZE_MAX, 1);
  if (!replay_into(script, options, counter, error)) return false;
  TailSink tail(counter.seen() > count ? counter.seen() - count : 0, scale);
  if (!replay_into(script, options, tail, error)) return false;
  if (!tail.error().empty()) {
    *error = tail.error();
    return false;
  }
  if (!tail.encoder().finish(error)) return false;
  *gif = tail.encoder().take_bytes();
  return true;
}

}  // namespace fpu
