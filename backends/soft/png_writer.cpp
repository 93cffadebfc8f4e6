#include "backends/soft/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "files/file_writer.h"
#include "text/masked.h"

namespace fpu {

namespace {

// Encodes `surface`, each pixel a scale x scale block, into `out` as the rows come: one row
// at a time, so a large scale costs one row of memory, not a scaled copy. Returns "" or the
// reason (libpng's, or the writer's with its step).
std::string encode_png(const Surface& surface, int scale, files::FileWriter& out) {
  struct Context {
    files::FileWriter* out;
    std::string error;
  } context{&out, {}};
  png_structp png = png_create_write_struct(
      PNG_LIBPNG_VER_STRING, &context,
      [](png_structp p, png_const_charp message) {
        static_cast<Context*>(png_get_error_ptr(p))->error = message;
        png_longjmp(p, 1);
      },
      [](png_structp, png_const_charp) {});
  if (png == nullptr) return "out of memory";
  png_infop info = png_create_info_struct(png);
  const auto width = static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(scale);
  std::vector<std::uint8_t> row(width * 3);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return context.error.empty() ? "out of memory" : context.error;
  }
  png_set_write_fn(
      png, &context,
      [](png_structp p, png_bytep data, png_size_t size) {
        auto* c = static_cast<Context*>(png_get_io_ptr(p));
        if (!c->out->write(data, size)) png_error(p, c->out->reason().c_str());
      },
      [](png_structp) {});
  png_set_IHDR(png, info, static_cast<png_uint_32>(width),
               static_cast<png_uint_32>(surface.height) * static_cast<png_uint_32>(scale), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  if (scale > 1) {
    // An enlarged frame repeats each row scale times: the "up" filter makes the repeats
    // zeros, and a fast level packs those as well as a slow one would.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_RLE);
  }
  png_write_info(png, info);
  for (std::int32_t y = 0; y < surface.height; ++y) {
    // 0x00RRGGBB -> R, G, B bytes, each pixel repeated across its block.
    std::size_t i = 0;
    for (std::int32_t x = 0; x < surface.width; ++x) {
      const std::uint32_t p = surface.at(x, y);
      for (int r = 0; r < scale; ++r) {
        row[i++] = static_cast<std::uint8_t>(p >> 16);
        row[i++] = static_cast<std::uint8_t>(p >> 8);
        row[i++] = static_cast<std::uint8_t>(p);
      }
    }
    for (int r = 0; r < scale; ++r) png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return {};
}

}  // namespace

bool write_png(const std::string& path, const Surface& surface, std::string* error, int scale) {
  const auto fail = [error, &path](const std::string& text) {
    if (error != nullptr) *error = "cannot write '" + masked(path) + "': " + text;
    return false;
  };
  if (surface.width <= 0 || surface.height <= 0 || scale < 1 ||
      surface.pixels.size() !=
          static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(surface.height)) {
    return fail("the surface has no pixels or a wrong size");
  }
  // Our writer, not libpng's: libpng's removes the file when a write fails, even a file that
  // was not its to remove.
  files::FileWriter file;
  if (!file.open(path)) return fail(file.reason());
  if (std::string reason = encode_png(surface, scale, file); !reason.empty()) return fail(reason);
  if (!file.commit()) return fail(file.reason());
  return true;
}

}  // namespace fpu
