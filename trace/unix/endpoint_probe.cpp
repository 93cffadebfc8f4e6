#include "trace/unix/endpoint_probe.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "trace/unix/viewer_endpoint.h"

namespace fpu::viewer {

namespace {

// Room for bursts of lines while the viewer is busy elsewhere.
constexpr int kSendBuffer = 1 << 20;
// Kept free for the count of lines dropped at the end: more than the kernel charges for
// the largest message, since a send goes in while the buffer is not yet full.
constexpr int kLastMessageRoom = 64 << 10;

std::string parent_of(const std::string& dir) {
  const auto slash = dir.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : dir.substr(0, slash);
}

}  // namespace

bool endpoint_unchanged(const std::string& dir, const std::string& socket_path,
                        const Connection& connection) {
  struct stat st {};
  return ::lstat(socket_path.c_str(), &st) == 0 && st.st_dev == connection.dev &&
         st.st_ino == connection.ino && st.st_uid == ::geteuid() && is_private_dir(dir);
}

bool send_last(const Connection& connection, const char* data, std::size_t size) {
  const int full = connection.full_buffer / 2;
  if (full > 0) ::setsockopt(connection.fd, SOL_SOCKET, SO_SNDBUF, &full, sizeof full);
  for (;;) {
    if (::send(connection.fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) return true;
    if (errno != EINTR) return false;
  }
}

Probe probe_endpoint(const std::string& dir, const std::string& socket_path,
                     const std::string& hint, Connection* connection, std::string* why,
                     const std::function<void()>& before_endpoint) {
  // The viewer creates a missing directory, as long as the folder it goes in exists.
  struct stat folder {};
  if (::lstat(dir.c_str(), &folder) != 0) {
    if (errno != ENOENT) {
      *why = "cannot look at the folder " + dir + ": " + std::strerror(errno);
      return Probe::refused;
    }
    const std::string parent = parent_of(dir);
    struct stat up {};
    if (::stat(parent.c_str(), &up) != 0 || !S_ISDIR(up.st_mode)) {
      *why = "the folder " + parent + " is missing, so there is no place for " + dir;
      return Probe::refused;
    }
    return Probe::absent;
  }
  // A directory that others can reach is never used.
  if (std::string problem = private_dir_problem(dir); !problem.empty()) {
    *why = problem + hint;
    return Probe::refused;
  }
  // Watching starts before the endpoint is examined, so no later change goes unseen.
  if (before_endpoint) before_endpoint();
  struct stat before {};
  if (::lstat(socket_path.c_str(), &before) != 0) return Probe::absent;
  // Something that is not a socket of ours is not a viewer, and a viewer we start would
  // not remove it either.
  if (!S_ISSOCK(before.st_mode) || before.st_uid != ::geteuid()) {
    *why = socket_path + " is not a trace viewer's socket of this user";
    return Probe::refused;
  }
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return Probe::refused;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    ::close(fd);
    // A stale endpoint means no viewer; a full backlog means a viewer that is not accepting.
    return (error == ECONNREFUSED || error == ENOENT) ? Probe::absent : Probe::refused;
  }
  ucred peer{};
  socklen_t peer_size = sizeof peer;
  struct stat after {};
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peer_size) != 0 ||
      peer.uid != ::geteuid() || ::lstat(socket_path.c_str(), &after) != 0 ||
      after.st_dev != before.st_dev || after.st_ino != before.st_ino) {
    ::close(fd);
    return Probe::refused;
  }
  // The kernel doubles what it is given and caps it; the reserve comes off what it granted.
  int buffer = kSendBuffer;
  socklen_t size = sizeof buffer;
  ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  if (::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, &size) == 0 &&
      buffer > 2 * kLastMessageRoom) {
    const int kept = (buffer - kLastMessageRoom) / 2;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kept, sizeof kept);
  } else {
    buffer = 0;
  }
  *connection = {fd, after.st_dev, after.st_ino, buffer};
  return Probe::found;
}

}  // namespace fpu::viewer
