#include "platform/key_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>

#include "platform/types.h"

namespace fpu {
namespace {

// Codes from Microsoft's published table, one from each part of ours, the constants the key
// commands compare against, and the pad's rule.
TEST(KeyNames, NamesGiveTheirWindowsCodesAndThePadFollowsNumLock) {
  const struct {
    std::string_view name;
    bool digits;  // the pad gives digits
    std::uint32_t vk;
  } cases[] = {
      {"A", true, 'A'},
      {"Z", true, 'Z'},
      {"0", true, '0'},
      {"9", true, '9'},
      {"CLEAR", true, 0x0C},
      {"RETURN", true, vk::return_key},
      {"MENU", true, vk::menu},
      {"PRIOR", true, 0x21},
      {"LEFT", true, vk::left},
      {"DOWN", true, vk::down},
      {"SLEEP", true, 0x5F},
      {"F10", true, vk::f10},
      {"F24", true, 0x87},
      {"LAUNCH_APP2", true, 0xB7},
      {"OEM_1", true, 0xBA},
      {"OEM_3", true, vk::oem_3},
      {"OEM_102", true, 0xE2},
      {"VK_LEFT", true, 0},
      {"left", true, 0},
      {"", true, 0},
      {"NUMPAD0", true, vk::numpad0},
      {"NUMPAD0", false, vk::insert},
      {"NUMPAD1", false, 0x23},
      {"NUMPAD5", false, 0x0C},
      {"NUMPAD9", false, 0x21},
      {"NUMPAD9", true, 0x69},
      {"DECIMAL", false, 0x2E},
      {"DECIMAL", true, 0x6E},
      {"SUBTRACT", false, 0x6D},
      {"INSERT", true, vk::insert},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(numpad_key(virtual_key_named(c.name), c.digits), c.vk) << c.name << c.digits;
  }
}

TEST(KeyNames, EachNameAndEachCodeOnce) {
  std::set<std::string_view> names;
  std::set<std::uint32_t> codes;
  for (const KeyName& key : key_names) {
    EXPECT_TRUE(names.insert(key.name).second) << key.name;
    EXPECT_TRUE(codes.insert(key.vk).second) << key.name;
    EXPECT_TRUE(key.vk > 0 && key.vk < 0xFF) << key.name;
  }
}

}  // namespace
}  // namespace fpu
