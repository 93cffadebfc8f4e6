#include "backends/web/web_input.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "app/window.h"
#include "platform/key_names.h"

namespace fpu::web {
namespace {

constexpr Modifiers none{};
constexpr Modifiers shift{.shift = true};
constexpr Modifiers ctrl{.ctrl = true};
constexpr Modifiers alt{.alt = true};
constexpr Modifiers ctrl_alt{.ctrl = true, .alt = true};
constexpr Modifiers ctrl_shift{.shift = true, .ctrl = true};
constexpr Modifiers meta{.meta = true};

constexpr LParam first_press = 1;
constexpr LParam repeated_press = 1 | (1 << 30);
constexpr LParam release = widen_lparam(0xC0000001u);
constexpr LParam alt_press = 1 | (1 << 29);

struct KeyCase {
  const char* name;
  const char* code;
  const char* key;
  Modifiers modifiers;
  bool down;
  bool repeat;
  std::optional<WindowMessage> expected;
};

WindowMessage key_down(std::uint32_t vk, LParam lparam = first_press) {
  return WindowMessage{msg::key_down, vk, lparam};
}

TEST(WebKeys, CodesBecomeTheMessagesTheDesktopDelivers) {
  const KeyCase cases[] = {
      {"letters give upper-case codes", "KeyS", "s", none, true, false, key_down('S')},
      {"shift changes no letter", "KeyS", "S", shift, true, false, key_down('S')},
      {"auto-repeat repeats the key-down", "KeyA", "a", none, true, true,
       key_down('A', repeated_press)},
      {"release", "KeyA", "a", none, false, false, WindowMessage{msg::key_up, 'A', release}},
      {"digit row", "Digit1", "!", shift, true, false, key_down('1')},
      {"numpad 0 with Num Lock on", "Numpad0", "0", none, true, false, key_down(96)},
      {"numpad 0 with Num Lock off is Insert", "Numpad0", "Insert", none, true, false,
       key_down(45)},
      {"numpad decimal with Num Lock on", "NumpadDecimal", ".", none, true, false, key_down(0x6E)},
      {"numpad decimal with Num Lock off", "NumpadDecimal", "Delete", none, true, false,
       key_down(0x2E)},
      {"numpad 8 with Num Lock off is Up", "Numpad8", "ArrowUp", none, true, false, key_down(0x26)},
      {"key left of 1", "Backquote", "`", none, true, false, key_down(192)},
      {"comma", "Comma", ",", none, true, false, key_down(188)},
      {"full stop", "Period", ".", none, true, false, key_down(190)},
      {"minus", "Minus", "-", none, true, false, key_down(189)},
      {"escape", "Escape", "Escape", none, true, false, key_down(27)},
      {"arrow", "ArrowLeft", "ArrowLeft", none, true, false, key_down(0x25)},
      {"F1", "F1", "F1", none, true, false, key_down(0x70)},
      {"space (default action prevented)", "Space", " ", none, true, false, key_down(0x20)},
      {"alt+s is a system key", "KeyS", "s", alt, true, false,
       WindowMessage{msg::sys_key_down, 'S', alt_press}},
      {"F10 is a system key", "F10", "F10", none, true, false,
       WindowMessage{msg::sys_key_down, 0x79, first_press}},
      {"AltGr (ctrl+alt) is an ordinary key", "KeyQ", "@", ctrl_alt, true, false,
       WindowMessage{msg::key_down, 'Q', alt_press}},
      {"ctrl+letter the browser does not keep", "KeyI", "i", ctrl, true, false, key_down('I')},
      {"unknown key", "Lang1", "HangulMode", none, true, false, std::nullopt},
      {"F5 reloads", "F5", "F5", none, true, false, std::nullopt},
      {"ctrl+R reloads", "KeyR", "r", ctrl, true, false, std::nullopt},
      {"R alone reaches the demo", "KeyR", "r", none, true, false, key_down('R')},
      {"F12 opens developer tools", "F12", "F12", none, true, false, std::nullopt},
      {"ctrl+shift+I opens developer tools", "KeyI", "I", ctrl_shift, true, false, std::nullopt},
      {"F11 is full screen", "F11", "F11", none, true, false, std::nullopt},
      {"ctrl+tab switches tabs", "Tab", "Tab", ctrl, true, false, std::nullopt},
      {"ctrl+W closes the tab", "KeyW", "w", ctrl, true, false, std::nullopt},
      {"W alone is the trace dump", "KeyW", "w", none, true, false, key_down('W')},
      {"ctrl+2 picks a tab", "Digit2", "2", ctrl, true, false, std::nullopt},
      {"alt+left goes back", "ArrowLeft", "ArrowLeft", alt, true, false, std::nullopt},
      {"the system key", "KeyA", "a", meta, true, false, std::nullopt},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(key_message(c.code, c.key, c.modifiers, c.down, c.repeat), c.expected);
  }
}

TEST(WebKeys, CodesMapToKeyNames) {
  const struct {
    const char* code;
    bool digits;
    const char* key;  // its name in the key table, or "" for none
  } cases[] = {
      {"KeyA", false, "A"},
      {"KeyZ", false, "Z"},
      {"Digit0", false, "0"},
      {"F1", false, "F1"},
      {"F24", false, "F24"},
      {"Numpad0", true, "NUMPAD0"},
      {"NumpadDecimal", false, "DELETE"},
      {"NumpadSubtract", false, "SUBTRACT"},
      {"Equal", false, "OEM_PLUS"},
      {"OSRight", false, "RWIN"},
      {"MediaTrackPrevious", false, "MEDIA_PREV_TRACK"},
      {"Keya", false, ""},
      {"KeyAB", false, ""},
      {"DigitX", false, ""},
      {"F0", false, ""},
      {"F25", false, ""},
      {"Fn", false, ""},
      {"NumpadX", true, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(virtual_key_for_code(c.code, c.digits), virtual_key_named(c.key)) << c.code;
  }
}

struct MouseCase {
  const char* name;
  MouseAction action;
  int button;
  std::uint32_t buttons;
  Modifiers modifiers;
  double x;
  double y;
  double css_width;
  double css_height;
  std::optional<WindowMessage> expected;
};

LParam at(std::uint32_t x, std::uint32_t y) {
  return static_cast<LParam>((y << 16) | x);
}

TEST(WebMouse, EventsBecomeClientMessages) {
  const MouseCase cases[] = {
      {"left press carries its own button", MouseAction::down, 0, 1, none, 300, 200, 700, 654,
       WindowMessage{msg::lbutton_down, mk::lbutton, at(300, 200)}},
      {"left release", MouseAction::up, 0, 0, none, 300, 200, 700, 654,
       WindowMessage{msg::lbutton_up, 0, at(300, 200)}},
      {"right press", MouseAction::down, 2, 2, none, 10, 20, 700, 654,
       WindowMessage{msg::rbutton_down, mk::rbutton, at(10, 20)}},
      {"right release with left held", MouseAction::up, 2, 1, none, 10, 20, 700, 654,
       WindowMessage{msg::rbutton_up, mk::lbutton, at(10, 20)}},
      {"middle is not MK_RBUTTON", MouseAction::down, 1, 4, none, 1, 1, 700, 654,
       WindowMessage{msg::mbutton_down, mk::mbutton, at(1, 1)}},
      {"motion with shift and ctrl", MouseAction::move, 0, 1, ctrl_shift, 5, 6, 700, 654,
       WindowMessage{msg::mouse_move, mk::lbutton | mk::shift | mk::control, at(5, 6)}},
      {"back and forward buttons held", MouseAction::move, 0, 8 | 16, none, 5, 6, 700, 654,
       WindowMessage{msg::mouse_move, mk::xbutton1 | mk::xbutton2, at(5, 6)}},
      {"twice the size maps back by half", MouseAction::move, 0, 0, none, 1399.5, 1307, 1400, 1308,
       WindowMessage{msg::mouse_move, 0, at(699, 653)}},
      {"fractional css size (ratio 1.5)", MouseAction::move, 0, 0, none, 200, 100, 700.0 / 1.5,
       654.0 / 1.5, WindowMessage{msg::mouse_move, 0, at(300, 150)}},
      {"right edge is outside", MouseAction::move, 0, 0, none, 700, 10, 700, 654, std::nullopt},
      {"negative offset is outside", MouseAction::down, 0, 1, none, -1, 10, 700, 654, std::nullopt},
      {"back button press is dropped", MouseAction::down, 3, 8, none, 5, 5, 700, 654, std::nullopt},
      {"an unlaid-out canvas takes nothing", MouseAction::move, 0, 0, none, 0, 0, 0, 0,
       std::nullopt},
  };
  for (const MouseCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(mouse_message(c.action, c.button, c.buttons, c.modifiers, c.x, c.y, c.css_width,
                            c.css_height),
              c.expected);
  }
}

TEST(WebScale, DevicePixelRatioRoundsDownToAWholeFactor) {
  const struct {
    double ratio;
    int scale;
  } cases[] = {{1, 1},    {0.5, 1}, {1.5, 1}, {2, 2},
               {2.75, 2}, {3, 3},   {0, 1},   {1e9, max_desktop_scale}};
  for (const auto& c : cases) EXPECT_EQ(integer_scale(c.ratio), c.scale) << c.ratio;
}

}  // namespace
}  // namespace fpu::web
