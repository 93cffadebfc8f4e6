#include "trace/unix/viewer_trace_sink.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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
// After a start that produced no endpoint, no new start for this long.
constexpr auto kStartPause = 10s;
// Room for bursts of lines while the viewer is busy elsewhere.
constexpr int kSendBuffer = 1 << 20;
// Lines held for a starting viewer: several frames of string art.
constexpr std::size_t kMaxHeld = 1 << 20;

std::string parent_of(const std::string& dir) {
  const auto slash = dir.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : dir.substr(0, slash);
}

}  // namespace

UnixViewerTraceSink::UnixViewerTraceSink(std::string program_dir, std::string endpoint_dir)
    : endpoint_dir_(endpoint_dir.empty() ? viewer::default_endpoint_dir() : endpoint_dir),
      wait_budget_(kMaxWait),
      budget_time_(Clock::now()) {
  if (!program_dir.empty()) program_path_ = program_dir + "/" + viewer::kProgramName;
  socket_path_ = viewer::socket_path(endpoint_dir_);
  hint_ = endpoint_dir.empty() ? "; set XDG_RUNTIME_DIR to a private folder of yours" : "";
  notice_ = [](const std::string& text) {
    std::fprintf(stderr, "%s: trace delivery is off: %s\n", program_invocation_short_name,
                 text.c_str());
  };
}

UnixViewerTraceSink::~UnixViewerTraceSink() {
  // A start in progress ends within its own time limit; the lines it holds go out if the
  // viewer comes up.
  if (starter_.joinable()) starter_.join();
  if (started_.fd >= 0) ::close(started_.fd);
  disconnect();
  if (watch_fd_ >= 0) ::close(watch_fd_);
}

void UnixViewerTraceSink::disconnect() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  // Lines a viewer never saw are not reported to the next one: it starts afresh.
  unreported_ = 0;
}

bool UnixViewerTraceSink::report_drops() {
  if (unreported_ == 0) return true;
  char message[32];
  const int size = std::snprintf(message, sizeof message, "%c%llu", viewer::kTagDropped,
                                 static_cast<unsigned long long>(unreported_));
  if (!send_message(message, static_cast<std::size_t>(size))) return false;
  unreported_ = 0;
  return true;
}

void UnixViewerTraceSink::say_once(Notice which, const std::string& text) {
  if ((said_ & which) != 0) return;
  said_ |= which;
  if (notice_) notice_(text);
}

std::intptr_t UnixViewerTraceSink::send_trace_line(const char* text) {
  char message[viewer::kMaxMessage];
  if (text == nullptr) text = "";  // sent as an empty line
  const std::size_t length = std::strlen(text);
  if (length + 1 > sizeof message) {
    ++dropped_;
    if (fd_ >= 0) ++unreported_;
    return 0;
  }
  message[0] = viewer::kTagLine;
  std::memcpy(message + 1, text, length);
  const std::size_t size = length + 1;

  if (starter_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      if (!start_done_) return hold(text, length) ? 1 : 0;
    }
    finish_start();
  }
  // Looking the viewer up for every line: a connection is kept only while the endpoint on
  // disk is still the one it was made to.
  if (fd_ >= 0 && directory_changed() && !connected_endpoint_unchanged()) disconnect();
  if (fd_ >= 0) {
    if (report_drops() && send_message(message, size)) {
      ++delivered_;
      return 1;
    }
    if (fd_ >= 0) {  // the viewer is alive but not reading: drop, keep the connection
      ++dropped_;
      ++unreported_;
      return 0;
    }
  }
  switch (look_up()) {
    case Lookup::found:
      if (send_message(message, size)) {
        ++delivered_;
        return 1;
      }
      break;
    case Lookup::starting: {
      std::lock_guard lock(mutex_);
      return hold(text, length) ? 1 : 0;
    }
    case Lookup::absent:
    case Lookup::refused:
      break;
  }
  ++dropped_;
  return 0;
}

bool UnixViewerTraceSink::hold(const char* text, std::size_t length) {
  if (held_.size() + length + 1 > kMaxHeld) {
    ++dropped_;
    return false;
  }
  held_.append(text, length);
  held_ += '\0';
  return true;
}

bool UnixViewerTraceSink::wait_until_read(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  if (starter_.joinable()) {
    std::unique_lock lock(mutex_);
    if (!start_finished_.wait_until(lock, deadline, [this] { return start_done_; })) return false;
    lock.unlock();
    finish_start();
  }
  if (fd_ < 0) return false;
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

UnixViewerTraceSink::Lookup UnixViewerTraceSink::probe(Connection* connection, std::string* why,
                                                       bool watch) {
  // The viewer creates a missing directory, as long as the folder it goes in exists.
  struct stat dir {};
  if (::lstat(endpoint_dir_.c_str(), &dir) != 0) {
    if (errno != ENOENT) {
      *why = "cannot look at the folder " + endpoint_dir_ + ": " + std::strerror(errno);
      return Lookup::refused;
    }
    const std::string parent = parent_of(endpoint_dir_);
    struct stat up {};
    if (::stat(parent.c_str(), &up) != 0 || !S_ISDIR(up.st_mode)) {
      *why = "the folder " + parent + " is missing, so there is no place for " + endpoint_dir_;
      return Lookup::refused;
    }
    return Lookup::absent;
  }
  // A directory that others can reach is never used.
  if (std::string problem = viewer::private_dir_problem(endpoint_dir_); !problem.empty()) {
    *why = problem + hint_;
    return Lookup::refused;
  }
  // Watching starts before the endpoint is examined, so no later change goes unseen.
  if (watch) watch_directory();
  struct stat before {};
  if (::lstat(socket_path_.c_str(), &before) != 0) return Lookup::absent;
  // Something that is not a socket of ours is not a viewer, and a viewer we start would
  // not remove it either.
  if (!S_ISSOCK(before.st_mode) || before.st_uid != ::geteuid()) {
    *why = socket_path_ + " is not a trace viewer's socket of this user";
    return Lookup::refused;
  }
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
  *connection = {fd, after.st_dev, after.st_ino};
  return Lookup::found;
}

UnixViewerTraceSink::Lookup UnixViewerTraceSink::look_up() {
  disconnect();
  if (socket_path_.empty()) {
    say_once(notice_folder, "the folder name " + endpoint_dir_ + " is too long for a socket");
    return Lookup::refused;
  }
  if (Clock::now() < next_look_up_) return Lookup::refused;
  Connection connection;
  std::string why;
  const Lookup result = probe(&connection, &why, true);
  if (result == Lookup::found) {
    fd_ = connection.fd;
    endpoint_dev_ = connection.dev;
    endpoint_ino_ = connection.ino;
    return result;
  }
  if (result == Lookup::absent && start_viewer()) return Lookup::starting;
  if (result == Lookup::refused) {
    next_look_up_ = Clock::now() + kBusyPause;
    if (!why.empty()) {
      say_once(why.starts_with(socket_path_) ? notice_endpoint : notice_folder, why);
    }
  }
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
  {
    std::lock_guard lock(mutex_);
    start_done_ = false;
    held_.clear();
    started_ = {};
    start_failure_.clear();
  }
  start_arguments_ = viewer_arguments_ ? viewer_arguments_() : std::vector<std::string>{};
  ++starts_;
  starter_ = std::thread([this] { run_start(); });
  return true;
}

// On the starter thread: the process creation, the wait for the endpoint and the first
// lines all stay away from the user-interface thread.
void UnixViewerTraceSink::run_start() {
  Connection connection;
  std::string failure;
  const pid_t viewer_pid = spawn_viewer();
  if (viewer_pid <= 0) {
    failure = "the trace viewer " + program_path_ + " could not be started";
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
      if (probe(&connection, &why, false) == Lookup::found) break;
      if (exited) {
        failure = "the trace viewer exited at once (run " + program_path_ + " --dir " +
                  endpoint_dir_ + " to see why)";
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
  std::string batch;
  if (connection.fd >= 0) {
    {
      std::lock_guard lock(mutex_);
      batch.swap(held_);
    }
    connection.dropped = flush_held(connection.fd, batch);
  }
  {
    std::lock_guard lock(mutex_);
    started_ = connection;
    start_failure_ = std::move(failure);
    start_done_ = true;
  }
  start_finished_.notify_all();
}

std::uint64_t UnixViewerTraceSink::flush_held(int fd, const std::string& batch) {
  std::uint64_t dropped = 0;
  char message[viewer::kMaxMessage];
  message[0] = viewer::kTagLine;
  const auto deadline = Clock::now() + kStartWait;
  for (std::size_t at = 0; at < batch.size();) {
    const std::size_t end = batch.find('\0', at);
    const std::size_t length = end - at;
    std::memcpy(message + 1, batch.data() + at, length);
    at = end + 1;
    bool sent = false;
    while (fd >= 0) {
      if (::send(fd, message, length + 1, MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) {
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
    ++(sent ? delivered_ : dropped_);
    if (!sent) ++dropped;
  }
  return dropped;
}

void UnixViewerTraceSink::finish_start() {
  starter_.join();
  Connection connection;
  std::string failure;
  {
    std::lock_guard lock(mutex_);
    connection = started_;
    started_ = {};
    failure = std::move(start_failure_);
  }
  std::string rest;
  {
    std::lock_guard lock(mutex_);
    rest.swap(held_);
  }
  if (connection.fd < 0) {
    dropped_ += static_cast<std::uint64_t>(std::count(rest.begin(), rest.end(), '\0'));
    next_start_ = Clock::now() + kStartPause;
    if (!failure.empty()) say_once(notice_start, failure);
    return;
  }
  disconnect();
  fd_ = connection.fd;
  endpoint_dev_ = connection.dev;
  endpoint_ino_ = connection.ino;
  unreported_ = connection.dropped;
  // The connection was made before watching started: look once that it is still current.
  watch_directory();
  if (!connected_endpoint_unchanged()) disconnect();
  // Lines held while the starter sent the first ones follow them, within the usual waits.
  char message[viewer::kMaxMessage];
  message[0] = viewer::kTagLine;
  for (std::size_t at = 0; at < rest.size();) {
    const std::size_t length = rest.find('\0', at) - at;
    std::memcpy(message + 1, rest.data() + at, length);
    at += length + 1;
    if (fd_ >= 0 && report_drops() && send_message(message, length + 1)) {
      ++delivered_;
    } else {
      ++dropped_;
      if (fd_ >= 0) ++unreported_;
    }
  }
}

pid_t UnixViewerTraceSink::spawn_viewer() {
  // Everything the child needs is prepared here: after fork only async-signal-safe calls.
  std::string program = program_path_;
  std::string dir_flag = "--dir";
  std::string dir = endpoint_dir_;
  std::vector<std::string> arguments = start_arguments_;
  std::vector<char*> argv = {program.data(), dir_flag.data(), dir.data()};
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  sigset_t no_signals;
  ::sigemptyset(&no_signals);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  int pid_pipe[2];
  if (::pipe2(pid_pipe, O_CLOEXEC) != 0) return -1;

  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pid_pipe[0]);
    ::close(pid_pipe[1]);
    return -1;
  }
  if (child == 0) {
    // Detach: a new session, and the viewer is a grandchild so nobody has to reap it. Its
    // process id goes back through the pipe so that the starter can watch it.
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) {
      if (grandchild > 0) (void)!::write(pid_pipe[1], &grandchild, sizeof grandchild);
      ::_exit(grandchild < 0 ? 1 : 0);
    }
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
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pid_pipe[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  pid_t viewer = -1;
  while (::read(pid_pipe[0], &viewer, sizeof viewer) < 0 && errno == EINTR) {
  }
  ::close(pid_pipe[0]);
  return viewer;
}

}  // namespace fpu
