#include "platform/soft/png_writer.h"

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace fpu {

bool write_png(const std::string& path, const Surface& surface, std::string* error) {
  const auto fail = [error](const std::string& text) {
    if (error != nullptr) *error = text;
    return false;
  };
  if (surface.width <= 0 || surface.height <= 0 ||
      surface.pixels.size() !=
          static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(surface.height)) {
    return fail("cannot write " + path + ": the surface has no pixels or a wrong size");
  }
  // 0x00RRGGBB -> R, G, B bytes.
  std::vector<std::uint8_t> rgb(surface.pixels.size() * 3);
  for (std::size_t i = 0; i < surface.pixels.size(); ++i) {
    const std::uint32_t p = surface.pixels[i];
    rgb[3 * i] = static_cast<std::uint8_t>(p >> 16);
    rgb[3 * i + 1] = static_cast<std::uint8_t>(p >> 8);
    rgb[3 * i + 2] = static_cast<std::uint8_t>(p);
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(surface.width);
  image.height = static_cast<png_uint_32>(surface.height);
  image.format = PNG_FORMAT_RGB;
  if (png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) == 0) {
    const std::string reason = image.message;
    png_image_free(&image);
    return fail("cannot write " + path + ": " + reason);
  }
  return true;
}

}  // namespace fpu
