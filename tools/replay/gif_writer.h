// The animated GIF of every painted frame that fpu-sample-replay --record writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "backends/soft/soft_platform.h"
#include "files/file_writer.h"
#include "tools/replay/command_line.h"

struct GifFileType;

namespace fpu {

// Streams frames into an animated GIF, 50 ms a frame, looping. Each frame carries its own
// colour table, so frames with up to 256 colours are stored exactly; only the rectangle that
// changed since the previous frame is written. The file appears under its name only when
// finish() succeeds (see files::FileWriter), so a failed run leaves an existing file as it was.
class GifRecorder {
 public:
  GifRecorder() = default;
  ~GifRecorder();
  GifRecorder(const GifRecorder&) = delete;
  GifRecorder& operator=(const GifRecorder&) = delete;

  bool open(const std::string& path, int scale, std::string* error);
  // After the first failure, further frames are ignored and finish() reports it; failed()
  // tells at once, so a run can stop at its first write error.
  void add_frame(const Surface& frame);
  bool finish(std::string* error);
  std::size_t frames() const { return frames_; }
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  bool write_frame(const Surface& frame);
  bool fail(const std::string& what);
  void discard();

  // giflib's output: hands its bytes to file_.
  static int put_bytes(GifFileType* gif, const unsigned char* bytes, int size);

  std::string path_;
  files::FileWriter file_;
  // Left unread by builds without GIF output (WebAssembly).
  [[maybe_unused]] GifFileType* gif_ = nullptr;
  [[maybe_unused]] int scale_ = 1;
  std::size_t frames_ = 0;
  Surface previous_;
  std::string error_;
};

}  // namespace fpu
