#include "app/event_loop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace fpu {
namespace {

// Queued input events, each a letter: '.' does nothing, 'v' invalidates the window, 'q' posts
// quit, 't' makes a timer tick due. The log is what the loop did, in its order.
class ScriptedSource final : public MessageSource {
 public:
  ScriptedSource(std::string input, int ticks, bool tick_invalidates)
      : input_(std::move(input)), ticks_(ticks), tick_invalidates_(tick_invalidates) {}
  bool quit_posted() override { return quit_; }
  bool deliver_input() override {
    if (next_ == input_.size()) return false;
    const char event = input_[next_++];
    invalid_ = invalid_ || event == 'v';
    quit_ = quit_ || event == 'q';
    ticks_ += event == 't' ? 1 : 0;
    return log('i');
  }
  bool deliver_paint() override { return std::exchange(invalid_, false) && log('p'); }
  bool deliver_timer() override {
    if (ticks_ == 0) return false;
    --ticks_;
    invalid_ = invalid_ || tick_invalidates_;
    return log('t');
  }
  void wait() override { log('w'); }
  std::string done;

 private:
  bool log(char step) {
    done += step;
    return true;
  }
  std::string input_;
  std::size_t next_ = 0;
  int ticks_;
  bool tick_invalidates_;
  bool invalid_ = false;
  bool quit_ = false;
};

TEST(EventLoop, InputFirstThenOnePaintThenTimersThenWait) {
  const struct {
    const char* input;
    int ticks;
    bool tick_invalidates;
    const char* done;
    LoopStep last;
  } cases[] = {
      {"", 0, false, "w", LoopStep::idle},
      {"v.v", 0, false, "iiipw", LoopStep::idle},  // one paint for all the input
      {"v", 1, false, "iptw", LoopStep::idle},
      {"", 2, true, "tptpw", LoopStep::idle},  // a tick's frame is painted before the next
      {"tv", 0, false, "iiptw", LoopStep::idle},
      {"vq.", 1, false, "ii", LoopStep::quit},  // at once: unpainted, input left
  };
  for (const auto& c : cases) {
    ScriptedSource source(c.input, c.ticks, c.tick_invalidates);
    EXPECT_EQ(run_until_idle(source), c.last) << c.input;
    EXPECT_EQ(source.done, c.done) << c.input;
  }
}

TEST(TimerQueue, TicksAtMostOncePerDueTimeAndSkipsWhenLate) {
  const std::uint32_t start = 0xFFFFFFF0u;  // the tick count wraps during the run
  TimerQueue timers;
  EXPECT_EQ(timers.wait_budget(start), -1);
  timers.set(1, 50, start);
  timers.set(2, 3, start);  // raised to the 10 ms minimum
  const struct {
    std::uint32_t after;
    std::optional<std::uint32_t> due;
    int budget;  // after taking it
  } steps[] = {
      {9, std::nullopt, 1},  {10, 2u, 10}, {10, std::nullopt, 10}, {50, 1u, 0},
      {50, 2u, 10},          {95, 2u, 5},  // late by 35: one tick, the next a period from now
      {95, std::nullopt, 5}, {100, 1u, 5},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(timers.take_due(start + step.after), step.due) << step.after;
    EXPECT_EQ(timers.wait_budget(start + step.after), step.budget) << step.after;
  }
  timers.set(2, 40, start + 100);  // setting a running timer restarts it
  EXPECT_EQ(timers.wait_budget(start + 100), 40);
  timers.kill(1);
  timers.kill(2);
  EXPECT_EQ(timers.wait_budget(start + 1000), -1);
}

}  // namespace
}  // namespace fpu
