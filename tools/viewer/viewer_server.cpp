#include "tools/viewer/viewer_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <thread>

#include "trace/trace.h"
#include "trace/unix/viewer_endpoint.h"

namespace fpu::viewer {

namespace {

using namespace std::chrono_literals;

// Past this many clients the longest idle one is closed for a new one (file descriptors are
// finite, and idle connections must not lock out a program with lines to show).
constexpr std::size_t kMaxClients = 512;
// Closing idle clients is said at most this often.
constexpr auto kIdleNoticeInterval = 1s;
// Messages read from one client before the others get their turn.
constexpr int kBurst = 256;
// After a wake-up that brought at least this many messages, the viewer pauses briefly so
// that a stream of lines is read in batches rather than with a wake-up per line (a wake-up
// costs the sender more than the line itself).
constexpr int kStreamBatch = 32;
constexpr auto kStreamPause = 1ms;
// How often the viewer checks that its endpoint is still on disk.
constexpr auto kCheckInterval = 1s;
// Out of descriptors, the viewer stops accepting until a client leaves or this time passes;
// the waiting connections stay queued meanwhile.
constexpr auto kAcceptPause = 250ms;

sockaddr_un address_of(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// More lines than a sender could have dropped (a million a second for eleven days): such a
// count is a broken or hostile sender, not a loss to announce.
constexpr std::uint64_t kMaxDropCount = 1'000'000'000'000;

// After recv() returned 0: whether the peer closed its end, rather than sent an empty
// message. An empty message followed by more is an empty message even when the peer left.
bool peer_closed(int fd) {
  pollfd p{fd, POLLRDHUP, 0};
  if (::poll(&p, 1, 0) <= 0 || (p.revents & (POLLRDHUP | POLLHUP)) == 0) return false;
  char probe;
  return ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT | MSG_TRUNC) <= 0;
}

bool valid_line(const char* data, std::size_t size) {
  return std::none_of(data, data + size,
                      [](char c) { return c == '\0' || c == '\r' || c == '\n'; });
}

}  // namespace

ViewerServer::ViewerServer(ViewerText& text, LineHandler on_line)
    : text_(text), on_line_(std::move(on_line)) {}

ViewerServer::~ViewerServer() {
  for (const Client& client : clients_) ::close(client.fd);
  if (listen_fd_ >= 0) {
    struct stat st {};
    // Remove the endpoint only while it is still ours.
    if (::lstat(socket_path_.c_str(), &st) == 0 && st.st_dev == endpoint_dev_ &&
        st.st_ino == endpoint_ino_) {
      ::unlink(socket_path_.c_str());
    }
    ::close(listen_fd_);
  }
  if (lock_fd_ >= 0) ::close(lock_fd_);
}

bool ViewerServer::open(const std::string& dir, std::string& error) {
  if (!ensure_private_dir(dir, &error)) return false;
  socket_path_ = socket_path(dir);
  if (socket_path_.empty()) {
    error = "the directory name " + dir + " is too long for a socket";
    return false;
  }
  // One viewer per endpoint: the lock is held for the viewer's life and dies with it.
  const std::string lock = lock_path(dir);
  lock_fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock_fd_ < 0) {
    error = "cannot open " + lock + ": " + std::strerror(errno);
    return false;
  }
  if (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
    error = "another viewer is serving " + socket_path_;
    return false;
  }
  return bind_endpoint(error);
}

bool ViewerServer::bind_endpoint(std::string& error) {
  struct stat st {};
  if (::lstat(socket_path_.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      error = socket_path_ + " exists and is not a socket; not touching it";
      return false;
    }
    const int probe = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_un address = address_of(socket_path_);
    const bool live = probe >= 0 && (::connect(probe, reinterpret_cast<const sockaddr*>(&address),
                                               sizeof address) == 0 ||
                                     errno == EAGAIN);
    if (probe >= 0) ::close(probe);
    if (live) {
      error = "a live endpoint already answers at " + socket_path_;
      return false;
    }
    ::unlink(socket_path_.c_str());  // stale, left by a viewer that died
  }
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const sockaddr_un address = address_of(socket_path_);
  // The endpoint's identity is taken before listen(): once a client can connect, someone may
  // delete the file, and the viewer must already know which file was its own.
  if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::lstat(socket_path_.c_str(), &st) != 0 || ::listen(fd, SOMAXCONN) != 0) {
    error = "cannot listen at " + socket_path_ + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  if (listen_fd_ >= 0) ::close(listen_fd_);
  listen_fd_ = fd;
  endpoint_dev_ = st.st_dev;
  endpoint_ino_ = st.st_ino;
  next_check_ = std::chrono::steady_clock::now() + kCheckInterval;
  return true;
}

// An endpoint deleted from under a running viewer is put back, so programs keep finding it.
void ViewerServer::check_endpoint() {
  const auto now = std::chrono::steady_clock::now();
  if (now < next_check_) return;
  next_check_ = now + kCheckInterval;
  struct stat st {};
  if (::lstat(socket_path_.c_str(), &st) != 0 && errno == ENOENT) {
    std::string error;
    const bool bound = bind_endpoint(error);
    // Said once per outage, not every second.
    if (!bound && !rebind_failed_) std::fprintf(stderr, "fpu-trace-viewer: %s\n", error.c_str());
    rebind_failed_ = !bound;
  }
}

bool ViewerServer::serve(int timeout_ms, int stop_fd) {
  std::vector<pollfd> fds;
  fds.reserve(clients_.size() + 2);
  const auto now = std::chrono::steady_clock::now();
  const bool accepting = now >= accept_resume_;
  fds.push_back({stop_fd, POLLIN, 0});
  fds.push_back({accepting ? listen_fd_ : -1, POLLIN, 0});  // a negative descriptor is skipped
  for (const Client& client : clients_) fds.push_back({client.fd, POLLIN, 0});
  // Wake at least once per check interval to look after the endpoint.
  const auto until_check =
      accepting ? std::chrono::milliseconds(kCheckInterval)
                : std::chrono::duration_cast<std::chrono::milliseconds>(accept_resume_ - now) + 1ms;
  const int check_ms = static_cast<int>(until_check.count());
  const int wait_ms = timeout_ms < 0 ? check_ms : std::min(timeout_ms, check_ms);
  const int ready = ::poll(fds.data(), fds.size(), wait_ms);
  check_endpoint();
  const auto woken = Clock::now();
  say_closed_idle(woken);
  if (ready <= 0) return false;
  if (fds[0].revents != 0) return true;

  std::vector<int> closed;
  int handled = 0;
  for (std::size_t i = 2; i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    const int before = handled;
    if (!read_client(fds[i].fd, handled)) {
      closed.push_back(fds[i].fd);
    } else if (handled != before) {
      clients_[i - 2].last_message = woken;
    }
  }
  for (int fd : closed) {
    ::close(fd);
    clients_.erase(std::find_if(clients_.begin(), clients_.end(),
                                [fd](const Client& client) { return client.fd == fd; }));
  }
  if (!closed.empty()) accept_resume_ = {};  // a descriptor is free again
  if (fds[1].revents != 0) accept_clients();
  if (handled >= kStreamBatch) std::this_thread::sleep_for(kStreamPause);
  return false;
}

void ViewerServer::accept_clients() {
  for (;;) {
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        accept_pause_said_ = false;  // every waiting connection was taken
      } else {
        // Out of descriptors or memory: the listening socket stays readable, so accepting
        // again at once would spin. Said once until the queue is empty again.
        if (!accept_pause_said_) {
          std::fprintf(stderr,
                       "fpu-trace-viewer: cannot accept connections (%s); new connections wait "
                       "until a client leaves\n",
                       std::strerror(errno));
        }
        accept_pause_said_ = true;
        accept_resume_ = std::chrono::steady_clock::now() + kAcceptPause;
      }
      return;
    }
    if (clients_.size() >= kMaxClients) close_longest_idle();
    // Room for the longest text reply.
    const int buffer = static_cast<int>(kMaxTextReply + kMaxMessage);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    clients_.push_back({fd, Clock::now()});
  }
}

void ViewerServer::close_longest_idle() {
  const auto idle = std::min_element(
      clients_.begin(), clients_.end(),
      [](const Client& a, const Client& b) { return a.last_message < b.last_message; });
  ::close(idle->fd);
  clients_.erase(idle);
  ++closed_idle_;
  say_closed_idle(Clock::now());
}

void ViewerServer::say_closed_idle(Clock::time_point now) {
  if (closed_idle_ == 0 || now < next_idle_notice_) return;
  std::fprintf(stderr,
               "fpu-trace-viewer: at its limit of %zu clients, closed %zu client(s) idle the "
               "longest to let new ones in\n",
               kMaxClients, closed_idle_);
  closed_idle_ = 0;
  next_idle_notice_ = now + kIdleNoticeInterval;
}

bool ViewerServer::read_client(int fd, int& handled) {
  char buffer[kMaxMessage];
  for (int i = 0; i < kBurst; ++i) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
    if (n == 0 && peer_closed(fd)) return false;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    const auto size = static_cast<std::size_t>(n);
    if (size > sizeof buffer) {
      std::fprintf(stderr, "fpu-trace-viewer: dropped an oversized message (%zu bytes)\n", size);
      continue;
    }
    handle_message(fd, buffer, size);
    ++handled;
  }
  return true;
}

void ViewerServer::handle_message(int fd, const char* data, std::size_t size) {
  if (size == 0) {  // an empty message: an empty line
    text_.append({});
    if (on_line_) on_line_({});
    return;
  }
  const char tag = data[0];
  if (tag == kTagLine && valid_line(data + 1, size - 1)) {
    const std::string_view line(data + 1, size - 1);
    text_.append(line);
    if (on_line_) on_line_(line);
    return;
  }
  if (tag == kTagDropped) {
    std::uint64_t count = 0;
    const auto [end, ec] = std::from_chars(data + 1, data + size, count);
    if (ec == std::errc() && end == data + size && count > 0) {
      const std::string line =
          count <= kMaxDropCount ? dropped_lines_notice(count)
                                 : "[protocol error: a sender announced " + std::to_string(count) +
                                       " dropped lines, more than it could have sent]";
      text_.append(line);
      if (on_line_) on_line_(line);
      return;
    }
  }
  if (size == 1 && (tag == kTagText || tag == kTagPing)) {
    std::string reply(1, tag);
    if (tag == kTagText) {
      if (text_.text().size() < kMaxTextReply) {
        reply += text_.text();
      } else {
        reply[0] = kTagError;
      }
    }
    // A client that does not read its replies loses them; the viewer never waits.
    ::send(fd, reply.data(), reply.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    return;
  }
  std::fprintf(stderr, "fpu-trace-viewer: dropped a garbled message (%zu bytes)\n", size);
}

}  // namespace fpu::viewer
