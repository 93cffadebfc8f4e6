#include "trace/unix/viewer_trace_sink.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "trace/unix/viewer_endpoint.h"

namespace fpu {

namespace {

using namespace std::chrono_literals;

// Longest the user-interface thread waits at once for a viewer that has stopped reading.
constexpr auto kMaxWait = 50ms;
// The wait allowance grows back by this fraction of the time that passes, so a viewer that
// stopped reading costs at most a tenth of the time in the long run.
constexpr int kRefillDivisor = 10;
// Shorter waits are not worth a system call that sleeps at least this long anyway.
constexpr auto kMinWait = 1ms;
// A viewer that accepts no connection right now is asked again after this pause.
constexpr auto kBusyPause = 50ms;
// How long a freshly started viewer may take to open its endpoint, and how often we look.
constexpr auto kStartWait = 1s;
constexpr auto kStartPoll = 5ms;
// After a start that produced no endpoint, no new start for this long (each costs kStartWait).
constexpr auto kStartPause = 10s;
// Room for bursts of lines while the viewer is busy elsewhere.
constexpr int kSendBuffer = 1 << 20;

}  // namespace

UnixViewerTraceSink::UnixViewerTraceSink(std::string program_dir, std::string endpoint_dir)
    : endpoint_dir_(endpoint_dir.empty() ? viewer::default_endpoint_dir()
                                         : std::move(endpoint_dir)),
      wait_budget_(kMaxWait),
      budget_time_(Clock::now()) {
  if (!program_dir.empty()) program_path_ = program_dir + "/" + viewer::kProgramName;
  socket_path_ = viewer::socket_path(endpoint_dir_);
}

UnixViewerTraceSink::~UnixViewerTraceSink() {
  disconnect();
}

void UnixViewerTraceSink::disconnect() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::intptr_t UnixViewerTraceSink::send_trace_line(const char* text) {
  char message[viewer::kMaxMessage];
  const std::size_t length = text == nullptr ? 0 : std::strlen(text);
  if (length + 1 > sizeof message) {
    ++dropped_;
    return 0;
  }
  message[0] = viewer::kTagLine;
  std::memcpy(message + 1, text, length);
  const std::size_t size = length + 1;

  // Looking the viewer up for every line: a connection is kept only while the endpoint on
  // disk is still the one it was made to.
  if (fd_ >= 0 && directory_changed() && !connected_endpoint_unchanged()) disconnect();
  if (fd_ >= 0) {
    if (send_message(message, size)) {
      ++delivered_;
      return 1;
    }
    if (fd_ >= 0) {  // the viewer is alive but not reading: drop, keep the connection
      ++dropped_;
      return 0;
    }
  }
  if (look_up() == Lookup::found && send_message(message, size)) {
    ++delivered_;
    return 1;
  }
  ++dropped_;
  return 0;
}

bool UnixViewerTraceSink::wait_until_read(std::chrono::milliseconds timeout) {
  if (fd_ < 0) return false;
  const auto deadline = Clock::now() + timeout;
  auto wait_for = [&](short events) {
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() < 0) return false;
      pollfd pfd{fd_, events, 0};
      const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
      if (ready > 0) return true;
      if (ready == 0 || errno != EINTR) return false;
    }
  };
  const char ping = viewer::kTagPing;
  while (::send(fd_, &ping, 1, MSG_NOSIGNAL | MSG_DONTWAIT) != 1) {
    if ((errno != EAGAIN && errno != EINTR) || !wait_for(POLLOUT)) return false;
  }
  char reply[8];
  while (wait_for(POLLIN)) {
    const ssize_t n = ::recv(fd_, reply, sizeof reply, MSG_DONTWAIT);
    if (n == 1 && reply[0] == viewer::kTagPing) return true;
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
  }
  return false;
}

bool UnixViewerTraceSink::connected_endpoint_unchanged() const {
  struct stat st {};
  return ::lstat(socket_path_.c_str(), &st) == 0 && st.st_dev == endpoint_dev_ &&
         st.st_ino == endpoint_ino_ && st.st_uid == ::geteuid() &&
         viewer::is_private_dir(endpoint_dir_);
}

// Whether anything happened in the endpoint directory since the last line. Reading the
// directory's change notifications costs far less than looking at the files for every line.
bool UnixViewerTraceSink::directory_changed() {
  if (!watching_) return true;
  alignas(inotify_event) char events[4096];
  bool changed = false;
  for (;;) {
    const ssize_t n = ::read(watch_fd_, events, sizeof events);
    if (n <= 0) break;
    changed = true;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      if ((event->mask & (IN_IGNORED | IN_Q_OVERFLOW)) != 0) watching_ = false;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return changed;
}

void UnixViewerTraceSink::watch_directory() {
  if (watch_fd_ < 0) watch_fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_fd_ < 0) return;  // without notifications every line looks at the files
  directory_changed();
  watching_ =
      ::inotify_add_watch(watch_fd_, endpoint_dir_.c_str(),
                          IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                              IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW | IN_ONLYDIR) >= 0;
}

bool UnixViewerTraceSink::send_message(const char* data, std::size_t size) {
  for (;;) {
    if (::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) {
      stalled_ = false;
      return true;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) {
      disconnect();  // the viewer has gone
      return false;
    }
    // The viewer is not reading. Wait for room, but only within the allowance; once it ran
    // out, lines are dropped without waiting until a send succeeds or the allowance is whole.
    const auto now = Clock::now();
    wait_budget_ =
        std::min<Clock::duration>(kMaxWait, wait_budget_ + (now - budget_time_) / kRefillDivisor);
    budget_time_ = now;
    if (stalled_ && wait_budget_ < kMaxWait) return false;
    stalled_ = wait_budget_ < kMinWait;
    if (stalled_) return false;

    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait_budget_).count();
    const timespec timeout{static_cast<time_t>(ns / 1000000000),
                           static_cast<long>(ns % 1000000000)};
    pollfd pfd{fd_, POLLOUT, 0};
    const int ready = ::ppoll(&pfd, 1, &timeout, nullptr);
    const auto after = Clock::now();
    wait_budget_ -= after - now;
    budget_time_ = after;
    if (ready == 0) {
      wait_budget_ = Clock::duration::zero();
      stalled_ = true;
      return false;
    }
  }
}

UnixViewerTraceSink::Lookup UnixViewerTraceSink::look_up() {
  disconnect();
  if (socket_path_.empty() || Clock::now() < next_look_up_) return Lookup::refused;

  auto connect_once = [this]() -> Lookup {
    // The viewer creates a missing directory; one that others can reach is never used.
    struct stat dir {};
    if (::lstat(endpoint_dir_.c_str(), &dir) != 0) return Lookup::absent;
    if (!viewer::is_private_dir(endpoint_dir_)) return Lookup::refused;
    // Watching starts before the endpoint is examined, so no later change goes unseen.
    watch_directory();
    struct stat before {};
    if (::lstat(socket_path_.c_str(), &before) != 0) return Lookup::absent;
    // Something that is not a socket of ours is not a viewer, and a viewer we start would
    // not remove it either.
    if (!S_ISSOCK(before.st_mode) || before.st_uid != ::geteuid()) return Lookup::refused;
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return Lookup::refused;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socket_path_.c_str(), socket_path_.size() + 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      const int error = errno;
      ::close(fd);
      // A stale endpoint means no viewer; a full backlog means a viewer that is not accepting.
      return (error == ECONNREFUSED || error == ENOENT) ? Lookup::absent : Lookup::refused;
    }
    ucred peer{};
    socklen_t peer_size = sizeof peer;
    struct stat after {};
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peer_size) != 0 ||
        peer.uid != ::geteuid() || ::lstat(socket_path_.c_str(), &after) != 0 ||
        after.st_dev != before.st_dev || after.st_ino != before.st_ino) {
      ::close(fd);
      return Lookup::refused;
    }
    const int buffer = kSendBuffer;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    fd_ = fd;
    endpoint_dev_ = after.st_dev;
    endpoint_ino_ = after.st_ino;
    return Lookup::found;
  };

  Lookup result = connect_once();
  if (result == Lookup::absent && start_viewer()) {
    const auto deadline = Clock::now() + kStartWait;
    do {
      std::this_thread::sleep_for(kStartPoll);
      result = connect_once();
    } while (result == Lookup::absent && Clock::now() < deadline);
    if (result == Lookup::absent) next_start_ = Clock::now() + kStartPause;
  }
  if (result == Lookup::refused) next_look_up_ = Clock::now() + kBusyPause;
  return result;
}

bool UnixViewerTraceSink::start_viewer() {
  if (program_path_.empty() || Clock::now() < next_start_) return false;
  // A missing program costs a stat: no process is created for nothing.
  struct stat st {};
  if (::stat(program_path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      ::access(program_path_.c_str(), X_OK) != 0) {
    return false;
  }

  // Everything the child needs is prepared here: after fork only async-signal-safe calls.
  std::string dir_flag = "--dir";
  char* const argv[] = {program_path_.data(), dir_flag.data(), endpoint_dir_.data(), nullptr};
  sigset_t no_signals;
  ::sigemptyset(&no_signals);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;

  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    // Detach: a new session, and the viewer is a grandchild so nobody has to reap it.
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      ::dup2(null_fd, 0);
      ::dup2(null_fd, 1);
      ::dup2(null_fd, 2);
    }
    ::close_range(3, ~0U, 0);
    ::sigprocmask(SIG_SETMASK, &no_signals, nullptr);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
      ::sigaction(signal_number, &default_action, nullptr);
    }
    ::execv(argv[0], argv);
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  ++starts_;
  return true;
}

}  // namespace fpu
