// The message loop of the SDL window, run headless on SDL's dummy video driver: events are
// pushed into SDL's queue up front or from an SDL timer, and the window is closed by a
// pushed quit event. Frames are counted at the present step.
#include <SDL.h>
#include <gtest/gtest.h>

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

Uint32 push_quit(Uint32, void*) {
  SDL_Event event{};
  event.type = SDL_QUIT;
  SDL_PushEvent(&event);
  return 0;
}

Uint32 push_expose(Uint32, void*) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = SDL_WINDOWEVENT_EXPOSED;
  SDL_PushEvent(&event);
  return 0;
}

class SdlLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);  // the test's own process: no display needed
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 0) << SDL_GetError();
    std::string error;
    ASSERT_TRUE(platform_.open_window(error)) << error;
  }
  void TearDown() override { SDL_Quit(); }

  // Runs the program until the quit event pushed `quit_after_ms` into the run.
  int run_until_quit(Uint32 quit_after_ms) {
    SDL_AddTimer(quit_after_ms, push_quit, nullptr);
    return platform_.run(program_);
  }

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
  SDL_AddTimer(100, push_expose, nullptr);
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
  EXPECT_EQ(run_until_quit(600), 0);
  // 50 ms ticks for 600 ms: about 12 frames; a loaded machine still manages a few.
  EXPECT_GE(platform_.frames_presented(), 2u + 3u);
}

TEST_F(SdlLoop, TimerTicksChangeNothingWithAutoModeOff) {
  EXPECT_EQ(run_until_quit(300), 0);
  EXPECT_EQ(platform_.frames_presented(), 1u);
  EXPECT_EQ(trace_.lines, 0);
}

}  // namespace
}  // namespace fpu
