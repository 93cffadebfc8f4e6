// Sending to a reader (the viewer, a pipe) that may stop reading: the caller waits at most 50 ms at
// once, and a tenth of the time in the long run; past that, messages are refused without waiting.
#pragma once

#include <chrono>
#include <cstddef>

namespace fpu::viewer {

class SendBudget {
 public:
  enum class Result { sent, full, gone };

  SendBudget();
  // Sends one message on the non-blocking `fd`. full: the viewer is not reading (the
  // message was not sent); gone: the connection is dead.
  Result send(int fd, const char* data, std::size_t size);
  // The same on a non-blocking pipe, FIFO or terminal (SIGPIPE must be ignored): the whole
  // message or nothing when it fits the pipe's atomic size.
  Result write(int fd, const char* data, std::size_t size);

 private:
  template <typename Attempt>
  Result deliver(int fd, Attempt attempt);

  using Clock = std::chrono::steady_clock;
  Clock::duration allowance_;
  Clock::time_point updated_;
  bool stalled_ = false;
};

}  // namespace fpu::viewer
