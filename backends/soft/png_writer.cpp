#include "backends/soft/png_writer.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace

bool write_png(const std::string& path, const Surface& surface, std::string* error) {
  const auto fail = [error, &path](const std::string& text) {
    if (error != nullptr) *error = "cannot write '" + path + "': " + text;
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
  if (std::string reason = replace_file(path, encoded); !reason.empty()) return fail(reason);
  return true;
}

}  // namespace fpu
