#include "trace/unix/stdout_trace_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "trace/stream_trace_sinks.h"

namespace fpu {

StdoutTraceSink::StdoutTraceSink(int out, std::function<void(const std::string&)> say)
    : fd_(out), say_(std::move(say)) {
  struct stat st {};
  if (::fstat(out, &st) != 0 || S_ISREG(st.st_mode)) return;  // a file never keeps us waiting
  // A pipe or terminal is opened again through /proc: a file description of our own can be
  // made non-blocking without changing the one the shell and others share.
  const std::string self = "/proc/self/fd/" + std::to_string(out);
  const int own = ::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  struct stat opened {};
  if (own >= 0 && ::fstat(own, &opened) == 0 && opened.st_dev == st.st_dev &&
      opened.st_ino == st.st_ino) {
    fd_ = own;
    own_fd_ = true;
  } else if (own >= 0) {
    ::close(own);
  }
}

StdoutTraceSink::~StdoutTraceSink() {
  if (unreported_ > 0) {
    say_(std::to_string(unreported_) + " of " + std::to_string(written_ + dropped_) +
         " trace lines were dropped: standard output was not read in time" +
         (closed_ ? " or was closed" : ""));
  }
  if (own_fd_) ::close(fd_);
}

bool StdoutTraceSink::put(const std::string& line) {
  const auto result =
      own_fd_ ? budget_.write(fd_, line.data(), line.size())
              : (::write(fd_, line.data(), line.size()) == static_cast<ssize_t>(line.size())
                     ? viewer::SendBudget::Result::sent
                     : viewer::SendBudget::Result::gone);
  if (result == viewer::SendBudget::Result::sent) return true;
  if (result == viewer::SendBudget::Result::gone) {
    closed_ = true;
    say_(std::string("standard output ") + (errno == EPIPE ? "was closed" : "failed") +
         ": trace lines are no longer written");
  }
  return false;
}

std::intptr_t StdoutTraceSink::send_trace_line(const char* text) {
  if (!closed_ && unreported_ > 0 &&
      put(json_trace_line(dropped_lines_notice(unreported_).c_str()))) {
    unreported_ = 0;
  }
  if (closed_ || unreported_ > 0 || !put(json_trace_line(text))) {
    ++dropped_;
    ++unreported_;
    return 0;
  }
  ++written_;
  return 1;
}

}  // namespace fpu
