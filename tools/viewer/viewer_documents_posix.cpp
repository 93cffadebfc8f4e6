// Where the Linux viewer saves: the XDG documents folder, else the home folder.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "tools/viewer/viewer_save.h"

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

}  // namespace fpu::viewer
