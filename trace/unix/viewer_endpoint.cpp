#include "trace/unix/viewer_endpoint.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace fpu::viewer {

namespace {

bool usable_runtime_dir(const char* dir) {
  return dir != nullptr && dir[0] == '/' && is_private_dir(dir);
}

// Display names longer than this are shortened, keeping their end and a hash of the whole.
constexpr std::size_t kMaxDisplayPart = 48;

std::string sanitised(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '-';
    if (!keep) c = '_';
  }
  if (out.size() <= kMaxDisplayPart) return out;
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", hash);
  return out.substr(out.size() - (kMaxDisplayPart - 9)) + "-" + hex;
}

}  // namespace

bool is_private_dir(const std::string& dir) {
  struct stat st {};
  if (dir.empty() || ::lstat(dir.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0700;
}

std::string default_endpoint_dir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (usable_runtime_dir(runtime)) return runtime;
  const char* tmp = std::getenv("TMPDIR");
  std::string base = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/fpu-trace-" + std::to_string(::geteuid());
}

std::string private_dir_problem(const std::string& dir) {
  struct stat st {};
  if (dir.empty()) return "no folder was given";
  if (::lstat(dir.c_str(), &st) != 0) {
    return "cannot use the folder " + dir + ": " + std::strerror(errno);
  }
  if (S_ISLNK(st.st_mode)) return dir + " is a symbolic link, not a folder of its own";
  if (!S_ISDIR(st.st_mode)) return dir + " is not a folder";
  if (st.st_uid != ::geteuid()) {
    return "the folder " + dir + " belongs to user " + std::to_string(st.st_uid) +
           ", not to this user (" + std::to_string(::geteuid()) + ")";
  }
  if ((st.st_mode & 07777) != 0700) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "the folder " + dir + " is open to other users (mode " + mode + ", not 0700)";
  }
  return {};
}

bool ensure_private_dir(const std::string& dir, std::string* why) {
  if (!dir.empty() && ::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    if (why != nullptr) {
      const auto slash = dir.find_last_of('/');
      const std::string parent = slash == std::string::npos ? "."
                                 : slash == 0               ? "/"
                                                            : dir.substr(0, slash);
      *why = "cannot make the folder " + dir + ": " +
             (errno == ENOENT ? "the folder " + parent + " is missing" : std::strerror(errno));
    }
    return false;
  }
  std::string problem = private_dir_problem(dir);
  if (why != nullptr) *why = problem;
  return problem.empty();
}

std::string endpoint_name(const char* x_display, const char* wayland_display) {
  std::string_view display;
  if (x_display != nullptr && x_display[0] != '\0') {
    display = x_display;
    // ":61" and ":61.0" are one display: the screen number after the last colon goes.
    const auto colon = display.rfind(':');
    const auto dot = display.rfind('.');
    if (colon != display.npos && dot != display.npos && dot > colon)
      display = display.substr(0, dot);
  } else if (wayland_display != nullptr && wayland_display[0] != '\0') {
    display = wayland_display;
  }
  if (display.empty()) return kEndpointPrefix;
  return std::string(kEndpointPrefix) + "-" + sanitised(display);
}

std::string endpoint_name() {
  return endpoint_name(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
}

std::string lock_path(const std::string& dir) {
  return dir + "/" + endpoint_name() + ".lock";
}

std::string socket_path(const std::string& dir) {
  std::string path = dir + "/" + endpoint_name() + ".sock";
  if (dir.empty() || path.size() >= sizeof(sockaddr_un::sun_path)) return {};
  return path;
}

std::string running_executable_dir() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(n));
      const auto slash = path.rfind('/');
      if (slash == std::string::npos) return {};
      return slash == 0 ? "/" : path.substr(0, slash);
    }
    if (buffer.size() >= 65536) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace fpu::viewer
