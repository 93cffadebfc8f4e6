#include "trace/unix/viewer_starter.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "trace/unix/viewer_endpoint.h"
#include "trace/unix/viewer_spawn.h"

namespace fpu::viewer {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How long a freshly started viewer may take to open its endpoint, and how often we look.
constexpr auto kStartWait = 1s;
constexpr auto kStartPoll = 5ms;

}  // namespace

ViewerStarter::~ViewerStarter() {
  if (thread_.joinable()) thread_.join();
  if (started_.fd >= 0) ::close(started_.fd);
}

void ViewerStarter::start(const std::string& program, const std::string& dir,
                          const std::string& socket_path, std::vector<std::string> arguments) {
  program_ = program;
  arguments_ = std::move(arguments);
  dir_ = dir;
  socket_path_ = socket_path;
  {
    std::lock_guard lock(mutex_);
    done_ = false;
    held_.clear();
    started_ = {};
    started_dropped_ = 0;
    failure_.clear();
  }
  thread_ = std::thread([this] { run(); });
}

ViewerStarter::Hold ViewerStarter::hold_while_starting(const char* text, std::size_t length) {
  std::lock_guard lock(mutex_);
  if (done_) return Hold::done;
  return held_.add(text, length) ? Hold::held : Hold::dropped;
}

bool ViewerStarter::hold(const char* text, std::size_t length) {
  std::lock_guard lock(mutex_);
  return held_.add(text, length);
}

bool ViewerStarter::wait_until_done(Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  return finished_.wait_until(lock, deadline, [this] { return done_; });
}

// On the starter thread: the process creation, the wait for the endpoint and the first
// lines all stay away from the user-interface thread.
void ViewerStarter::run() {
  Connection connection;
  std::string failure;
  const pid_t viewer_pid = spawn_viewer(program_, dir_, arguments_);
  if (viewer_pid <= 0) {
    failure = "the trace viewer " + program_ + " could not be started";
  } else {
    // Watching the process tells at once when it exits instead of waiting out the limit.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, viewer_pid, 0));
    const auto deadline = Clock::now() + kStartWait;
    bool exited = false;
    std::string why;
    for (;;) {
      pollfd pfd{pidfd, POLLIN, 0};
      const int ms = static_cast<int>(kStartPoll.count());
      if (::poll(&pfd, pidfd >= 0 ? 1 : 0, ms) > 0) exited = true;
      if (probe_endpoint(dir_, socket_path_, "", &connection, &why) == Probe::found) break;
      if (exited) {
        failure =
            "the trace viewer exited at once (run " + program_ + " --dir " + dir_ + " to see why)";
        break;
      }
      if (Clock::now() > deadline) {
        failure = "the trace viewer did not open " + socket_path_ + " within a second";
        break;
      }
    }
    if (pidfd >= 0) ::close(pidfd);
  }

  // The lines held so far go first, in order. Lines held while they go out are left to the
  // user-interface thread, so that a steady stream of new lines cannot keep this thread busy.
  HeldLines batch;
  std::uint64_t dropped = 0;
  if (connection.fd >= 0) {
    {
      std::lock_guard lock(mutex_);
      batch.swap(held_);
    }
    dropped = flush(connection.fd, batch);
  }
  {
    std::lock_guard lock(mutex_);
    started_ = connection;
    started_dropped_ = dropped;
    failure_ = std::move(failure);
    done_ = true;
  }
  finished_.notify_all();
}

std::uint64_t ViewerStarter::flush(int fd, const HeldLines& batch) {
  std::uint64_t dropped = 0;
  char message[kMaxMessage];
  message[0] = kTagLine;
  const auto deadline = Clock::now() + kStartWait;
  batch.for_each([&](std::string_view line) {
    std::memcpy(message + 1, line.data(), line.size());
    bool sent = false;
    for (;;) {
      if (::send(fd, message, line.size() + 1, MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) {
        sent = true;
        break;
      }
      if (errno == EINTR) continue;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd pfd{fd, POLLOUT, 0};
      if ((errno != EAGAIN && errno != ENOBUFS) || left.count() <= 0 ||
          ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
        break;
      }
    }
    ++(sent ? counts_.delivered : counts_.dropped);
    if (!sent) ++dropped;
  });
  return dropped;
}

ViewerStarter::Outcome ViewerStarter::finish() {
  thread_.join();
  Outcome outcome;
  std::lock_guard lock(mutex_);
  outcome.connection = started_;
  outcome.dropped = started_dropped_;
  outcome.failure = std::move(failure_);
  outcome.rest.swap(held_);
  started_ = {};
  return outcome;
}

}  // namespace fpu::viewer
