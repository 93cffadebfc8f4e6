// Animated GIF bytes from painted frames: our own encoder, so the desktop tools and the web
// page (which has no giflib) write the same bytes for the same frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "backends/soft/soft_platform.h"

namespace fpu {

// Whatever takes the frames a run paints, one by one (a GIF file, the page's last seconds).
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual void add_frame(const Surface& frame) = 0;
};

// GIF89a, looping, 50 ms a frame. Each frame carries its own colour table, so frames with up
// to 256 colours are stored exactly; only the rectangle that changed since the previous
// frame is written, at `scale` screen pixels per picture pixel.
class GifEncoder {
 public:
  explicit GifEncoder(int scale = 1);

  // Appends the frame's bytes (the file's header before the first); false with `error` set
  // when it cannot be stored, and then nothing was appended.
  bool add_frame(const Surface& frame, std::string* error);
  // Appends the trailer; false when there is no frame yet.
  bool finish(std::string* error);

  // The bytes appended since the last take (a file writes them as they come).
  std::vector<std::uint8_t> take_bytes();
  std::size_t frames() const { return frames_; }

 private:
  void put_lzw(const std::vector<std::uint8_t>& indices, int width, int height, int colour_bits);

  int scale_;
  std::size_t frames_ = 0;
  Surface previous_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace fpu
