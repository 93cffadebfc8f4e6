#include "tools/viewer/viewer_text.h"

#include <gtest/gtest.h>

namespace fpu::viewer {
namespace {

TEST(ViewerText, FirstLineHasNoSeparatorLaterLinesDo) {
  ViewerText text;
  text.append("rot1 = 25");
  EXPECT_EQ(text.text(), "rot1 = 25");
  text.append("rot2 = 5");
  text.append("");
  EXPECT_EQ(text.text(), "rot1 = 25\r\nrot2 = 5\r\n");
  text.clear();
  text.append("after clear");
  EXPECT_EQ(text.text(), "after clear");
}

TEST(ViewerText, LastLinesOldestFirst) {
  ViewerText text;
  EXPECT_TRUE(text.last_lines(3).empty());
  for (const char* line : {"a", "bb", "", "ccc"}) text.append(line);
  EXPECT_EQ(text.last_lines(2), (std::vector<std::string_view>{"", "ccc"}));
  EXPECT_EQ(text.last_lines(9), (std::vector<std::string_view>{"a", "bb", "", "ccc"}));
}

TEST(ViewerText, OldestLinesGoPastTheLimitAndLinesStayWhole) {
  ViewerText text(100);
  for (int i = 0; i < 1000; ++i) text.append("line " + std::to_string(i));
  EXPECT_LE(text.text().size(), 100u);
  const auto lines = text.last_lines(1000);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "line 999");
  EXPECT_EQ(lines.front().substr(0, 5), "line ");
  EXPECT_NE(text.text().substr(0, 2), "\r\n");
}

}  // namespace
}  // namespace fpu::viewer
