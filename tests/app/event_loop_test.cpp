#include "app/event_loop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fpu {
namespace {

// A queue of input events, each of which may invalidate the window, post quit or start a
// due timer tick; paints and ticks may invalidate too. Records what the loop delivered.
struct Event {
  bool invalidates = false;
  bool quits = false;
  bool starts_tick = false;
};

class ScriptedSource final : public MessageSource {
 public:
  std::vector<Event> input;
  int ticks_due = 0;
  bool invalid = false;
  bool tick_invalidates = false;
  std::string log;

  bool quit_posted() override { return quit_; }
  bool deliver_input() override {
    if (next_ == input.size()) return false;
    const Event& event = input[next_++];
    log += 'i';
    invalid = invalid || event.invalidates;
    quit_ = quit_ || event.quits;
    if (event.starts_tick) ++ticks_due;
    return true;
  }
  bool deliver_paint() override {
    if (!invalid) return false;
    invalid = false;
    log += 'p';
    return true;
  }
  bool deliver_timer() override {
    if (ticks_due == 0) return false;
    --ticks_due;
    log += 't';
    invalid = invalid || tick_invalidates;
    return true;
  }
  void wait() override { log += 'w'; }

 private:
  std::size_t next_ = 0;
  bool quit_ = false;
};

TEST(EventLoop, InputFirstThenOnePaintThenTimersThenWait) {
  const Event plain{};
  const Event invalidates{.invalidates = true};
  const Event quits{.quits = true};
  const Event ticks{.starts_tick = true};
  const struct {
    const char* name;
    std::vector<Event> input;
    int ticks_due;
    bool tick_invalidates;
    const char* log;
    LoopStep last;
  } cases[] = {
      {"nothing to do waits", {}, 0, false, "w", LoopStep::idle},
      {"all input before one paint",
       {invalidates, plain, invalidates},
       0,
       false,
       "iiipw",
       LoopStep::idle},
      {"a due tick after the paint", {invalidates}, 1, false, "iptw", LoopStep::idle},
      {"a tick's invalidation is painted before the next tick",
       {},
       2,
       true,
       "tptpw",
       LoopStep::idle},
      {"a tick started by input waits for the paint",
       {ticks, invalidates},
       0,
       false,
       "iiptw",
       LoopStep::idle},
      {"quit ends at once, unpainted and with input left",
       {invalidates, quits, plain},
       1,
       false,
       "ii",
       LoopStep::quit},
  };
  for (const auto& c : cases) {
    ScriptedSource source;
    source.input = c.input;
    source.ticks_due = c.ticks_due;
    source.tick_invalidates = c.tick_invalidates;
    EXPECT_EQ(run_until_idle(source), c.last) << c.name;
    EXPECT_EQ(source.log, c.log) << c.name;
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
      {9, std::nullopt, 1},   {10, 2u, 10}, {10, std::nullopt, 10}, {50, 1u, 0}, {50, 2u, 10},
      {50, std::nullopt, 10}, {95, 2u, 5},  // late by 35: one tick, the next a period on from now
      {95, std::nullopt, 5},  {100, 1u, 5},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(timers.take_due(start + step.after), step.due) << step.after;
    EXPECT_EQ(timers.wait_budget(start + step.after), step.budget) << step.after;
  }
  timers.set(2, 40, start + 100);  // setting a running timer restarts it
  EXPECT_EQ(timers.wait_budget(start + 100), 40);
  timers.kill(1);
  timers.kill(2);
  EXPECT_EQ(timers.take_due(start + 1000), std::nullopt);
  EXPECT_EQ(timers.wait_budget(start + 1000), -1);
}

}  // namespace
}  // namespace fpu
