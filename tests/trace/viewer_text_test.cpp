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

TEST(ViewerText, WholeStoreStaysBoundedWhateverTheLines) {
  // A flood of each kind, well past the limit: the text, its index and the times stay within twice
  // the limit, the newest line is whole and every line is kept or counted as discarded.
  constexpr std::size_t kLimit = 4096;
  struct Case {
    const char* name;
    std::string line;
  };
  const Case cases[] = {
      {"empty lines", ""},
      {"short lines", "x"},
      {"string-art lines", std::string(200, '#')},
      {"lines longer than half the limit", std::string(3000, 'w')},
      {"a line longer than the limit", std::string(9000, 'z')},
  };
  for (const auto& c : cases) {
    ViewerText text(kLimit);
    constexpr std::uint64_t kSent = 20000;
    for (std::uint64_t i = 0; i < kSent; ++i) text.append(c.line);
    EXPECT_LE(text.store_bytes(), kLimit * 2) << c.name;
    EXPECT_LE(text.text().size(), kLimit) << c.name;
    EXPECT_EQ(text.first_number() + text.line_count(), kSent) << c.name;
    const std::string_view last = text.last_lines(1).at(0);
    EXPECT_EQ(last,
              std::string_view(c.line).substr(c.line.size() - std::min(c.line.size(), kLimit)))
        << c.name;
  }
}

TEST(ViewerText, RawInsertionsSplitAtLineBreaksAsAnEditControlDoes) {
  struct Case {
    std::vector<const char*> raws;
    const char* text;
    std::size_t lines;
  };
  const Case cases[] = {
      {{"a"}, "a", 1},           {{"a", "\r\nb\r\nc"}, "a\r\nb\r\nc", 3},
      {{"ab", "cd"}, "abcd", 1},  // no break: the last line goes on
      {{"\r\n"}, "\r\n", 2},     {{"a\r\n", "b"}, "a\r\nb", 2},
      {{"a\rb\n"}, "a\rb\n", 1},  // a lone CR or LF is no break
  };
  for (const auto& c : cases) {
    ViewerText text;
    for (const char* raw : c.raws) text.append_raw(raw);
    EXPECT_EQ(text.text(), c.text) << c.raws.size() << " insertions, first " << c.raws[0];
    EXPECT_EQ(text.line_count(), c.lines) << c.text;
  }
}

}  // namespace
}  // namespace fpu::viewer
