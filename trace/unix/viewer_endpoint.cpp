#include "trace/unix/viewer_endpoint.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace fpu::viewer {

namespace {

bool usable_runtime_dir(const char* dir) {
  return dir != nullptr && dir[0] == '/' && is_private_dir(dir);
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

bool ensure_private_dir(const std::string& dir) {
  if (dir.empty()) return false;
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return is_private_dir(dir);
}

std::string socket_path(const std::string& dir) {
  std::string path = dir + "/" + kSocketName;
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
