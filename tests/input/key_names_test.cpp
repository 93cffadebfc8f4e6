#include "platform/key_names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string_view>

#include "platform/types.h"

namespace fpu {
namespace {

// Codes from Microsoft's published virtual-key table, one from each part of ours, and the
// constants the key commands compare against.
TEST(KeyNames, NamesGiveTheirWindowsCodes) {
  const struct {
    std::string_view name;
    std::uint32_t vk;
  } cases[] = {
      {"A", 0x41},
      {"Z", 0x5A},
      {"0", 0x30},
      {"9", 0x39},
      {"BACK", vk::back},
      {"CLEAR", 0x0C},
      {"RETURN", vk::return_key},
      {"MENU", vk::menu},
      {"ESCAPE", vk::escape},
      {"SPACE", vk::space},
      {"PRIOR", 0x21},
      {"LEFT", vk::left},
      {"UP", vk::up},
      {"RIGHT", vk::right},
      {"DOWN", vk::down},
      {"INSERT", vk::insert},
      {"DELETE", 0x2E},
      {"SLEEP", 0x5F},
      {"NUMPAD0", vk::numpad0},
      {"DECIMAL", 0x6E},
      {"F1", vk::f1},
      {"F10", vk::f10},
      {"F24", 0x87},
      {"SCROLL", 0x91},
      {"LAUNCH_APP2", 0xB7},
      {"OEM_1", 0xBA},
      {"OEM_COMMA", vk::oem_comma},
      {"OEM_MINUS", vk::oem_minus},
      {"OEM_PERIOD", vk::oem_period},
      {"OEM_3", vk::oem_3},
      {"OEM_7", 0xDE},
      {"OEM_102", 0xE2},
      // Not names: the prefix, lower case, nothing.
      {"VK_LEFT", 0},
      {"left", 0},
      {"a", 0},
      {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(virtual_key_named(c.name), c.vk) << c.name;
}

TEST(KeyNames, EachNameAndEachCodeOnce) {
  std::set<std::string_view> names;
  std::set<std::uint32_t> codes;
  for (const KeyName& key : key_names) {
    EXPECT_TRUE(names.insert(key.name).second) << key.name;
    EXPECT_TRUE(codes.insert(key.vk).second) << key.name;
    EXPECT_GT(key.vk, 0u) << key.name;
    EXPECT_LT(key.vk, 0xFFu) << key.name;
  }
}

TEST(KeyNames, NumericPadFollowsNumLock) {
  const struct {
    std::string_view key;
    bool digits;
    std::string_view delivered;
  } cases[] = {
      {"NUMPAD0", true, "NUMPAD0"},
      {"NUMPAD0", false, "INSERT"},
      {"NUMPAD1", false, "END"},
      {"NUMPAD2", false, "DOWN"},
      {"NUMPAD3", false, "NEXT"},
      {"NUMPAD4", false, "LEFT"},
      {"NUMPAD5", false, "CLEAR"},
      {"NUMPAD6", false, "RIGHT"},
      {"NUMPAD7", false, "HOME"},
      {"NUMPAD8", false, "UP"},
      {"NUMPAD9", false, "PRIOR"},
      {"NUMPAD9", true, "NUMPAD9"},
      {"DECIMAL", false, "DELETE"},
      {"DECIMAL", true, "DECIMAL"},
      // Keys off the digits keep their code either way.
      {"SUBTRACT", false, "SUBTRACT"},
      {"INSERT", true, "INSERT"},
      {"A", false, "A"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(numpad_key(virtual_key_named(c.key), c.digits), virtual_key_named(c.delivered))
        << c.key << (c.digits ? " with digits" : " without");
  }
}

}  // namespace
}  // namespace fpu
