#include "tools/replay/gif_writer.h"

#ifndef FPU_NO_GIF
#include <gif_lib.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/window.h"
#include "text/masked.h"

namespace fpu {

#ifdef FPU_NO_GIF

GifRecorder::~GifRecorder() = default;
void GifRecorder::discard() {}
bool GifRecorder::fail(const std::string& what) {
  error_ = what;
  return false;
}
bool GifRecorder::open(const std::string& path, int, std::string* error) {
  *error = "cannot write " + path + ": this build has no GIF output";
  return false;
}
void GifRecorder::add_frame(const Surface&) {}
bool GifRecorder::write_frame(const Surface&) {
  return false;
}
bool GifRecorder::finish(std::string* error) {
  *error = "this build has no GIF output";
  return false;
}

#else

namespace {

// The GIF frame delay is in hundredths of a second: the demo's timer period.
constexpr int frame_delay_cs = static_cast<int>(timer_period_ms / 10);

int color_bits(std::size_t count) {
  int bits = 1;
  while ((std::size_t{1} << bits) < count) ++bits;
  return bits;
}

}  // namespace

GifRecorder::~GifRecorder() {
  discard();
}

void GifRecorder::discard() {
  if (gif_ != nullptr) {
    int ignored = 0;
    EGifCloseFile(gif_, &ignored);
    gif_ = nullptr;
  }
  file_.abandon();
}

bool GifRecorder::fail(const std::string& what) {
  if (error_.empty()) error_ = "cannot write '" + masked(path_) + "': " + what;
  return false;
}

int GifRecorder::put_bytes(GifFileType* gif, const unsigned char* bytes, int size) {
  auto* self = static_cast<GifRecorder*>(gif->UserData);
  if (size < 0 || !self->file_.write(bytes, static_cast<std::size_t>(size))) {
    // The writer's reason (with its step) says more than giflib's "failed to write".
    if (self->error_.empty()) self->error_ = self->file_.message();
    return 0;
  }
  return size;
}

bool GifRecorder::open(const std::string& path, int scale, std::string* error) {
  discard();
  path_ = path;
  scale_ = std::clamp(scale, 1, max_desktop_scale);
  frames_ = 0;
  error_.clear();
  if (!file_.open(path)) {
    *error = file_.message();
    return false;
  }
  int code = 0;
  gif_ = EGifOpen(this, put_bytes, &code);
  if (gif_ == nullptr) {
    fail(GifErrorString(code));
    *error = error_;
    discard();
    return false;
  }
  EGifSetGifVersion(gif_, true);
  return true;
}

void GifRecorder::add_frame(const Surface& frame) {
  if (gif_ == nullptr || !error_.empty()) return;
  if (!write_frame(frame)) discard();
}

bool GifRecorder::write_frame(const Surface& frame) {
  if (frame.width <= 0 || frame.height <= 0 ||
      frame.pixels.size() !=
          static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height)) {
    return fail("a frame has no pixels or a wrong size");
  }
  const auto gif_error = [this] { return fail(GifErrorString(gif_->Error)); };
  if (frames_ == 0) {
    if (frame.width * scale_ > 0xFFFF || frame.height * scale_ > 0xFFFF) {
      return fail("the frame is too large for a GIF");
    }
    if (EGifPutScreenDesc(gif_, frame.width * scale_, frame.height * scale_, 8, 0, nullptr) ==
        GIF_ERROR) {
      return gif_error();
    }
    // Loop for ever (the application extension every browser reads).
    static const char netscape[] = "NETSCAPE2.0";
    static const unsigned char loop_forever[] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_, 11, netscape) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_, 3, loop_forever) == GIF_ERROR ||
        EGifPutExtensionTrailer(gif_) == GIF_ERROR) {
      return gif_error();
    }
  } else if (frame.width != previous_.width || frame.height != previous_.height) {
    return fail("the frame size changed during the recording");
  }

  // The rectangle that differs from the previous frame (all of the first); an unchanged
  // frame still gets one pixel, so that it keeps its place in time.
  std::int32_t left = 0, top = 0, right = frame.width - 1, bottom = frame.height - 1;
  if (frames_ > 0) {
    left = frame.width;
    top = frame.height;
    right = -1;
    bottom = -1;
    for (std::int32_t y = 0; y < frame.height; ++y) {
      for (std::int32_t x = 0; x < frame.width; ++x) {
        if (frame.at(x, y) != previous_.at(x, y)) {
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
      }
    }
    if (right < 0) left = top = right = bottom = 0;
  }
  const std::int32_t w = right - left + 1;
  const std::int32_t h = bottom - top + 1;

  // Exact colours: the demo paints only a handful.
  std::vector<std::uint32_t> colours;
  std::vector<GifPixelType> indices(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  std::size_t last = 0;
  std::size_t i = 0;
  for (std::int32_t y = top; y <= bottom; ++y) {
    for (std::int32_t x = left; x <= right; ++x) {
      const std::uint32_t p = frame.at(x, y);
      if (last >= colours.size() || colours[last] != p) {
        last = static_cast<std::size_t>(std::find(colours.begin(), colours.end(), p) -
                                        colours.begin());
        if (last == colours.size()) {
          if (colours.size() == 256) {
            return fail("frame " + std::to_string(frames_ + 1) + " has more than 256 colours");
          }
          colours.push_back(p);
        }
      }
      indices[i++] = static_cast<GifPixelType>(last);
    }
  }
  std::vector<GifColorType> table(std::size_t{1} << color_bits(colours.size()));
  for (std::size_t c = 0; c < colours.size(); ++c) {
    table[c] = {static_cast<GifByteType>(colours[c] >> 16),
                static_cast<GifByteType>(colours[c] >> 8), static_cast<GifByteType>(colours[c])};
  }
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(table.size()), table.data());
  if (map == nullptr) return fail("out of memory");

  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.UserInputFlag = false;
  control.DelayTime = frame_delay_cs;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType control_bytes[4];
  const std::size_t control_size = EGifGCBToExtension(&control, control_bytes);
  bool ok = EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(control_size),
                             control_bytes) != GIF_ERROR &&
            EGifPutImageDesc(gif_, left * scale_, top * scale_, w * scale_, h * scale_, false,
                             map) != GIF_ERROR;
  GifFreeMapObject(map);
  std::vector<GifPixelType> row(static_cast<std::size_t>(w * scale_));
  for (std::int32_t y = 0; ok && y < h; ++y) {
    const GifPixelType* src = &indices[static_cast<std::size_t>(y) * static_cast<std::size_t>(w)];
    for (std::size_t x = 0; x < row.size(); ++x) row[x] = src[x / static_cast<std::size_t>(scale_)];
    for (int r = 0; ok && r < scale_; ++r) {
      ok = EGifPutLine(gif_, row.data(), static_cast<int>(row.size())) != GIF_ERROR;
    }
  }
  if (!ok) return gif_error();
  previous_ = frame;
  ++frames_;
  return true;
}

bool GifRecorder::finish(std::string* error) {
  if (error_.empty() && gif_ != nullptr && frames_ == 0) fail("no frame was painted");
  if (error_.empty() && gif_ == nullptr) fail("the recording is not open");
  if (error_.empty()) {
    int code = 0;
    const int closed = EGifCloseFile(gif_, &code);
    gif_ = nullptr;
    if (closed == GIF_ERROR) {
      fail(GifErrorString(code));
    } else if (!file_.commit()) {
      error_ = file_.message();
    }
  }
  if (!error_.empty()) {
    discard();
    *error = error_;
    return false;
  }
  return true;
}

#endif  // FPU_NO_GIF

}  // namespace fpu
