// Change notifications of one folder: reading them costs far less than looking at the
// files for every line.
#pragma once

#include <string>

namespace fpu::viewer {

class DirectoryWatch {
 public:
  DirectoryWatch() = default;
  ~DirectoryWatch();
  DirectoryWatch(const DirectoryWatch&) = delete;
  DirectoryWatch& operator=(const DirectoryWatch&) = delete;

  // Starts (or renews) watching `dir` for entries created, removed, renamed or changed.
  void watch(const std::string& dir);
  // Whether anything happened in the folder since the last call; true while not watching.
  bool changed();

 private:
  int fd_ = -1;
  bool watching_ = false;
};

}  // namespace fpu::viewer
