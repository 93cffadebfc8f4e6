#include "tools/replay/script_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace fpu {

std::istream* open_replay_script(const std::string& path, std::ifstream& file, std::string* why) {
  if (path == "-") return &std::cin;
  file.open(path);
  const int error = errno;
  std::error_code ignored;
  // A folder opens, and only its reading fails.
  if (file && !std::filesystem::is_directory(path, ignored)) return &file;
  if (why != nullptr) *why = std::strerror(file ? EISDIR : error);
  file.close();
  return nullptr;
}

}  // namespace fpu
