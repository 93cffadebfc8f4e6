// The message loop's policy, the same for every backend: the order Windows retrieves a
// window's messages in. Input waiting in the queue comes first, and the quit message as soon
// as it is posted; once no input waits, one paint for all the invalidation so far; then one
// due timer tick; with nothing to do, wait. A backend supplies its event source, its paint
// and timer delivery and its way of waiting; a browser, which cannot block, runs the loop
// one step at a time from its callbacks.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace fpu {

class MessageSource {
 public:
  virtual ~MessageSource() = default;
  virtual bool quit_posted() = 0;
  // Delivers one waiting input event; false when none waits.
  virtual bool deliver_input() = 0;
  // Delivers WM_PAINT when part of the window is invalid, validating it; false otherwise.
  virtual bool deliver_paint() = 0;
  // Delivers one due WM_TIMER; false when no timer is due.
  virtual bool deliver_timer() = 0;
  // Sleeps until input arrives or the next timer is due; a source that cannot block
  // arranges to be called again instead.
  virtual void wait() = 0;
};

enum class LoopStep { quit, input, paint, timer, idle };

// Handles the next message, or waits when there is none (idle).
LoopStep loop_step(MessageSource& source);
// Steps until there is nothing to do or the quit message came; returns the last step.
LoopStep run_until_idle(MessageSource& source);
// Steps, waiting whenever idle, until the quit message came.
void run_message_loop(MessageSource& source);

// SetTimer's timers for a backend that keeps its own, on a wrapping millisecond tick count.
// At most one tick is pending per timer, as with WM_TIMER: a late loop skips ticks instead
// of delivering a burst.
class TimerQueue {
 public:
  // Starts timer `id`, or restarts it when it runs; periods below the minimum are raised.
  void set(std::uint32_t id, std::uint32_t milliseconds, std::uint32_t now);
  void kill(std::uint32_t id);
  // A due timer's id, its deadline moved on; nothing when none is due.
  std::optional<std::uint32_t> take_due(std::uint32_t now);
  // Milliseconds until the next deadline (0 when one has passed), or -1 when none runs.
  int wait_budget(std::uint32_t now) const;

 private:
  struct Timer {
    std::uint32_t id;
    std::uint32_t period;
    std::uint32_t deadline;
  };
  std::vector<Timer> timers_;
};

}  // namespace fpu
