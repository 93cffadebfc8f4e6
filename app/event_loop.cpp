#include "app/event_loop.h"

#include <algorithm>
#include <cstdint>

#include "app/window.h"

namespace fpu {

LoopStep loop_step(MessageSource& source) {
  if (source.quit_posted()) return LoopStep::quit;
  if (source.deliver_input()) return LoopStep::input;
  if (source.deliver_paint()) return LoopStep::paint;
  if (source.deliver_timer()) return LoopStep::timer;
  source.wait();
  return LoopStep::idle;
}

LoopStep run_until_idle(MessageSource& source) {
  for (;;) {
    const LoopStep step = loop_step(source);
    if (step == LoopStep::quit || step == LoopStep::idle) return step;
  }
}

void run_message_loop(MessageSource& source) {
  while (loop_step(source) != LoopStep::quit) {
  }
}

namespace {

bool reached(std::uint32_t now, std::uint32_t deadline) {
  return static_cast<std::int32_t>(now - deadline) >= 0;  // the tick count wraps
}

}  // namespace

void TimerQueue::set(std::uint32_t id, std::uint32_t milliseconds, std::uint32_t now) {
  const std::uint32_t period = timer_period(milliseconds);
  for (Timer& timer : timers_) {
    if (timer.id == id) {
      timer.period = period;
      timer.deadline = now + period;
      return;
    }
  }
  timers_.push_back(Timer{id, period, now + period});
}

void TimerQueue::kill(std::uint32_t id) {
  std::erase_if(timers_, [id](const Timer& timer) { return timer.id == id; });
}

std::optional<std::uint32_t> TimerQueue::take_due(std::uint32_t now) {
  for (Timer& timer : timers_) {
    if (!reached(now, timer.deadline)) continue;
    timer.deadline += timer.period;
    if (reached(now, timer.deadline)) timer.deadline = now + timer.period;
    return timer.id;
  }
  return std::nullopt;
}

int TimerQueue::wait_budget(std::uint32_t now) const {
  if (timers_.empty()) return -1;
  std::int32_t budget = INT32_MAX;
  for (const Timer& timer : timers_) {
    budget = std::min(budget, static_cast<std::int32_t>(timer.deadline - now));
  }
  return budget < 0 ? 0 : budget;
}

}  // namespace fpu
