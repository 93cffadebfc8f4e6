// Helpers for tests and benchmarks that talk to a real viewer process in a private
// temporary directory.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace fpu::testing {

// The viewer program built with the tests, and its directory.
std::string viewer_program();
std::string viewer_program_dir();

// A fresh 0700 directory under /tmp, removed with everything in it on destruction.
class PrivateDir {
 public:
  PrivateDir();
  ~PrivateDir();
  PrivateDir(const PrivateDir&) = delete;
  PrivateDir& operator=(const PrivateDir&) = delete;
  const std::string& path() const { return path_; }
  std::string socket() const;

 private:
  std::string path_;
};

// Makes this process the reaper of the viewers it starts indirectly, and keeps them off any
// real display (their windows go to SDL's dummy driver).
void prepare_process();

// Starts `fpu-trace-viewer --headless --dir DIR` and waits until it answers. When
// `stdout_fd` is given it receives the read end of a pipe carrying the viewer's output,
// otherwise the output goes to /dev/null; `stderr_fd` likewise for its messages (by default
// they go where ours go).
pid_t start_headless_viewer(const std::string& dir, int* stdout_fd = nullptr,
                            int* stderr_fd = nullptr);

// A raw client connection to the viewer in `dir` (-1 when none answers).
int connect_viewer(const std::string& dir);
// The process id of the viewer answering in `dir`, if any.
std::optional<pid_t> viewer_pid(const std::string& dir);
// The viewer's whole text (nullopt when no viewer answers).
std::optional<std::string> viewer_text(const std::string& dir);
// Asks until the text equals `expected` or `timeout` passes; returns the last text seen.
std::string wait_for_text(const std::string& dir, const std::string& expected,
                          std::chrono::milliseconds timeout = std::chrono::seconds(5));
// Reads `count` lines from `fd` (waiting at most `timeout` in all).
std::vector<std::string> read_lines(int fd, std::size_t count,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(5));
// Stops the viewer answering in `dir` (SIGCONT then SIGTERM) and reaps it. True when none
// answers or it ended with status 0 (which under the sanitizers also means no leak).
bool stop_viewer(const std::string& dir);
// Waits for the process to end and reaps it; false when it did not end within `timeout`.
// `status` gets the wait status when the process was our child, else stays untouched.
bool reap(pid_t pid, std::chrono::milliseconds timeout = std::chrono::seconds(5),
          int* status = nullptr);

}  // namespace fpu::testing
