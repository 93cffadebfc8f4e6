// write_png for builds without libpng (WebAssembly): a valid RGB PNG whose image data is
// kept in uncompressed deflate blocks. Larger files, the same pixels.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "backends/soft/png_writer.h"
#include "files/file_writer.h"
#include "text/masked.h"

namespace fpu {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr auto crc_table = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = crc_table[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void put32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void chunk(Bytes& out, const char* type, const Bytes& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored blocks (at most 65,535 bytes each) with its Adler-32.
Bytes stored_zlib(const Bytes& raw) {
  Bytes out{0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t size = std::min<std::size_t>(raw.size() - at, 65535);
    const bool last = at + size == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<std::uint8_t>(size));
    out.push_back(static_cast<std::uint8_t>(size >> 8));
    out.push_back(static_cast<std::uint8_t>(~size));
    out.push_back(static_cast<std::uint8_t>(~size >> 8));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  } while (at < raw.size());
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521u;
    b = (b + a) % 65521u;
  }
  put32(out, (b << 16) | a);
  return out;
}

}  // namespace

bool write_png(const std::string& path, const Surface& surface, std::string* error, int scale) {
  const auto fail = [error](const std::string& text) {
    if (error != nullptr) *error = text;
    return false;
  };
  if (surface.width <= 0 || surface.height <= 0 || scale < 1 ||
      surface.pixels.size() !=
          static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(surface.height)) {
    return fail("cannot write '" + masked(path) + "': the surface has no pixels or a wrong size");
  }
  // Each row: filter type 0, then R, G, B bytes of 0x00RRGGBB pixels, each pixel a
  // scale x scale block.
  const auto n = static_cast<std::size_t>(scale);
  const std::size_t row_size = 1 + static_cast<std::size_t>(surface.width) * n * 3;
  Bytes raw;
  raw.reserve(row_size * static_cast<std::size_t>(surface.height) * n);
  for (std::int32_t y = 0; y < surface.height; ++y) {
    const std::size_t row = raw.size();
    raw.push_back(0);
    for (std::int32_t x = 0; x < surface.width; ++x) {
      const std::uint32_t p = surface.at(x, y);
      for (std::size_t r = 0; r < n; ++r) {
        raw.push_back(static_cast<std::uint8_t>(p >> 16));
        raw.push_back(static_cast<std::uint8_t>(p >> 8));
        raw.push_back(static_cast<std::uint8_t>(p));
      }
    }
    for (std::size_t r = 1; r < n; ++r) {
      for (std::size_t i = 0; i < row_size; ++i) raw.push_back(raw[row + i]);
    }
  }
  Bytes header;
  put32(header, static_cast<std::uint32_t>(surface.width) * static_cast<std::uint32_t>(scale));
  put32(header, static_cast<std::uint32_t>(surface.height) * static_cast<std::uint32_t>(scale));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
  Bytes file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  chunk(file, "IHDR", header);
  chunk(file, "IDAT", stored_zlib(raw));
  chunk(file, "IEND", {});

  return files::write_file(path, file, error);
}

}  // namespace fpu
