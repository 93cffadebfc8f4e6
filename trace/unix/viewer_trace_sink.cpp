#include "trace/unix/viewer_trace_sink.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text/masked.h"
#include "trace/unix/viewer_endpoint.h"

namespace fpu {

namespace {

using namespace std::chrono_literals;

// A viewer that accepts no connection right now is asked again after this pause.
constexpr auto kBusyPause = 50ms;
// After a start that produced no endpoint, no new start for this long.
constexpr auto kStartPause = 10s;

}  // namespace

UnixViewerTraceSink::UnixViewerTraceSink(std::string program_dir, std::string endpoint_dir)
    : endpoint_dir_(endpoint_dir.empty() ? viewer::default_endpoint_dir() : endpoint_dir) {
  if (!program_dir.empty()) program_path_ = program_dir + "/" + viewer::kProgramName;
  socket_path_ = viewer::socket_path(endpoint_dir_);
  hint_ = endpoint_dir.empty() ? "; set XDG_RUNTIME_DIR to a private folder of yours" : "";
  // Notices quote folder names from the environment (XDG_RUNTIME_DIR, TMPDIR): masked.
  notice_ = [](const std::string& text) {
    std::fprintf(stderr, "%s: trace delivery is off: %s\n", program_invocation_short_name,
                 masked(text).c_str());
  };
  loss_ = [](const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, text.c_str());
  };
}

UnixViewerTraceSink::~UnixViewerTraceSink() {
  // Lines held for a viewer still starting go out when it comes up, or are counted.
  if (starter_.active()) finish_start();
  // The count of lines dropped at the end goes to the viewer as well; a connection lost on
  // the way leaves it to the viewer now at the endpoint, if one answers.
  if (unreported_ > 0 && connection_.fd < 0 && !socket_path_.empty()) {
    std::string why;
    viewer::Connection connection;
    if (viewer::probe_endpoint(endpoint_dir_, socket_path_, hint_, &connection, &why) ==
        viewer::Probe::found) {
      connection_ = connection;
    }
  }
  if (unreported_ > 0 && connection_.fd >= 0) {
    const std::string message = drop_message();
    if (viewer::send_last(connection_, message.data(), message.size())) unreported_ = 0;
  }
  if (unreported_ > 0 && loss_) {
    const auto total = counts_.delivered + counts_.dropped;
    loss_(std::to_string(unreported_) + " of " + std::to_string(total) +
          " trace lines could not be delivered to the viewer");
  }
  disconnect();
}

void UnixViewerTraceSink::disconnect() {
  if (connection_.fd >= 0) ::close(connection_.fd);
  connection_.fd = -1;
}

void UnixViewerTraceSink::drop(std::uint64_t count) {
  counts_.dropped += count;
  unreported_ += count;
}

std::string UnixViewerTraceSink::drop_message() const {
  return viewer::kTagDropped + std::to_string(unreported_);
}

bool UnixViewerTraceSink::report_drops() {
  if (unreported_ == 0) return true;
  const std::string message = drop_message();
  if (!send_message(message.data(), message.size())) return false;
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
    drop();
    return 0;
  }
  message[0] = viewer::kTagLine;
  std::memcpy(message + 1, text, length);
  const std::size_t size = length + 1;

  if (starter_.active()) {
    switch (starter_.hold_while_starting(text, length)) {
      case viewer::ViewerStarter::Hold::held:
        return 1;
      case viewer::ViewerStarter::Hold::dropped:
        drop();
        return 0;
      case viewer::ViewerStarter::Hold::done:
        finish_start();
        break;
    }
  }
  // Looking the viewer up for every line: a connection is kept only while the endpoint on
  // disk is still the one it was made to.
  if (connection_.fd >= 0 && watch_.changed() && !connected_endpoint_unchanged()) disconnect();
  if (connection_.fd >= 0) {
    if (report_drops() && send_message(message, size)) {
      ++counts_.delivered;
      return 1;
    }
    if (connection_.fd >= 0) {  // the viewer is alive but not reading: drop, keep the connection
      drop();
      return 0;
    }
  }
  switch (look_up()) {
    case Lookup::found:
      if (report_drops() && send_message(message, size)) {
        ++counts_.delivered;
        return 1;
      }
      break;
    case Lookup::starting:
      if (starter_.hold(text, length)) return 1;
      break;
    case Lookup::absent:
    case Lookup::refused:
      break;
  }
  // Counted for the next viewer that is reached, or said at exit.
  drop();
  return 0;
}

int UnixViewerTraceSink::catch_up() {
  if (unreported_ == 0) return -1;
  // Only a viewer still connected is told here; any other learns it with the next line.
  if (connection_.fd < 0 || starter_.active()) return -1;
  if (watch_.changed() && !connected_endpoint_unchanged()) {
    disconnect();
    return -1;
  }
  if (report_drops()) return -1;
  return connection_.fd >= 0 ? kCatchUpMs : -1;
}

bool UnixViewerTraceSink::wait_until_read(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  if (starter_.active()) {
    if (!starter_.wait_until_done(deadline)) return false;
    finish_start();
  }
  const int fd = connection_.fd;
  if (fd < 0) return false;
  auto wait_for = [&](short events) {
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() < 0) return false;
      pollfd pfd{fd, events, 0};
      const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
      if (ready > 0) return true;
      if (ready == 0 || errno != EINTR) return false;
    }
  };
  const char ping = viewer::kTagPing;
  while (::send(fd, &ping, 1, MSG_NOSIGNAL | MSG_DONTWAIT) != 1) {
    if ((errno != EAGAIN && errno != EINTR) || !wait_for(POLLOUT)) return false;
  }
  char reply[8];
  while (wait_for(POLLIN)) {
    const ssize_t n = ::recv(fd, reply, sizeof reply, MSG_DONTWAIT);
    if (n == 1 && reply[0] == viewer::kTagPing) return true;
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
  }
  return false;
}

bool UnixViewerTraceSink::connected_endpoint_unchanged() const {
  return viewer::endpoint_unchanged(endpoint_dir_, socket_path_, connection_);
}

bool UnixViewerTraceSink::send_message(const char* data, std::size_t size) {
  switch (budget_.send(connection_.fd, data, size)) {
    case viewer::SendBudget::Result::sent:
      return true;
    case viewer::SendBudget::Result::full:
      return false;
    case viewer::SendBudget::Result::gone:
      disconnect();  // the viewer has gone
      return false;
  }
  return false;
}

UnixViewerTraceSink::Lookup UnixViewerTraceSink::look_up() {
  disconnect();
  if (socket_path_.empty()) {
    say_once(notice_folder, "the folder name " + endpoint_dir_ + " is too long for a socket");
    return Lookup::refused;
  }
  if (Clock::now() < next_look_up_) return Lookup::refused;
  viewer::Connection connection;
  std::string why;
  const viewer::Probe result =
      viewer::probe_endpoint(endpoint_dir_, socket_path_, hint_, &connection, &why,
                             [this] { watch_.watch(endpoint_dir_); });
  if (result == viewer::Probe::found) {
    connection_ = connection;
    return Lookup::found;
  }
  if (result == viewer::Probe::absent) {
    return start_viewer() ? Lookup::starting : Lookup::absent;
  }
  next_look_up_ = Clock::now() + kBusyPause;
  if (!why.empty()) {
    say_once(why.starts_with(socket_path_) ? notice_endpoint : notice_folder, why);
  }
  return Lookup::refused;
}

bool UnixViewerTraceSink::start_viewer() {
  if (program_path_.empty() || Clock::now() < next_start_) return false;
  // A missing program costs a stat: no process is created for nothing.
  struct stat st {};
  if (::stat(program_path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      ::access(program_path_.c_str(), X_OK) != 0) {
    return false;
  }
  ++starts_;
  starter_.start(program_path_, endpoint_dir_, socket_path_,
                 viewer_arguments_ ? viewer_arguments_() : std::vector<std::string>{});
  return true;
}

void UnixViewerTraceSink::finish_start() {
  viewer::ViewerStarter::Outcome outcome = starter_.finish();
  if (outcome.connection.fd < 0) {
    drop(outcome.rest.count());
    next_start_ = Clock::now() + kStartPause;
    if (!outcome.failure.empty()) say_once(notice_start, outcome.failure);
    return;
  }
  disconnect();
  connection_ = outcome.connection;
  unreported_ += outcome.dropped;
  // The connection was made before watching started: look once that it is still current.
  watch_.watch(endpoint_dir_);
  if (!connected_endpoint_unchanged()) disconnect();
  // Lines held while the starter sent the first ones follow them, within the usual waits.
  char message[viewer::kMaxMessage];
  message[0] = viewer::kTagLine;
  outcome.rest.for_each([&](std::string_view line) {
    std::memcpy(message + 1, line.data(), line.size());
    if (connection_.fd >= 0 && report_drops() && send_message(message, line.size() + 1)) {
      ++counts_.delivered;
    } else {
      drop();
    }
  });
}

}  // namespace fpu
