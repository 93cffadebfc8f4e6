#include "text/masked.h"

#include <gtest/gtest.h>

#include <string>

namespace fpu {
namespace {

TEST(Masked, MasksEveryControlCharacterAndKeepsOtherText) {
  const struct {
    std::string in, out;
    Tabs tabs = Tabs::mask;
  } cases[] = {
      {"plain/name.png", "plain/name.png"},
      {"a\x1b[31mb", "a?[31mb"},
      {std::string("a\0b", 3), "a?b"},
      {"\x7f\t\n", "???"},
      {"a\tb\x1b", "a\tb?", Tabs::keep},
      {"\x9b"
       "31m",
       "?31m"},            // C1 CSI as one byte
      {"\x80\x9f", "??"},  // the ends of the C1 range
      {"\xc2\x9b"
       "31m",
       "?31m"},                                    // CSI as UTF-8
      {"\xc2\x85", "?"},                           // NEL as UTF-8
      {"\xc2\x80\xc2\x9f\xc2\xa0", "??\xc2\xa0"},  // C1 masked, U+00A0 kept
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82"},
      {"\xc3", "?"},                             // cut short
      {"\xc0\x9b", "??"},                        // overlong two bytes
      {"\xe0\x82\x9b", "???"},                   // overlong three bytes for U+009B
      {"\xf0\x80\x82\x9b", "????"},              // overlong four bytes
      {"\xed\xa0\x80", "???"},                   // surrogate
      {"\xf4\x90\x80\x80", "????"},              // above U+10FFFF
      {":99\x1b]0;pwned\x07", ":99?]0;pwned?"},  // a DISPLAY that sets a title
  };
  for (const auto& c : cases) {
    EXPECT_EQ(masked(c.in, c.tabs), c.out) << masked(c.in);
    // A name is refused exactly when masking would change it.
    EXPECT_EQ(holds_control_character(c.in), c.in != masked(c.in)) << masked(c.in);
  }
}

TEST(Masked, NamesInALegacyCodePageAreNoControlBytes) {
  // Latin-1 "José": not UTF-8, but a usable folder name on Windows.
  EXPECT_FALSE(holds_control_byte("C:\\Users\\Jos\xe9"));
  EXPECT_TRUE(holds_control_byte(std::string("a\0b", 3)));
  EXPECT_TRUE(holds_control_byte("a\x7f"));
}

}  // namespace
}  // namespace fpu
