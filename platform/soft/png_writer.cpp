#include "platform/soft/png_writer.h"

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "files/file_writer.h"
#include "text/masked.h"

namespace fpu {

bool write_png(const std::string& path, const Surface& surface, std::string* error) {
  const auto fail = [error, &path](const std::string& text) {
    if (error != nullptr) *error = "cannot write '" + masked(path) + "': " + text;
    return false;
  };
  if (surface.width <= 0 || surface.height <= 0 ||
      surface.pixels.size() !=
          static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(surface.height)) {
    return fail("the surface has no pixels or a wrong size");
  }
  // 0x00RRGGBB -> R, G, B bytes.
  std::vector<std::uint8_t> rgb(surface.pixels.size() * 3);
  for (std::size_t i = 0; i < surface.pixels.size(); ++i) {
    const std::uint32_t p = surface.pixels[i];
    rgb[3 * i] = static_cast<std::uint8_t>(p >> 16);
    rgb[3 * i + 1] = static_cast<std::uint8_t>(p >> 8);
    rgb[3 * i + 2] = static_cast<std::uint8_t>(p);
  }
  // Encoded in memory: libpng's own file writer removes the file when a write fails, even a
  // file that was not its to remove.
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(surface.width);
  image.height = static_cast<png_uint_32>(surface.height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr) == 0) {
    const std::string reason = image.message;
    png_image_free(&image);
    return fail(reason);
  }
  std::vector<std::uint8_t> encoded(size);
  if (png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), 0, nullptr) == 0) {
    const std::string reason = image.message;
    png_image_free(&image);
    return fail(reason);
  }
  encoded.resize(size);
  return files::write_file(path, encoded, error);
}

}  // namespace fpu
