#include "tools/viewer/viewer_save.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace fpu::viewer {

namespace {

std::string home_dir(const EnvLookup& env) {
  const char* home = env("HOME");
  if (home != nullptr && home[0] == '/') return home;
  if (const passwd* user = ::getpwuid(::geteuid()); user != nullptr && user->pw_dir != nullptr) {
    return user->pw_dir;
  }
  return "/";
}

bool is_dir(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The value of XDG_DOCUMENTS_DIR in a user-dirs.dirs file: "$HOME/..." or an absolute path,
// in double quotes. Empty when the file has no such line.
std::string documents_from_user_dirs(const std::string& file, const std::string& home) {
  std::ifstream in(file);
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=\"";
  while (std::getline(in, line)) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
    const auto value_start = start + key.size();
    const auto close = line.find('"', value_start);
    if (close == std::string::npos) continue;
    std::string value = line.substr(value_start, close - value_start);
    if (value.starts_with("$HOME")) value = home + value.substr(5);
    if (!value.starts_with("/")) continue;
    return value;
  }
  return {};
}

std::string describe(const char* step, const std::string& path, int error) {
  return std::string(step) + " " + path + ": " + std::strerror(error);
}

// The permissions a file created by the user normally gets.
mode_t default_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::string documents_dir(const EnvLookup& env) {
  const std::string home = home_dir(env);
  const char* direct = env("XDG_DOCUMENTS_DIR");
  if (direct != nullptr && direct[0] == '/' && is_dir(direct)) return direct;
  const char* config = env("XDG_CONFIG_HOME");
  const std::string config_dir =
      config != nullptr && config[0] == '/' ? std::string(config) : home + "/.config";
  const std::string listed = documents_from_user_dirs(config_dir + "/user-dirs.dirs", home);
  if (is_dir(listed)) return listed;
  return home;
}

SaveResult save_text(const std::string& text, const std::string& dir, std::time_t when) {
  SaveResult result;
  const std::string name = save_file_name(when);
  const std::string base = dir + (dir.ends_with("/") ? "" : "/");
  result.path = base + name;

  std::string temp = base + ".fpu-trace-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    result.error = describe("cannot create a file in", dir, errno);
    return result;
  }
  int error = 0;
  const char* step = "cannot write";
  for (std::size_t done = 0; done < text.size() && error == 0;) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  if (error == 0 && (::fchmod(fd, default_file_mode()) != 0 || ::fsync(fd) != 0)) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;

  // The final name is taken only by a rename that replaces nothing.
  for (int attempt = 1; error == 0; ++attempt) {
    if (attempt > 1) {
      result.path = base + name.substr(0, name.size() - 4) + "-" + std::to_string(attempt) + ".txt";
    }
    int renamed =
        ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, result.path.c_str(), RENAME_NOREPLACE);
    // File systems without that rename: a hard link also refuses an existing name.
    if (renamed != 0 && errno == EINVAL) {
      renamed = ::link(temp.c_str(), result.path.c_str());
      if (renamed == 0) ::unlink(temp.c_str());
    }
    if (renamed == 0) {
      result.ok = true;
      return result;
    }
    if (errno == EEXIST && attempt < 100) continue;
    error = errno;
    step = "cannot rename the saved text to";
  }
  ::unlink(temp.c_str());
  result.error = describe(step, result.path, error);
  return result;
}

}  // namespace fpu::viewer
