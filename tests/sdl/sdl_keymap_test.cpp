#include "backends/sdl/sdl_keymap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "platform/key_names.h"

namespace fpu {
namespace {

constexpr std::int32_t client_width = 700;
constexpr std::int32_t client_height = 654;

SDL_Event key_event(std::uint32_t type, SDL_Scancode scancode, std::uint16_t mod,
                    bool repeat = false) {
  SDL_Event event{};
  event.type = type;
  event.key.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.repeat = repeat ? 1 : 0;
  event.key.keysym.scancode = scancode;
  event.key.keysym.mod = mod;
  return event;
}

SDL_Event motion_event(std::int32_t x, std::int32_t y, std::uint32_t state) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.type = SDL_MOUSEMOTION;
  event.motion.x = x;
  event.motion.y = y;
  event.motion.state = state;
  return event;
}

SDL_Event button_event(std::uint32_t type, std::uint8_t button, std::int32_t x, std::int32_t y) {
  SDL_Event event{};
  event.type = type;
  event.button.type = type;
  event.button.button = button;
  event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.button.x = x;
  event.button.y = y;
  return event;
}

EventContext context_with(std::uint16_t modifiers = 0, std::uint32_t buttons = 0) {
  return EventContext{modifiers, buttons, client_width, client_height};
}

struct KeyCase {
  SDL_Scancode scancode;
  std::uint16_t mod;
  const char* key;  // its name in the key table, or "" for none
};

TEST(SdlKeymap, ScancodesMapToKeyNames) {
  const KeyCase cases[] = {
      {SDL_SCANCODE_S, KMOD_LSHIFT, "S"},  // shift and caps lock change no letter
      {SDL_SCANCODE_P, KMOD_CAPS, "P"},
      {SDL_SCANCODE_RETURN, KMOD_NONE, "RETURN"},
      {SDL_SCANCODE_KP_ENTER, KMOD_NUM, "RETURN"},
      {SDL_SCANCODE_GRAVE, KMOD_NONE, "OEM_3"},
      {SDL_SCANCODE_NONUSHASH, KMOD_NONE, "OEM_5"},
      {SDL_SCANCODE_PAGEUP, KMOD_NONE, "PRIOR"},
      {SDL_SCANCODE_KP_0, KMOD_NUM, "NUMPAD0"},
      {SDL_SCANCODE_KP_0, KMOD_NONE, "INSERT"},
      {SDL_SCANCODE_KP_0, KMOD_NUM | KMOD_RSHIFT, "INSERT"},
      {SDL_SCANCODE_KP_0, KMOD_LSHIFT, "INSERT"},
      {SDL_SCANCODE_KP_MINUS, KMOD_NONE, "SUBTRACT"},  // off the digits: Num Lock does nothing
      {SDL_SCANCODE_RCTRL, KMOD_RCTRL, "CONTROL"},
      {SDL_SCANCODE_RALT, KMOD_RALT, "MENU"},
      {SDL_SCANCODE_AC_BOOKMARKS, KMOD_NONE, "BROWSER_FAVORITES"},
      {SDL_SCANCODE_INTERNATIONAL1, KMOD_NONE, ""},
      {static_cast<SDL_Scancode>(SDL_NUM_SCANCODES + 5), KMOD_NONE, ""},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(virtual_key_for(c.scancode, c.mod), virtual_key_named(c.key))
        << c.scancode << " " << c.mod;
  }
}

TEST(SdlKeymap, KeysThatRunInOrder) {
  const struct {
    SDL_Scancode first;
    int count;
    std::uint16_t mod;
    std::uint32_t first_vk;
  } runs[] = {
      {SDL_SCANCODE_A, 26, KMOD_NONE, 'A'},    {SDL_SCANCODE_1, 9, KMOD_NONE, '1'},
      {SDL_SCANCODE_0, 1, KMOD_NONE, '0'},     {SDL_SCANCODE_F1, 12, KMOD_NONE, 0x70},
      {SDL_SCANCODE_F13, 12, KMOD_NONE, 0x7C}, {SDL_SCANCODE_KP_1, 9, KMOD_NUM, 0x61},
  };
  for (const auto& run : runs) {
    for (int i = 0; i < run.count; ++i) {
      const auto scancode = static_cast<SDL_Scancode>(run.first + i);
      EXPECT_EQ(virtual_key_for(scancode, run.mod), run.first_vk + static_cast<std::uint32_t>(i))
          << scancode;
    }
  }
}

struct KeyMessageCase {
  const char* name;
  SDL_Event event;
  std::uint32_t code;
  std::uint32_t vk;
  std::uint32_t lparam;
};

TEST(SdlKeymap, KeyEventsBecomeKeyOrSystemKeyMessages) {
  const KeyMessageCase cases[] = {
      {"press", key_event(SDL_KEYDOWN, SDL_SCANCODE_P, KMOD_NONE), msg::key_down, 80, 1},
      {"auto-repeat is another key-down", key_event(SDL_KEYDOWN, SDL_SCANCODE_P, KMOD_NONE, true),
       msg::key_down, 80, 1 | 1u << 30},
      {"release", key_event(SDL_KEYUP, SDL_SCANCODE_P, KMOD_NONE), msg::key_up, 80,
       1 | 1u << 30 | 1u << 31},
      {"Ctrl held", key_event(SDL_KEYDOWN, SDL_SCANCODE_S, KMOD_LCTRL), msg::key_down, 83, 1},
      {"Alt held", key_event(SDL_KEYDOWN, SDL_SCANCODE_S, KMOD_LALT), msg::sys_key_down, 83,
       1 | 1u << 29},
      {"right Alt held", key_event(SDL_KEYDOWN, SDL_SCANCODE_LEFT, KMOD_RALT), msg::sys_key_down,
       vk::left, 1 | 1u << 29},
      {"Alt itself", key_event(SDL_KEYDOWN, SDL_SCANCODE_LALT, KMOD_LALT), msg::sys_key_down, 0x12,
       1 | 1u << 29},
      {"Ctrl+Alt (AltGr) is not a system key",
       key_event(SDL_KEYDOWN, SDL_SCANCODE_S, KMOD_LCTRL | KMOD_RALT), msg::key_down, 83,
       1 | 1u << 29},
      {"F10", key_event(SDL_KEYDOWN, SDL_SCANCODE_F10, KMOD_NONE), msg::sys_key_down, 0x79, 1},
      {"F10 released", key_event(SDL_KEYUP, SDL_SCANCODE_F10, KMOD_NONE), msg::sys_key_up, 0x79,
       1 | 1u << 30 | 1u << 31},
      {"Alt released", key_event(SDL_KEYUP, SDL_SCANCODE_LALT, KMOD_NONE), msg::sys_key_up, 0x12,
       1 | 1u << 30 | 1u << 31},
      {"keypad 0 with Num Lock", key_event(SDL_KEYDOWN, SDL_SCANCODE_KP_0, KMOD_NUM), msg::key_down,
       vk::numpad0, 1},
      {"keypad 0 without Num Lock", key_event(SDL_KEYDOWN, SDL_SCANCODE_KP_0, KMOD_NONE),
       msg::key_down, vk::insert, 1},
  };
  for (const KeyMessageCase& c : cases) {
    const auto message = translate_event(c.event, context_with());
    ASSERT_TRUE(message.has_value()) << c.name;
    EXPECT_EQ(message->code, c.code) << c.name;
    EXPECT_EQ(message->wparam, c.vk) << c.name;
    EXPECT_EQ(message->lparam, widen_lparam(c.lparam)) << c.name;
  }
}

TEST(SdlKeymap, KeysWithoutACodeDeliverNothing) {
  EXPECT_FALSE(
      translate_event(key_event(SDL_KEYDOWN, SDL_SCANCODE_INTERNATIONAL1, 0), context_with()));
}

struct FlagCase {
  const char* name;
  std::uint32_t sdl_buttons;
  std::uint16_t mod;
  std::uint32_t flags;
};

TEST(SdlKeymap, MouseFlagsAreConvertedNotCopied) {
  const FlagCase cases[] = {
      {"none", 0, KMOD_NONE, 0},
      {"left", SDL_BUTTON_LMASK, KMOD_NONE, mk::lbutton},
      {"SDL middle (2) is MK_MBUTTON, not MK_RBUTTON", SDL_BUTTON_MMASK, KMOD_NONE, mk::mbutton},
      {"SDL right (4) is MK_RBUTTON, not MK_SHIFT", SDL_BUTTON_RMASK, KMOD_NONE, mk::rbutton},
      {"x1", SDL_BUTTON_X1MASK, KMOD_NONE, mk::xbutton1},
      {"x2", SDL_BUTTON_X2MASK, KMOD_NONE, mk::xbutton2},
      {"left shift", 0, KMOD_LSHIFT, mk::shift},
      {"right ctrl", 0, KMOD_RCTRL, mk::control},
      {"alt, num and caps add nothing", 0, KMOD_LALT | KMOD_NUM | KMOD_CAPS, 0},
      {"left + shift + ctrl = Return's code", SDL_BUTTON_LMASK, KMOD_LSHIFT | KMOD_LCTRL, 13},
      {"three buttons + ctrl = Escape's code",
       SDL_BUTTON_LMASK | SDL_BUTTON_MMASK | SDL_BUTTON_RMASK, KMOD_LCTRL, 27},
  };
  for (const FlagCase& c : cases) {
    EXPECT_EQ(mouse_flags(c.sdl_buttons, c.mod), c.flags) << c.name;
  }
}

struct PackCase {
  std::int32_t x;
  std::int32_t y;
  std::uint32_t packed;
};

TEST(SdlKeymap, MouseLParamPacksYHighAndXLow) {
  const PackCase cases[] = {
      {0, 0, 0x00000000},       {10, 20, 0x0014000A},        {699, 653, 0x028D02BB},
      {-1, 5, 0x0005FFFF},      {3, -2, 0xFFFE0003},         {-1, -1, 0xFFFFFFFF},
      {0x12345, 1, 0x00012345}, {-32768, 32767, 0x7FFF8000},
  };
  for (const PackCase& c : cases) {
    EXPECT_EQ(mouse_lparam(c.x, c.y), widen_lparam(c.packed)) << c.x << "," << c.y;
  }
}

TEST(SdlKeymap, MotionInsideTheClientAreaIsAMouseMove) {
  const auto message =
      translate_event(motion_event(699, 653, SDL_BUTTON_LMASK), context_with(KMOD_LSHIFT));
  ASSERT_TRUE(message);
  EXPECT_EQ(*message, (WindowMessage{msg::mouse_move, mk::lbutton | mk::shift,
                                     static_cast<LParam>(0x028D02BB)}));
}

TEST(SdlKeymap, MotionOutsideTheClientAreaIsDroppedEvenWithAButtonHeld) {
  const struct {
    std::int32_t x;
    std::int32_t y;
  } outside[] = {{-1, 10}, {10, -1}, {client_width, 10}, {10, client_height}, {-500, -500}};
  for (const auto& p : outside) {
    EXPECT_FALSE(translate_event(motion_event(p.x, p.y, SDL_BUTTON_LMASK), context_with()))
        << p.x << "," << p.y;
    EXPECT_FALSE(translate_event(motion_event(p.x, p.y, 0), context_with())) << p.x << "," << p.y;
  }
}

TEST(SdlKeymap, ResizedClientAreaMovesTheBoundary) {
  const EventContext wide{0, 0, 900, 700};
  EXPECT_TRUE(translate_event(motion_event(850, 680, 0), wide));
  const EventContext small{0, 0, 300, 200};
  EXPECT_FALSE(translate_event(motion_event(350, 100, 0), small));
}

TEST(SdlKeymap, ScaledWindowReportsPictureCoordinates) {
  // A 700 x 654 picture shown at scale 2 in a 1400 x 1308 window (and at 3 in 2100 x 1962).
  const struct {
    std::int32_t scale;
    std::int32_t x;
    std::int32_t y;
    std::optional<LParam> picture;  // packed (x, y) in picture pixels, or nothing: outside
  } cases[] = {
      {2, 600, 600, mouse_lparam(300, 300)},
      {2, 601, 641, mouse_lparam(300, 320)},
      {2, 1399, 1307, mouse_lparam(699, 653)},
      {2, 1400, 10, std::nullopt},
      {2, 10, 1308, std::nullopt},
      {2, -1, 10, std::nullopt},
      {3, 2099, 0, mouse_lparam(699, 0)},
      {3, 2100, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    const EventContext context{0, 0, client_width * c.scale, client_height * c.scale, c.scale};
    const auto motion = translate_event(motion_event(c.x, c.y, 0), context);
    const auto press =
        translate_event(button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, c.x, c.y), context);
    ASSERT_EQ(motion.has_value(), c.picture.has_value()) << c.scale << ": " << c.x << "," << c.y;
    ASSERT_EQ(press.has_value(), c.picture.has_value()) << c.scale << ": " << c.x << "," << c.y;
    if (c.picture) {
      EXPECT_EQ(motion->lparam, *c.picture) << c.x << "," << c.y;
      EXPECT_EQ(press->lparam, *c.picture) << c.x << "," << c.y;
    }
  }
}

struct ButtonCase {
  const char* name;
  SDL_Event event;
  std::uint32_t held_before;
  std::uint16_t mod;
  std::uint32_t code;
  std::uint32_t flags;
};

TEST(SdlKeymap, ButtonMessagesCarryTheButtonsHeldAfterTheEvent) {
  const ButtonCase cases[] = {
      {"left down", button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 6), 0, KMOD_NONE,
       msg::lbutton_down, mk::lbutton},
      {"left up", button_event(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 5, 6), SDL_BUTTON_LMASK,
       KMOD_NONE, msg::lbutton_up, 0},
      {"right down with left held", button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 5, 6),
       SDL_BUTTON_LMASK, KMOD_NONE, msg::rbutton_down, mk::lbutton | mk::rbutton},
      {"right up", button_event(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 5, 6), SDL_BUTTON_RMASK,
       KMOD_NONE, msg::rbutton_up, 0},
      {"middle down", button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 5, 6), 0, KMOD_NONE,
       msg::mbutton_down, mk::mbutton},
      {"middle up", button_event(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 5, 6), SDL_BUTTON_MMASK,
       KMOD_NONE, msg::mbutton_up, 0},
      {"left down with shift and ctrl", button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 6), 0,
       KMOD_LSHIFT | KMOD_RCTRL, msg::lbutton_down, 13},
  };
  for (const ButtonCase& c : cases) {
    const auto message = translate_event(c.event, context_with(c.mod, c.held_before));
    ASSERT_TRUE(message) << c.name;
    EXPECT_EQ(*message, (WindowMessage{c.code, c.flags, static_cast<LParam>(0x00060005)}))
        << c.name;
  }
}

TEST(SdlKeymap, ExtraButtonsAndReleasesOutsideDeliverNothing) {
  EXPECT_FALSE(
      translate_event(button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 5, 6), context_with()));
  EXPECT_FALSE(translate_event(button_event(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, -3, 6),
                               context_with(0, SDL_BUTTON_LMASK)));
}

TEST(SdlKeymap, ButtonMaskFollowsTheEvents) {
  std::uint32_t held = 0;
  held = buttons_after(button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 1), held);
  EXPECT_EQ(held, SDL_BUTTON_LMASK);
  held = buttons_after(button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1, 1), held);
  EXPECT_EQ(held, SDL_BUTTON_LMASK | SDL_BUTTON_RMASK);
  // A release outside the window still releases the button.
  held = buttons_after(button_event(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, -50, 1), held);
  EXPECT_EQ(held, SDL_BUTTON_RMASK);
  // Motion reports the whole mask, which wins over what was tracked.
  held = buttons_after(motion_event(1, 1, SDL_BUTTON_MMASK), held);
  EXPECT_EQ(held, SDL_BUTTON_MMASK);
  SDL_Event other{};
  other.type = SDL_KEYDOWN;
  EXPECT_EQ(buttons_after(other, held), SDL_BUTTON_MMASK);
}

TEST(SdlKeymap, CloseAndQuitBecomeWmCloseAndOtherEventsNothing) {
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  EXPECT_EQ(translate_event(close, context_with()), (WindowMessage{msg::close, 0, 0}));
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  EXPECT_EQ(translate_event(quit, context_with()), (WindowMessage{msg::close, 0, 0}));

  SDL_Event exposed{};
  exposed.type = SDL_WINDOWEVENT;
  exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
  EXPECT_FALSE(translate_event(exposed, context_with()));
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  EXPECT_FALSE(translate_event(wheel, context_with()));
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  EXPECT_FALSE(translate_event(text, context_with()));
}

}  // namespace
}  // namespace fpu
