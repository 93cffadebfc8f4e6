#include "input/input.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/counter.h"
#include "scene/random.h"
#include "tests/support/started_program.h"

namespace fpu {
namespace {

using testing::StartedProgram;

const float step = std::bit_cast<float>(0x3DB2BA9Du);

std::array<std::uint8_t, 8> counter(std::initializer_list<int> bytes) {
  std::array<std::uint8_t, 8> c{};
  int i = 0;
  for (int b : bytes) c[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(b);
  c[6] = 0;  // bytes 6 and 7 keep their start-up NULs
  c[7] = 0;
  return c;
}

TEST(FrameTail, KeyWithoutCommandTurnsEveryMaskedAxisAndTracesZ) {
  StartedProgram p;
  ASSERT_EQ(p.scene.axis_mask, 7);
  p.key(vk::f1);
  EXPECT_EQ(p.scene.angle_x, 0.2f + step);
  EXPECT_EQ(p.scene.angle_y, 0.2f + step);
  EXPECT_EQ(p.scene.angle_z, 1.0f + step);
  EXPECT_EQ(p.scene.z_degrees, 62);
  EXPECT_EQ(p.trace.lines, std::vector<std::string>{"xopc = 62, ---- Z"});
  EXPECT_TRUE(p.platform.invalidated());
}

TEST(FrameTail, AfterSpaceKeysOnlyRefresh) {
  StartedProgram p;
  p.key(vk::space);
  p.platform.clear_invalidated();
  p.key(vk::f1);
  EXPECT_EQ(p.scene.angle_x, 0.2f);
  EXPECT_EQ(p.scene.angle_z, 1.0f);
  EXPECT_TRUE(p.trace.lines.empty());
  EXPECT_TRUE(p.platform.invalidated());
}

TEST(FrameTail, LeftArrowThenUnboundKeysKeepTurningAboutY) {
  StartedProgram p;
  p.key(vk::left);
  p.key(vk::f1);
  p.key(vk::f1);
  EXPECT_EQ(p.scene.axis_mask, 2);
  EXPECT_EQ(p.scene.angle_y, (0.2f - step) - step - step);
  EXPECT_EQ(p.scene.angle_x, 0.2f);
}

TEST(FrameTail, ZDegreesOutOfRangeBecomesMinimum) {
  StartedProgram p;
  p.scene.angle_z = 1.0e6f;
  p.key(vk::f1);
  EXPECT_EQ(p.scene.z_degrees, -32768);
  EXPECT_EQ(p.trace.lines.back(), "xopc = -32768, ---- Z");
}

TEST(FrameTail, EscapeClampsOffsetsShutsDownAndDrawsNothing) {
  StartedProgram p;
  p.scene.rot1 = 70;
  p.scene.rot2 = 64;
  const auto objects_before = p.platform.live_objects();
  p.key(vk::escape);
  EXPECT_EQ(p.scene.rot1, 1u);
  EXPECT_EQ(p.scene.rot2, 1u);
  EXPECT_TRUE(p.program.shut_down);
  EXPECT_TRUE(p.platform.quit_posted());
  EXPECT_EQ(p.platform.quit_code(), 0);
  EXPECT_FALSE(p.platform.invalidated());
  EXPECT_FALSE(p.platform.timer_running(1));
  EXPECT_EQ(p.platform.live_objects(), objects_before - 4);  // DC, bitmap, brush, pen
  EXPECT_EQ(p.platform.invalid_handle_calls(), 0u);
}

// Messages still queued when the program shut down must not draw with, or delete,
// released objects.
TEST(FrameTail, MessagesAfterShutdownAreHarmless) {
  StartedProgram p;
  p.key(vk::escape);
  const SceneState before = p.scene;
  p.key(vk::escape);
  p.key(vk::f1);
  p.key('S');
  p.send(msg::paint, 0, 0);
  p.send(msg::timer, 1, 0);
  p.mouse(msg::lbutton_down, 10, 10, mk::lbutton);
  p.send(msg::close, 0, 0);
  EXPECT_EQ(p.platform.invalid_handle_calls(), 0u);
  EXPECT_EQ(p.scene.angle_z, before.angle_z);
  EXPECT_EQ(p.scene.string_art, before.string_art);
  EXPECT_TRUE(p.platform.window_destroyed());  // close still gets default handling
}

TEST(WindowProc, CloseShutsDownAndDefaultHandlingDestroysTheWindow) {
  StartedProgram p;
  p.send(msg::close, 0, 0);
  EXPECT_TRUE(p.platform.quit_posted());
  EXPECT_TRUE(p.platform.window_destroyed());
  EXPECT_EQ(p.platform.invalid_handle_calls(), 0u);
}

struct MouseKeyCase {
  const char* name;
  std::uint32_t message;
  std::uint32_t flags;
};

// Mouse flags are read as a key code: 13 is Return, 27 is Escape.
TEST(KeyDispatch, MouseFlagsThatEqualKeyCodesRunThoseKeys) {
  const MouseKeyCase returns[] = {
      {"left press, Shift+Control", msg::lbutton_down, mk::lbutton | mk::shift | mk::control},
      {"left move, Shift+Control", msg::mouse_move, mk::lbutton | mk::shift | mk::control},
  };
  for (const auto& c : returns) {
    StartedProgram p;
    p.scene.trail = 1;
    p.mouse(msg::lbutton_down, 100, 100, mk::lbutton);
    const float y_before = p.scene.angle_y;
    p.mouse(c.message, 120, 100, c.flags);
    EXPECT_EQ(p.scene.trail, 0) << c.name;
    EXPECT_EQ(p.scene.axis_mask, 0) << c.name;
    EXPECT_EQ(p.scene.angle_y, y_before) << c.name;
    EXPECT_FALSE(p.program.shut_down) << c.name;
  }
  const MouseKeyCase escapes[] = {
      {"move, three buttons + Control", msg::mouse_move, 27},
      {"left press, three buttons + Control", msg::lbutton_down, 27},
      {"right press, three buttons + Control", msg::rbutton_down, 27},
  };
  for (const auto& c : escapes) {
    StartedProgram p;
    p.mouse(c.message, 300, 300, c.flags);
    EXPECT_TRUE(p.program.shut_down) << c.name;
    EXPECT_TRUE(p.platform.quit_posted()) << c.name;
  }
}

TEST(KeyCommands, FiftyPressesOfZBringRingBToZero) {
  StartedProgram p;
  for (int i = 0; i < 50; ++i) p.key('Z');
  EXPECT_EQ(p.scene.ring_b[0].z, 0);
  EXPECT_EQ(p.scene.ring_a[0].z, 0);
  EXPECT_EQ(p.scene.ring_b[69].z, 0 - 200);  // spare entries started at z = 0
  EXPECT_EQ(p.scene.counter_text, counter({'0', ' ', ' ', ' ', 0, 0}));
  EXPECT_EQ(p.scene.axis_mask, 0);
  p.key('Z');
  EXPECT_EQ(p.scene.counter_text, counter({'4', ' ', '-', ' ', 0, 0}));
}

struct MaskCase {
  const char* name;
  std::uint32_t code;
  bool turns_after;
};

TEST(KeyCommands, RadiusKeysClearTheMaskButXKeepsIt) {
  const MaskCase cases[] = {
      {"A", 'A', false}, {"D", 'D', false}, {"Q", 'Q', false}, {"E", 'E', false}, {"X", 'X', true},
  };
  for (const auto& c : cases) {
    StartedProgram p;
    p.key(c.code);
    const float x = p.scene.angle_x;
    p.key(vk::f1);
    EXPECT_EQ(p.scene.angle_x != x, c.turns_after) << c.name;
  }
}

struct BoundCase {
  const char* name;
  std::uint32_t code;
  std::uint32_t SceneState::*field;
  std::uint32_t start;
  std::uint32_t after_command;  // what the counter shows
  std::uint32_t after_tail;
};

TEST(KeyCommands, IndexDecrementsWrapIntoTheirBound) {
  const BoundCase cases[] = {
      {"F at 0", 'F', &SceneState::rot1, 0, 64, 1},
      {"G at 0", 'G', &SceneState::rot2, 0, 64, 1},
      {"F at 10", 'F', &SceneState::rot1, 10, 9, 9},
      {"J at 0", 'J', &SceneState::rol1, 0, 64, 64},
      {"K at 0", 'K', &SceneState::rol2, 0, 64, 64},
      {"J from 100", 'J', &SceneState::rol1, 100, 64, 64},
      {"K at 65", 'K', &SceneState::rol2, 65, 64, 64},
      {"V at 63", 'V', &SceneState::rot1, 63, 64, 1},
      {"comma at 4000", vk::oem_comma, &SceneState::rol1, 4000, 4001, 4001},
      {"full stop at 0xFFFFFFFF", vk::oem_period, &SceneState::rol2, 0xFFFFFFFFu, 0, 0},
  };
  for (const auto& c : cases) {
    StartedProgram p;
    p.scene.*c.field = c.start;
    SceneState shown;
    format_counter(shown, c.after_command);
    p.key(c.code);
    EXPECT_EQ(p.scene.*c.field, c.after_tail) << c.name;
    EXPECT_EQ(p.scene.counter_text, shown.counter_text) << c.name;
  }
}

TEST(KeyCommands, RadiusDecrementsWrapTo260) {
  StartedProgram p;
  p.scene.rayon1 = 0;
  p.key('A');
  EXPECT_EQ(p.scene.rayon1, 260);
  p.scene.rayon2 = 0;
  p.key('Q');
  EXPECT_EQ(p.scene.rayon2, 260);
  p.scene.rayon1 = 1001;
  p.key('D');
  p.key('A');
  EXPECT_EQ(p.scene.rayon1, 260);
  p.scene.rayon2 = 240;
  p.key('E');
  EXPECT_EQ(p.scene.rayon2, 241);
  EXPECT_EQ(p.scene.radius, 241);
}

TEST(KeyCommands, LDrawsOffsetsAndTogglesStringArtMinusAlwaysDraws) {
  StartedProgram p;  // seeded with 12345678: draws 34, 41, 74, 62, ...
  p.key('L');
  EXPECT_EQ(p.scene.string_art, 1);
  EXPECT_EQ(p.scene.rot1, 34u);
  EXPECT_EQ(p.scene.rot2, 41u);
  p.key('L');
  EXPECT_EQ(p.scene.string_art, 0);
  EXPECT_EQ(p.scene.rot1, 34u);
  p.key(vk::oem_minus);
  EXPECT_EQ(p.scene.string_art, 1);
  EXPECT_EQ(p.scene.rot1, 1u);  // 74 is clamped by the tail
  EXPECT_EQ(p.scene.rot2, 62u);
  p.key(vk::oem_minus);
  EXPECT_EQ(p.scene.string_art, 1);
}

TEST(KeyCommands, TraceDumpSendsEightLinesInOrder) {
  StartedProgram p;
  p.key(vk::space);  // no xopc line from the tail
  p.scene.rot1 = 5;
  p.scene.rol2 = 7;
  p.trace.lines.clear();
  p.key('W');
  const std::vector<std::string> expected = {
      "rot1 = 5",     "rot2 = 0",     "rol1 = 0",           "rol2 = 7",
      "rayon1 = 240", "rayon2 = 240", "eAX = -200, Dist Z", std::string(40, '-')};
  EXPECT_EQ(p.trace.lines, expected);
}

TEST(KeyCommands, ToggleAndResetKeys) {
  StartedProgram p;
  p.key('P');
  EXPECT_EQ(p.scene.axes_flag, 1);
  p.key(vk::oem_3);
  EXPECT_EQ(p.scene.string_art, 1);
  p.key('Y');
  EXPECT_EQ(p.scene.trace_flag, 1u);
  p.key('H');
  EXPECT_EQ(p.scene.trail, 1);
  p.key('T');
  EXPECT_EQ(p.scene.auto_mode, 1);
  p.key('R');
  EXPECT_EQ(p.scene.random_mode, 1);
  EXPECT_EQ(p.scene.auto_mode, 0);
  for (std::uint32_t reset : {48u, 96u, 79u}) {
    p.scene.angle_x = p.scene.angle_y = p.scene.angle_z = 3.0f;
    p.key(reset);
    EXPECT_EQ(p.scene.angle_x, 0.0f) << reset;
    EXPECT_EQ(p.scene.angle_z, 0.0f) << reset;
    EXPECT_EQ(p.scene.angle_step, 0.0f) << reset;
  }
  p.key(vk::insert);  // numeric-pad 0 with Num Lock off is no reset
  EXPECT_EQ(p.scene.angle_step, 0.0f);
}

}  // namespace
}  // namespace fpu
