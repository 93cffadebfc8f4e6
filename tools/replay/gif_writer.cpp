#include "tools/replay/gif_writer.h"

#include <vector>

#include "text/masked.h"

namespace fpu {

bool GifRecorder::fail(const std::string& what) {
  if (error_.empty()) error_ = "cannot write '" + masked(path_) + "': " + what;
  file_.abandon();
  open_ = false;
  return false;
}

bool GifRecorder::open(const std::string& path, int scale, std::string* error) {
  file_.abandon();
  path_ = path;
  encoder_ = GifEncoder(scale);
  error_.clear();
  open_ = file_.open(path);
  if (!open_) *error = file_.message();
  return open_;
}

bool GifRecorder::write_pending() {
  const std::vector<std::uint8_t> bytes = encoder_.take_bytes();
  if (file_.write(bytes.data(), bytes.size())) return true;
  // The writer's reason says which step failed.
  error_ = file_.message();
  file_.abandon();
  open_ = false;
  return false;
}

void GifRecorder::add_frame(const Surface& frame) {
  if (!open_) return;
  std::string why;
  if (!encoder_.add_frame(frame, &why)) {
    fail(why);
    return;
  }
  write_pending();
}

bool GifRecorder::finish(std::string* error) {
  if (error_.empty() && !open_) fail("the recording is not open");
  std::string why;
  if (error_.empty() && !encoder_.finish(&why)) fail(why);
  if (error_.empty() && write_pending() && !file_.commit()) error_ = file_.message();
  if (!error_.empty()) {
    file_.abandon();
    open_ = false;
    *error = error_;
    return false;
  }
  open_ = false;
  return true;
}

}  // namespace fpu
