// The animated GIF of every painted frame that fpu-sample-replay --record writes.
#pragma once

#include <cstdint>
#include <string>

#include "backends/soft/soft_platform.h"
#include "files/file_writer.h"
#include "tools/replay/gif_encoder.h"

namespace fpu {

// Streams frames into an animated GIF file (see GifEncoder). The file appears under its name
// only when finish() succeeds (see files::FileWriter), so a failed run leaves an existing
// file as it was.
class GifRecorder final : public FrameSink {
 public:
  GifRecorder() = default;
  GifRecorder(const GifRecorder&) = delete;
  GifRecorder& operator=(const GifRecorder&) = delete;

  bool open(const std::string& path, int scale, std::string* error);
  // After the first failure, further frames are ignored and finish() reports it; failed()
  // tells at once, so a run can stop at its first write error.
  void add_frame(const Surface& frame) override;
  bool finish(std::string* error);
  std::size_t frames() const { return encoder_.frames(); }
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  bool write_pending();
  bool fail(const std::string& what);

  std::string path_;
  files::FileWriter file_;
  GifEncoder encoder_;
  bool open_ = false;
  std::string error_;
};

}  // namespace fpu
