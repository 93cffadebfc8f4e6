#include "tools/viewer/viewer_find.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {
namespace {

TEST(ViewerFind, NextAndPreviousWrapAndHonourCase) {
  //                            0         1          2
  //                            0123456789012 3 45678901
  const std::string_view text = "beta Beta\r\nxbeta BETA";
  struct Case {
    const char* query;
    bool match_case;
    std::size_t from;
    bool backward;
    std::optional<std::size_t> expected;
  };
  const Case cases[] = {
      {"beta", false, 0, false, 0},
      {"beta", false, 1, false, 5},
      {"beta", false, 20, false, 0},  // past the last match: wraps to the first
      {"beta", false, 5, true, 0},
      {"beta", false, 0, true, 17},  // before the first: wraps to the last
      {"beta", true, 1, false, 12},
      {"BETA", true, 0, true, 17},
      {"Beta", true, 6, false, 5},
      {"delta", false, 0, false, std::nullopt},
      {"", false, 0, false, std::nullopt},
  };
  for (const auto& c : cases) {
    ViewerFind find;
    find.set_query(c.query, c.match_case);
    EXPECT_EQ(find.next(text, c.from, c.backward), c.expected)
        << c.query << (c.match_case ? " (case)" : "") << " from " << c.from
        << (c.backward ? " backwards" : "");
  }
}

TEST(ViewerFind, CountInSlicesMatchesCountAtOnce) {
  std::string text;
  for (int i = 0; i < 500; ++i) text += "xopc = " + std::to_string(i) + "\r\n";
  struct Case {
    const char* query;
    std::size_t budget;
    std::size_t current;
    std::size_t count;
    std::size_t before;
  };
  const Case cases[] = {
      {"xopc", 1 << 20, 0, 500, 0}, {"xopc", 7, 0, 500, 0},  // slices shorter than the query
      {"XOPC", 100, 120, 500, 12},  {"= 4", 33, 0, 111, 0},  // 4, 40-49, 400-499
      {"nothing", 10, 0, 0, 0},
  };
  for (const auto& c : cases) {
    ViewerFind find;
    find.set_query(c.query, false);
    int slices = 0;
    while (!find.count_slice(text, 0, c.current, c.budget)) ASSERT_LT(++slices, 100000);
    EXPECT_EQ(find.count(), c.count) << c.query << " in slices of " << c.budget;
    EXPECT_EQ(find.before_current(), c.before) << c.query;
  }
  // Text appended while counting goes on the count.
  ViewerFind find;
  find.set_query("xopc", false);
  find.count_slice(text, 0, 0, 1000);
  std::string longer = text + "xop";
  find.count_slice(longer, 0, 0, 1 << 20);
  longer += "c";
  EXPECT_TRUE(find.count_slice(longer, 0, 0, 1 << 20));
  EXPECT_EQ(find.count(), 501u);
}

SaveResult no_save(const std::string&, std::time_t) {
  return {};
}

void fill(ViewerModel& model, int count) {
  for (int i = 0; i < count; ++i) model.text().append("line " + std::to_string(i));
  model.view().set_rows(5);
  model.text_changed();
}

TEST(ViewerModel, FindBarFindsCountsAndSteps) {
  ViewerModel model(no_save);
  fill(model, 100);
  model.key(ViewerKey::f, true);
  ASSERT_TRUE(model.find_open());
  model.key(ViewerKey::home, false);
  model.type("line 4");  // line 4, 40-49
  while (model.work(64)) {
  }
  EXPECT_EQ(model.find_line(), "Find: line 4   1 of 11");
  EXPECT_EQ(model.current_match()->line, 4u);
  struct Step {
    ViewerKey key;
    bool shift;
    std::uint64_t line;
    const char* status;
  };
  const Step steps[] = {
      {ViewerKey::enter, false, 40, "2 of 11"}, {ViewerKey::f3, false, 41, "3 of 11"},
      {ViewerKey::f3, true, 40, "2 of 11"},     {ViewerKey::f3, true, 4, "1 of 11"},
      {ViewerKey::enter, true, 49, "11 of 11"},  // wraps backwards
      {ViewerKey::enter, false, 4, "1 of 11"},   // and forwards
  };
  for (const auto& s : steps) {
    model.key(s.key, false, s.shift);
    while (model.work(64)) {
    }
    ASSERT_TRUE(model.current_match());
    EXPECT_EQ(model.current_match()->line, s.line) << s.status;
    EXPECT_TRUE(model.find_line().ends_with(s.status)) << model.find_line();
    EXPECT_LE(model.view().top(), s.line) << "the match is in view";
    EXPECT_GT(model.view().top() + model.view().rows(), s.line) << "the match is in view";
  }
  model.key(ViewerKey::c, false, false, true);  // Alt+C: match case
  model.type("X");
  EXPECT_TRUE(model.find_line().ends_with("counting...")) << "not the last query's count";
  while (model.work(64)) {
  }
  EXPECT_EQ(model.find_line(), "Find: line 4X   [match case]   no match");
  // Lines streaming in, a few bytes a frame, never keep a count without a current match from
  // finishing.
  for (int frame = 0; frame < 200; ++frame) {
    model.text().append("more");
    model.text_changed();
    model.work(16);
  }
  EXPECT_EQ(model.find_line(), "Find: line 4X   [match case]   no match");
  model.key(ViewerKey::escape, false);
  EXPECT_FALSE(model.find_open());
}

TEST(ViewerModel, PauseKeepsLinesCountsThemAndResumes) {
  struct Case {
    const char* name;
    bool scrolled_up;  // when paused
    ViewerKey key;
    bool ctrl;
  };
  const Case cases[] = {
      {"Space at the end", false, ViewerKey::space, false},
      {"Ctrl+P at the end", false, ViewerKey::p, true},
      {"Space while reading above", true, ViewerKey::space, false},
  };
  for (const auto& c : cases) {
    ViewerModel model(no_save);
    fill(model, 20);
    if (c.scrolled_up) model.key(ViewerKey::page_up, false);
    const std::uint64_t top = model.view().top();
    model.key(c.key, c.ctrl);
    ASSERT_TRUE(model.paused()) << c.name;
    for (int i = 20; i < 27; ++i) model.text().append("line " + std::to_string(i));
    model.text_changed();
    EXPECT_EQ(model.view().top(), top) << c.name << ": the view must stand still";
    EXPECT_EQ(model.status(), "paused: 7 new lines") << c.name;
    EXPECT_EQ(model.text().line_count(), 27u) << c.name;
    model.key(c.key, c.ctrl);
    EXPECT_FALSE(model.paused()) << c.name;
    EXPECT_EQ(model.view().following(), !c.scrolled_up) << c.name;
    EXPECT_EQ(model.view().top(), c.scrolled_up ? top : 22u) << c.name;
  }
}

}  // namespace
}  // namespace fpu::viewer
