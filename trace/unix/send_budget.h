// Sending to a viewer that may stop reading: the caller waits at most 50 ms at once, and a
// tenth of the time in the long run; past that, messages are refused without waiting.
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

 private:
  using Clock = std::chrono::steady_clock;
  Clock::duration allowance_;
  Clock::time_point updated_;
  bool stalled_ = false;
};

}  // namespace fpu::viewer
