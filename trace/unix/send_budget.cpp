#include "trace/unix/send_budget.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace fpu::viewer {

namespace {

using namespace std::chrono_literals;

// Longest the user-interface thread waits at once for a viewer that has stopped reading.
constexpr auto kMaxWait = 50ms;
// The wait allowance grows back by this fraction of the time that passes, so a viewer that
// stopped reading costs at most a tenth of the time in the long run.
constexpr int kRefillDivisor = 10;
// Shorter waits are not worth a system call that sleeps at least this long anyway.
constexpr auto kMinWait = 1ms;

}  // namespace

SendBudget::SendBudget() : allowance_(kMaxWait), updated_(Clock::now()) {}

SendBudget::Result SendBudget::send(int fd, const char* data, std::size_t size) {
  return deliver(fd, [&] { return ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT) >= 0; });
}

SendBudget::Result SendBudget::write(int fd, const char* data, std::size_t size) {
  return deliver(fd, [&] {
    // A terminal may take part of a line: the rest follows within the same allowance.
    while (size > 0) {
      const ssize_t n = ::write(fd, data, size);
      if (n <= 0) return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  });
}

template <typename Attempt>
SendBudget::Result SendBudget::deliver(int fd, Attempt attempt) {
  for (;;) {
    if (attempt()) {
      stalled_ = false;
      return Result::sent;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) return Result::gone;
    // The viewer is not reading. Wait for room, but only within the allowance; once it ran
    // out, messages are refused without waiting until a send succeeds or the allowance is
    // whole.
    const auto now = Clock::now();
    allowance_ =
        std::min<Clock::duration>(kMaxWait, allowance_ + (now - updated_) / kRefillDivisor);
    updated_ = now;
    if (stalled_ && allowance_ < kMaxWait) return Result::full;
    stalled_ = allowance_ < kMinWait;
    if (stalled_) return Result::full;

    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(allowance_).count();
    const timespec timeout{static_cast<time_t>(ns / 1000000000),
                           static_cast<long>(ns % 1000000000)};
    pollfd pfd{fd, POLLOUT, 0};
    const int ready = ::ppoll(&pfd, 1, &timeout, nullptr);
    const auto after = Clock::now();
    allowance_ -= after - now;
    updated_ = after;
    if (ready == 0) {
      allowance_ = Clock::duration::zero();
      stalled_ = true;
      return Result::full;
    }
  }
}

}  // namespace fpu::viewer
