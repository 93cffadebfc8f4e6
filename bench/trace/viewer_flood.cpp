// The headless viewer's resident memory under a flood of lines.
//   viewer_flood empty|art SECONDS [DIR]
// Starts a headless viewer in a private folder, sends it lines of the kind named as fast as
// it takes them for SECONDS, and prints the lines sent and the viewer's resident memory
// (now and at its peak). Given DIR, floods the viewer already answering there instead (a
// windowed one, measured by its starter) and leaves it running.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/harness/viewer_harness.h"

namespace {

long status_kb(pid_t pid, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.starts_with(field)) return std::atol(line.c_str() + std::strlen(field));
  }
  return -1;
}

// A line of string art: a ring of characters drawn across a 120-column row.
std::string art_line(unsigned i) {
  std::string line = "L";
  for (unsigned x = 0; x < 120; ++x) line += ((x * x + i) % 7 == 0) ? '*' : ' ';
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc != 3 && argc != 4) ||
      (std::strcmp(argv[1], "empty") != 0 && std::strcmp(argv[1], "art") != 0)) {
    std::fprintf(stderr, "usage: viewer_flood empty|art SECONDS [DIR]\n");
    return 2;
  }
  const bool empty = std::strcmp(argv[1], "empty") == 0;
  const auto seconds = std::chrono::seconds(std::atoi(argv[2]));
  const bool own = argc == 3;
  if (own) fpu::testing::prepare_process();
  fpu::testing::PrivateDir private_dir;
  const std::string dir_path = own ? private_dir.path() : std::string(argv[3]);
  const pid_t viewer = own ? fpu::testing::start_headless_viewer(dir_path)
                           : fpu::testing::viewer_pid(dir_path).value_or(-1);
  const int fd = fpu::testing::connect_viewer(dir_path);
  if (viewer <= 0 || fd < 0) {
    std::fprintf(stderr, "viewer_flood: no viewer\n");
    return 1;
  }
  std::string art[64];
  for (unsigned i = 0; i < 64; ++i) art[i] = art_line(i);
  // A first line with text: an empty text stays empty under empty lines (as an edit
  // control's does), so the flood begins after it.
  if (::send(fd, "Lstart", 6, MSG_NOSIGNAL) < 0) return 1;
  unsigned long long sent = 1;
  const auto until = std::chrono::steady_clock::now() + seconds;
  while (std::chrono::steady_clock::now() < until) {
    for (int burst = 0; burst < 1000; ++burst, ++sent) {
      const std::string& line = empty ? std::string("L") : art[sent % 64];
      if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) < 0) {
        std::perror("viewer_flood: send");
        return 1;
      }
    }
  }
  // The viewer takes what is queued before it is measured.
  fpu::testing::viewer_text(dir_path);
  std::printf("%s lines: %llu sent in %lld s, viewer RSS %ld kB, peak %ld kB\n", argv[1], sent,
              static_cast<long long>(seconds.count()), status_kb(viewer, "VmRSS:"),
              status_kb(viewer, "VmHWM:"));
  ::close(fd);
  if (own) fpu::testing::stop_viewer(dir_path);
  return 0;
}
