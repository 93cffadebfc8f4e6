// The message loop of the SDL window, run headless on SDL's dummy video driver: events are
// pushed into SDL's queue up front or when the test's clock reaches a given time, and the
// window is closed by a pushed quit event. The window's timers run by that clock, which moves
// only when the loop waits, straight to what comes next, so no test waits for real time or
// depends on its speed.
// Frames are counted at the present step.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "app/program.h"
#include "backends/sdl/sdl_platform.h"

namespace fpu {
namespace {

class CountingTraceSink final : public TraceSink {
 public:
  std::intptr_t send_trace_line(const char*) override {
    ++lines;
    return 1;
  }
  int lines = 0;
};

void push_key(SDL_Scancode scancode) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.scancode = scancode;
  SDL_PushEvent(&event);
}

void push_quit() {
  SDL_Event event{};
  event.type = SDL_QUIT;
  SDL_PushEvent(&event);
}

void push_expose() {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = SDL_WINDOWEVENT_EXPOSED;
  SDL_PushEvent(&event);
}

class SdlLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);  // the test's own process: no display needed
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    std::string error;
    ASSERT_TRUE(platform_.open_window(error)) << error;
    platform_.set_timer_clock([this] { return now_; }, [this](int budget) { wait(budget); });
  }
  void TearDown() override { SDL_Quit(); }

  // Runs the program until the quit event pushed when the clock reads `quit_at_ms`.
  int run_until_quit(std::uint32_t quit_at_ms) {
    quit_at_ = quit_at_ms;
    return platform_.run(program_);
  }

  // The loop waits `budget` ms at most (-1: for an event): the clock moves on to the next
  // timer or the test's next event, whichever comes first, and that event is queued.
  void wait(int budget) {
    std::uint32_t next = quit_at_;
    if (expose_at_ > now_ && expose_at_ < next) next = expose_at_;
    if (budget >= 0 && now_ + static_cast<std::uint32_t>(budget) < next) {
      now_ += static_cast<std::uint32_t>(budget);
      return;
    }
    now_ = next;
    if (now_ == expose_at_) push_expose();
    if (now_ == quit_at_) push_quit();
  }

  std::uint32_t now_ = 0;
  std::uint32_t expose_at_ = 0;  // 0: no exposure
  std::uint32_t quit_at_ = 0;
  SdlPlatform platform_;
  CountingTraceSink trace_;
  Program program_{platform_, trace_};
};

// V sets the string-art offset to 1, so every string-art paint moves rol1 on by 700 steps
// of a 63-entry cycle: 7 after one paint, 14 after two.
TEST_F(SdlLoop, QueuedInputIsHandledBeforeASinglePaint) {
  for (SDL_Scancode key : {SDL_SCANCODE_V, SDL_SCANCODE_S, SDL_SCANCODE_LEFT, SDL_SCANCODE_LEFT}) {
    push_key(key);
  }
  EXPECT_EQ(run_until_quit(300), 0);
  EXPECT_EQ(platform_.frames_presented(), 2u);  // start-up, then one for all four keys
  EXPECT_EQ(program_.scene.rol1, 7u);
  EXPECT_EQ(program_.scene.string_art, 1);
  EXPECT_TRUE(program_.shut_down);
  EXPECT_FALSE(platform_.timer_running(1));
}

TEST_F(SdlLoop, ExposureRepaintsOnceWithoutAFrameTail) {
  push_key(SDL_SCANCODE_V);
  push_key(SDL_SCANCODE_S);
  expose_at_ = 100;
  const float angle_y = program_.scene.angle_y;
  EXPECT_EQ(run_until_quit(300), 0);
  EXPECT_EQ(platform_.frames_presented(), 3u);
  EXPECT_EQ(program_.scene.rol1, 14u);  // two string-art paints
  // Only the two key frames turned the scene (start-up mask: all axes).
  EXPECT_EQ(program_.scene.angle_y,
            angle_y + program_.scene.step_forward + program_.scene.step_forward);
}

TEST_F(SdlLoop, TimerTicksRedrawInAutoMode) {
  push_key(SDL_SCANCODE_T);
  EXPECT_EQ(run_until_quit(625), 0);
  // Start-up, the key, then a frame for every 50 ms tick of the 625 ms.
  EXPECT_EQ(platform_.frames_presented(), 2u + 625u / 50u);
}

TEST_F(SdlLoop, TimerTicksChangeNothingWithAutoModeOff) {
  EXPECT_EQ(run_until_quit(300), 0);
  EXPECT_EQ(platform_.frames_presented(), 1u);
  EXPECT_EQ(trace_.lines, 0);
}

}  // namespace
}  // namespace fpu
