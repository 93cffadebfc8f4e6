#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "input/input.h"
#include "tests/support/started_program.h"

namespace fpu {
namespace {

using testing::StartedProgram;

const float step = std::bit_cast<float>(0x3DB2BA9Du);

struct MoveCase {
  const char* name;
  int x, y;
  std::uint32_t flags;
  std::uint16_t mask;  // what the move leaves selected
  float dx, dy, dz;    // change of angle_x, angle_y, angle_z
  bool box_moves;
};

// After a left press at (100, 100), one move with the given buttons.
TEST(Mouse, DeadZoneDecidesWhetherAndHowAMoveTurns) {
  const MoveCase cases[] = {
      {"3 px right and down: inside", 103, 103, mk::lbutton, 0, 0, 0, 0, false},
      {"3 px left and up: inside", 97, 97, mk::lbutton, 0, 0, 0, 0, false},
      {"4 px right turns about Y", 104, 100, mk::lbutton, 2, 0, step, 0, true},
      {"4 px left turns back about Y", 96, 100, mk::lbutton, 2, 0, -step, 0, true},
      {"4 px down turns about X", 100, 104, mk::lbutton, 1, step, 0, 0, true},
      {"4 px up turns back about X", 100, 96, mk::lbutton, 1, -step, 0, 0, true},
      {"diagonal turns about Y only", 110, 110, mk::lbutton, 2, 0, step, 0, true},
      {"middle button turns about Z", 104, 100, mk::mbutton, 4, 0, 0, step, true},
      {"middle button, upwards: Z back", 100, 96, mk::mbutton, 4, 0, 0, -step, true},
      {"left and right held turn too", 104, 100, mk::lbutton | mk::rbutton, 2, 0, step, 0, true},
      {"no button: nothing", 150, 150, 0, 7, 0, 0, 0, false},
  };
  for (const auto& c : cases) {
    StartedProgram p;
    p.mouse(msg::lbutton_down, 100, 100, mk::lbutton);
    const SceneState before = p.scene;
    p.trace.lines.clear();
    p.mouse(msg::mouse_move, c.x, c.y, c.flags);
    EXPECT_EQ(p.scene.axis_mask, c.mask) << c.name;
    EXPECT_EQ(p.scene.angle_x, before.angle_x + c.dx) << c.name;
    EXPECT_EQ(p.scene.angle_y, before.angle_y + c.dy) << c.name;
    EXPECT_EQ(p.scene.angle_z, before.angle_z + c.dz) << c.name;
    if (c.box_moves) {
      EXPECT_EQ(p.scene.anchor_x, c.x) << c.name;
      EXPECT_EQ(p.scene.box_left, c.x - 3) << c.name;
      EXPECT_EQ(p.scene.box_lower, c.y + 3) << c.name;
    } else {
      EXPECT_EQ(p.scene.box_left, 97) << c.name;
      EXPECT_EQ(p.scene.box_upper, 97) << c.name;
    }
  }
}

TEST(Mouse, ButtonPressTurnsOnceByTheCurrentMask) {
  StartedProgram p;
  p.mouse(msg::lbutton_down, 100, 100, mk::lbutton);
  p.mouse(msg::mouse_move, 104, 100, mk::lbutton);
  const float y = p.scene.angle_y;
  p.mouse(msg::lbutton_down, 300, 300, mk::lbutton);
  EXPECT_EQ(p.scene.angle_y, y + step);
  EXPECT_EQ(p.scene.box_left, 297);
}

TEST(Mouse, BoxWrapsNearZeroSoEveryMoveSteps) {
  StartedProgram p;
  p.mouse(msg::lbutton_down, 1, 50, mk::lbutton);
  EXPECT_EQ(p.scene.box_left, 65534);
  const float y = p.scene.angle_y;
  p.mouse(msg::mouse_move, 1, 50, mk::lbutton);  // no motion, still below the wrapped bound
  EXPECT_EQ(p.scene.angle_y, y - step);
  p.mouse(msg::mouse_move, 2, 50, mk::lbutton);
  EXPECT_EQ(p.scene.angle_y, y - step - step);
  p.mouse(msg::lbutton_down, 50, 0, mk::lbutton);
  EXPECT_EQ(p.scene.box_upper, 65533);
}

TEST(Mouse, RightDragMovesTheCentreAndStopsAutoAndTrail) {
  StartedProgram p;
  p.scene.auto_mode = 1;
  p.scene.trail = 1;
  p.mouse(msg::rbutton_down, 200, 200, mk::rbutton);
  EXPECT_EQ(p.scene.trail, 0);
  p.scene.trail = 1;
  const float x = p.scene.angle_x;
  p.mouse(msg::mouse_move, 180, 200, mk::rbutton);
  p.mouse(msg::mouse_move, 160, 200, mk::rbutton);
  EXPECT_EQ(p.scene.centre_x, 310);
  EXPECT_EQ(p.scene.centre_y, 327);
  EXPECT_EQ(p.scene.auto_mode, 0);
  EXPECT_EQ(p.scene.trail, 0);
  EXPECT_EQ(p.scene.axis_mask, 0);
  EXPECT_EQ(p.scene.angle_x, x);
  EXPECT_EQ(p.scene.anchor_x, 160);
  EXPECT_EQ(p.scene.box_left, 197);  // a drag moves the anchor, never the box
}

TEST(Mouse, DragAcrossTheWordBoundaryMovesBySignedDifference) {
  StartedProgram p;
  p.mouse(msg::rbutton_down, 2, 2, mk::rbutton);
  p.mouse(msg::mouse_move, -3, 2, mk::rbutton);  // x arrives as 0xFFFD
  EXPECT_EQ(p.scene.centre_x, 345);
  p.scene.centre_x = INT32_MAX;
  p.mouse(msg::mouse_move, 7, 2, mk::rbutton);  // +10 wraps, with no undefined behaviour
  EXPECT_EQ(p.scene.centre_x, INT32_MIN + 9);
}

struct TickCase {
  const char* name;
  std::uint32_t ticks;
  TimerValues values;
  float step_after;
  bool rol2_drawn;
};

TEST(Timer, RandomModeTicksPickDirectionAndRunningIndex) {
  // p = b * c; v = (p ^ s) & 0x3F2 decides the direction when the clock has any of 0x1F40.
  const TickCase cases[] = {
      {"s = 2: backward; p = 0 redraws rol2", 0x40, {1, 0, 2}, -step, true},
      {"s = 0x20: forward", 0x40, {1, 0, 0x20}, step, true},
      {"s = 0x22: backward, then forward wins", 0x40, {1, 0, 0x22}, step, true},
      {"s = 0x10: neither bit group, step kept", 0x40, {1, 0, 0x10}, step, true},
      {"clock without 0x1F40 keeps the step", 0x10000, {1, 0, 2}, step, true},
      {"p = 6: backward, rol2 kept", 0x40, {2, 3, 0}, -step, false},
  };
  for (const auto& c : cases) {
    StartedProgram p;
    p.key('R');  // random mode and auto mode on
    p.scene.angle_step = p.scene.step_forward;
    p.scene.rol2 = 1000;
    const SceneState before = p.scene;
    p.trace.lines.clear();
    p.platform.set_tick_count(c.ticks);
    p.program.timer_noise.force_next(c.values);
    p.send(msg::timer, 1, 0);
    EXPECT_EQ(p.scene.axis_mask, 0xFFFF) << c.name;
    EXPECT_EQ(p.scene.angle_step, c.step_after) << c.name;
    EXPECT_EQ(p.scene.angle_x, before.angle_x + c.step_after) << c.name;
    EXPECT_EQ(p.scene.angle_z, before.angle_z + c.step_after) << c.name;
    EXPECT_EQ(p.trace.lines.size(), 1u) << c.name;
    EXPECT_EQ(p.scene.rol2 != 1000, c.rol2_drawn) << c.name;
    if (c.rol2_drawn) {
      EXPECT_LT(p.scene.rol2, 63u) << c.name;
    }
  }
}

TEST(Timer, AutoModeOffDoesNothingAutoModeAloneOnlyRedraws) {
  StartedProgram p;
  const SceneState before = p.scene;
  p.send(msg::timer, 1, 0);
  EXPECT_FALSE(p.platform.invalidated());
  EXPECT_EQ(p.scene.axis_mask, before.axis_mask);

  p.key('T');
  p.platform.clear_invalidated();
  const float x = p.scene.angle_x;
  p.send(msg::timer, 1, 0);
  EXPECT_TRUE(p.platform.invalidated());
  EXPECT_EQ(p.scene.axis_mask, 0);
  EXPECT_EQ(p.scene.angle_x, x);
}

TEST(Timer, AfterResetRandomTicksStandStillButStillTrace) {
  StartedProgram p;
  p.key('R');
  p.key('O');
  p.trace.lines.clear();
  p.platform.set_tick_count(0x10000);  // no direction pick
  p.program.timer_noise.force_next({2, 3, 0});
  p.send(msg::timer, 1, 0);
  EXPECT_EQ(p.scene.angle_x, 0.0f);
  EXPECT_EQ(p.scene.angle_z, 0.0f);
  EXPECT_EQ(p.trace.lines.size(), 1u);
  EXPECT_EQ(p.trace.lines[0], "xopc = 0, ---- Z");
}

std::vector<std::uint16_t> draws(TimerNoise& noise, int ticks) {
  std::vector<std::uint16_t> out;
  for (int i = 0; i < ticks; ++i) {
    const TimerValues v = noise.next();
    out.insert(out.end(), {v.b, v.c, v.s});
  }
  return out;
}

TEST(Timer, NoiseIsAGeneratorOfItsOwn) {
  // The same seed repeats its stream; another seed gives another one.
  for (const std::uint64_t seed : {std::uint64_t{0}, std::uint64_t{7}, ~std::uint64_t{0}}) {
    TimerNoise a(seed), b(seed), other(seed + 1);
    const auto stream = draws(a, 8);
    EXPECT_EQ(draws(b, 8), stream) << seed;
    EXPECT_NE(draws(other, 8), stream) << seed;
    // A forced value stands in for one tick and takes nothing from the stream.
    TimerNoise forced(seed);
    forced.force_next({1, 2, 3});
    EXPECT_EQ(draws(forced, 1), (std::vector<std::uint16_t>{1, 2, 3})) << seed;
    EXPECT_EQ(draws(forced, 8), stream) << seed;
  }
  // Drawing the timer's values leaves the scene's generator where it was.
  StartedProgram p;
  const std::uint32_t seed = p.scene.random_seed;
  draws(p.program.timer_noise, 100);
  EXPECT_EQ(p.scene.random_seed, seed);
}

}  // namespace
}  // namespace fpu
