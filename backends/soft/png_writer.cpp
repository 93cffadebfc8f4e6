#include "backends/soft/png_writer.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fpu {

namespace {

bool write_all(int fd, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes `bytes` to `path` without ever leaving it half written or removing what was there:
// a regular file (or a new one) is replaced only by a complete new file, renamed over it; a
// device, pipe or terminal is written as it is. Returns "" or the reason of the failure.
std::string replace_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return std::strerror(errno);
  if (exists && S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::strerror(errno);
    const bool written = write_all(fd, bytes);
    const int error = errno;
    if (::close(fd) != 0 && written) return std::strerror(errno);
    return written ? "" : std::strerror(error);
  }

  // The new file goes where the name leads (through symbolic links), so that a link stays a
  // link and the rename stays within one file system.
  std::string target = path;
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (!exists) return "it is a symbolic link to a missing file";
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return std::strerror(errno);
    target = real;
    std::free(real);
  }
  static std::atomic<unsigned> serial{0};
  const std::string folder = folder_of(target);
  const std::string base = target.substr(target.find_last_of('/') + 1);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = folder + "/." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
           std::to_string(serial++);
    // A new file gets the usual mode (the umask applies); a replaced one keeps its own.
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && (errno != EEXIST || attempt == 100)) {
      return "cannot make a temporary file in " + folder + ": " + std::strerror(errno);
    }
  }
  // Only root can give the file back to its owner; others make files of their own anyway.
  // The owner first: a change of owner clears the set-id bits.
  bool ok = !exists || ::geteuid() != 0 || ::fchown(fd, st.st_uid, st.st_gid) == 0;
  ok = ok && (!exists || ::fchmod(fd, st.st_mode & 07777) == 0);
  ok = ok && write_all(fd, bytes) && ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());  // ours: made above
    return std::strerror(error);
  }
  return {};
}

// Encodes `surface`, each pixel a scale x scale block, into `out`: one row at a time, so a
// large scale costs one row of memory, not a scaled copy. Returns "" or libpng's reason.
std::string encode_png(const Surface& surface, int scale, std::vector<std::uint8_t>& out) {
  struct Context {
    std::vector<std::uint8_t>* out;
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
        c->out->insert(c->out->end(), data, data + size);
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
    if (error != nullptr) *error = "cannot write '" + path + "': " + text;
    return false;
  };
  if (surface.width <= 0 || surface.height <= 0 || scale < 1 ||
      surface.pixels.size() !=
          static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(surface.height)) {
    return fail("the surface has no pixels or a wrong size");
  }
  // Encoded in memory: libpng's own file writer removes the file when a write fails, even a
  // file that was not its to remove.
  std::vector<std::uint8_t> encoded;
  if (std::string reason = encode_png(surface, scale, encoded); !reason.empty()) {
    return fail(reason);
  }
  if (std::string reason = replace_file(path, encoded); !reason.empty()) return fail(reason);
  return true;
}

}  // namespace fpu
