#include "tools/replay/gif_encoder.h"

#include <algorithm>
#include <array>
#include <memory>

#include "app/window.h"

namespace fpu {

namespace {

// The frame delay is in hundredths of a second: the demo's timer period.
constexpr int frame_delay_cs = static_cast<int>(timer_period_ms / 10);
constexpr unsigned max_codes = 4096;  // LZW codes are at most 12 bits wide

int colour_bits(std::size_t count) {
  int bits = 1;
  while ((std::size_t{1} << bits) < count) ++bits;
  return bits;
}

void put16(std::vector<std::uint8_t>& out, std::int32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// Variable-width codes, least significant bit first, in data sub-blocks of up to 255 bytes.
class CodeWriter {
 public:
  explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void put(unsigned code, int width) {
    bits_ |= std::uint32_t{code} << pending_;
    pending_ += width;
    while (pending_ >= 8) {
      byte(static_cast<std::uint8_t>(bits_ & 0xFF));
      bits_ >>= 8;
      pending_ -= 8;
    }
  }
  void finish() {
    if (pending_ > 0) byte(static_cast<std::uint8_t>(bits_ & 0xFF));
    flush_block();
    out_.push_back(0);  // the block terminator
  }

 private:
  void byte(std::uint8_t b) {
    block_[size_++] = b;
    if (size_ == block_.size()) flush_block();
  }
  void flush_block() {
    if (size_ == 0) return;
    out_.push_back(static_cast<std::uint8_t>(size_));
    out_.insert(out_.end(), block_.begin(), block_.begin() + static_cast<std::ptrdiff_t>(size_));
    size_ = 0;
  }

  std::vector<std::uint8_t>& out_;
  std::array<std::uint8_t, 255> block_{};
  std::size_t size_ = 0;
  std::uint32_t bits_ = 0;
  int pending_ = 0;
};

// The LZW string table: (prefix code, next index) -> code, open addressing at most half full.
class StringTable {
 public:
  StringTable() { clear(); }
  void clear() { keys_.fill(empty); }
  // The slot of `key`: holding it, or the empty one where it goes.
  std::size_t find(std::uint32_t key) const {
    std::size_t slot = (key * 2654435761u) >> (32 - bits);
    while (keys_[slot] != empty && keys_[slot] != key) slot = (slot + 1) & (size - 1);
    return slot;
  }
  bool holds(std::size_t slot) const { return keys_[slot] != empty; }
  unsigned code(std::size_t slot) const { return codes_[slot]; }
  void add(std::size_t slot, std::uint32_t key, unsigned code) {
    keys_[slot] = key;
    codes_[slot] = static_cast<std::uint16_t>(code);
  }

 private:
  static constexpr int bits = 13;
  static constexpr std::size_t size = std::size_t{1} << bits;
  static constexpr std::uint32_t empty = 0xFFFFFFFFu;
  std::array<std::uint32_t, size> keys_;
  std::array<std::uint16_t, size> codes_{};
};

}  // namespace

GifEncoder::GifEncoder(int scale) : scale_(std::clamp(scale, 1, max_desktop_scale)) {}

std::vector<std::uint8_t> GifEncoder::take_bytes() {
  std::vector<std::uint8_t> out;
  out.swap(bytes_);
  return out;
}

void GifEncoder::put_lzw(const std::vector<std::uint8_t>& indices, int width, int height,
                         int bits_per_index) {
  const int min_bits = std::max(2, bits_per_index);
  bytes_.push_back(static_cast<std::uint8_t>(min_bits));
  const unsigned clear = 1u << min_bits;
  const unsigned end = clear + 1;
  auto table = std::make_unique<StringTable>();
  CodeWriter out(bytes_);
  int code_bits = min_bits + 1;
  unsigned next = end + 1;
  out.put(clear, code_bits);
  bool first = true;
  unsigned prefix = 0;
  const auto scale = static_cast<std::size_t>(scale_);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height) * scale; ++y) {
    const std::uint8_t* row = &indices[y / scale * static_cast<std::size_t>(width)];
    for (std::size_t x = 0; x < static_cast<std::size_t>(width) * scale; ++x) {
      const unsigned index = row[x / scale];
      if (first) {
        prefix = index;
        first = false;
        continue;
      }
      const std::uint32_t key = prefix << 8 | index;
      const std::size_t slot = table->find(key);
      if (table->holds(slot)) {
        prefix = table->code(slot);
        continue;
      }
      out.put(prefix, code_bits);
      if (next < max_codes) {
        // The decoder widens its codes once the table reaches the next power of two.
        if (next == 1u << code_bits) ++code_bits;
        table->add(slot, key, next++);
      } else {
        out.put(clear, code_bits);
        table->clear();
        code_bits = min_bits + 1;
        next = end + 1;
      }
      prefix = index;
    }
  }
  out.put(prefix, code_bits);
  out.put(end, code_bits);
  out.finish();
}

bool GifEncoder::add_frame(const Surface& frame, std::string* error) {
  if (frame.width <= 0 || frame.height <= 0 ||
      frame.pixels.size() !=
          static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height)) {
    *error = "a frame has no pixels or a wrong size";
    return false;
  }
  if (frames_ == 0) {
    if (frame.width * scale_ > 0xFFFF || frame.height * scale_ > 0xFFFF) {
      *error = "the frame is too large for a GIF";
      return false;
    }
  } else if (frame.width != previous_.width || frame.height != previous_.height) {
    *error = "the frame size changed during the recording";
    return false;
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
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
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
            *error = "frame " + std::to_string(frames_ + 1) + " has more than 256 colours";
            return false;
          }
          colours.push_back(p);
        }
      }
      indices[i++] = static_cast<std::uint8_t>(last);
    }
  }
  const int bits = colour_bits(colours.size());

  if (frames_ == 0) {
    static constexpr std::uint8_t signature[] = {'G', 'I', 'F', '8', '9', 'a'};
    bytes_.insert(bytes_.end(), std::begin(signature), std::end(signature));
    put16(bytes_, frame.width * scale_);
    put16(bytes_, frame.height * scale_);
    // No global colour table, 8 bits of colour resolution, background 0, square pixels.
    bytes_.insert(bytes_.end(), {0x70, 0, 0});
    // Loop for ever (the application extension every browser reads).
    static constexpr std::uint8_t loop_forever[] = {
        0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
    bytes_.insert(bytes_.end(), std::begin(loop_forever), std::end(loop_forever));
  }
  // Graphic control: leave the frame in place for the next to draw over, after the delay.
  bytes_.insert(bytes_.end(), {0x21, 0xF9, 4, 1 << 2});
  put16(bytes_, frame_delay_cs);
  bytes_.insert(bytes_.end(), {0, 0});
  bytes_.push_back(0x2C);
  put16(bytes_, left * scale_);
  put16(bytes_, top * scale_);
  put16(bytes_, w * scale_);
  put16(bytes_, h * scale_);
  bytes_.push_back(static_cast<std::uint8_t>(0x80 | (bits - 1)));  // a local colour table
  for (std::size_t c = 0; c < (std::size_t{1} << bits); ++c) {
    const std::uint32_t p = c < colours.size() ? colours[c] : 0;
    bytes_.insert(bytes_.end(), {static_cast<std::uint8_t>(p >> 16),
                                 static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)});
  }
  put_lzw(indices, w, h, bits);
  previous_ = frame;
  ++frames_;
  return true;
}

bool GifEncoder::finish(std::string* error) {
  if (frames_ == 0) {
    *error = "no frame was painted";
    return false;
  }
  bytes_.push_back(0x3B);
  return true;
}

}  // namespace fpu
