#include "tests/harness/viewer_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "trace/unix/viewer_endpoint.h"

extern char** environ;

namespace fpu::testing {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string viewer_program() {
  return FPU_TRACE_VIEWER_PATH;
}

std::string viewer_program_dir() {
  return std::filesystem::path(viewer_program()).parent_path().string();
}

PrivateDir::PrivateDir() {
  char pattern[] = "/tmp/fpu-trace-test-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

PrivateDir::~PrivateDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string PrivateDir::socket() const {
  return viewer::socket_path(path_);
}

void prepare_process() {
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  // Viewers the sinks start open their window on SDL's dummy driver: without a display
  // they would stop at once.
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
}

int connect_viewer(const std::string& dir) {
  const std::string path = viewer::socket_path(dir);
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::optional<pid_t> viewer_pid(const std::string& dir) {
  const int fd = connect_viewer(dir);
  if (fd < 0) return std::nullopt;
  ucred peer{};
  socklen_t size = sizeof peer;
  const bool ok = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0;
  ::close(fd);
  if (!ok) return std::nullopt;
  return peer.pid;
}

std::optional<std::string> viewer_text(const std::string& dir) {
  const int fd = connect_viewer(dir);
  if (fd < 0) return std::nullopt;
  const char query = viewer::kTagText;
  std::optional<std::string> text;
  pollfd pfd{fd, POLLIN, 0};
  if (::send(fd, &query, 1, MSG_NOSIGNAL) == 1 && ::poll(&pfd, 1, 5000) == 1) {
    std::string reply(viewer::kMaxTextReply + 1, '\0');
    const ssize_t n = ::recv(fd, reply.data(), reply.size(), 0);
    if (n >= 1 && reply[0] == viewer::kTagText)
      text = reply.substr(1, static_cast<std::size_t>(n) - 1);
  }
  ::close(fd);
  return text;
}

std::string wait_for_text(const std::string& dir, const std::string& expected,
                          std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string last;
  for (;;) {
    last = viewer_text(dir).value_or("<no viewer>");
    if (last == expected || Clock::now() > deadline) return last;
    std::this_thread::sleep_for(5ms);
  }
}

pid_t start_headless_viewer(const std::string& dir, int* stdout_fd, int* stderr_fd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipe_fds[2] = {-1, -1};
  if (stdout_fd != nullptr) {
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  int err_fds[2] = {-1, -1};
  if (stderr_fd != nullptr) {
    if (::pipe2(err_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_adddup2(&actions, err_fds[1], 2);
  }
  const std::string program = viewer_program();
  std::string headless = "--headless";
  std::string dir_flag = "--dir";
  std::string dir_copy = dir;
  char* const argv[] = {const_cast<char*>(program.c_str()), headless.data(), dir_flag.data(),
                        dir_copy.data(), nullptr};
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (stdout_fd != nullptr) {
    ::close(pipe_fds[1]);
    *stdout_fd = pipe_fds[0];
  }
  if (stderr_fd != nullptr) {
    ::close(err_fds[1]);
    *stderr_fd = err_fds[0];
  }
  if (error != 0) throw std::runtime_error("cannot start the viewer");
  const auto deadline = Clock::now() + 10s;
  while (viewer_pid(dir) != pid) {
    if (Clock::now() > deadline) throw std::runtime_error("the viewer did not open its endpoint");
    std::this_thread::sleep_for(2ms);
  }
  return pid;
}

std::vector<std::string> read_lines(int fd, std::size_t count, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::vector<std::string> lines;
  std::string pending;
  while (lines.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd pfd{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) != 1) break;
    // One byte at a time: nothing past the requested lines is consumed.
    char c = 0;
    if (::read(fd, &c, 1) != 1) break;
    if (c == '\n') {
      lines.push_back(pending);
      pending.clear();
    } else {
      pending += c;
    }
  }
  return lines;
}

bool reap(pid_t pid, std::chrono::milliseconds timeout, int* status) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const pid_t done = ::waitpid(pid, status, WNOHANG);
    if (done == pid) return true;
    // Not our child: wait until it is gone.
    if (done < 0 && errno == ECHILD && ::kill(pid, 0) != 0) return true;
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
}

bool stop_viewer(const std::string& dir) {
  const auto pid = viewer_pid(dir);
  if (!pid) return true;
  ::kill(*pid, SIGCONT);
  ::kill(*pid, SIGTERM);
  int status = 0;
  if (!reap(*pid, std::chrono::seconds(5), &status)) {
    ::kill(*pid, SIGKILL);
    reap(*pid);
    return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace fpu::testing
