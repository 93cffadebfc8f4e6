#include "tools/viewer/viewer_view.h"

#include <gtest/gtest.h>

#include <string>

namespace fpu::viewer {
namespace {

void append_lines(ViewerText& text, int first, int count) {
  for (int i = first; i < first + count; ++i) text.append("line " + std::to_string(i));
}

TEST(ViewerView, FollowsAtTheEndStaysPutAboveItEndResumes) {
  ViewerText text;
  ViewerView view(text);
  view.set_rows(3);
  append_lines(text, 0, 10);
  view.text_changed();
  EXPECT_TRUE(view.following());
  EXPECT_EQ(view.top(), 7u);

  view.scroll_by(-2);
  EXPECT_FALSE(view.following());
  append_lines(text, 10, 5);
  view.text_changed();
  EXPECT_EQ(view.top(), 5u) << "reading further up, new lines must not move the view";

  view.end();
  EXPECT_TRUE(view.following());
  EXPECT_EQ(view.top(), 12u);
  append_lines(text, 15, 1);
  view.text_changed();
  EXPECT_EQ(view.top(), 13u);
}

TEST(ViewerView, MovesThroughTheText) {
  // rows 4 over 20 lines: top rows 0..16, a page is 3 lines.
  struct Case {
    const char* name;
    void (*move)(ViewerView&);
    std::uint64_t top;
    bool following;
  };
  const Case cases[] = {
      {"page up", [](ViewerView& v) { v.page_up(); }, 13, false},
      {"page up then down to the end", [](ViewerView& v) { v.page_up(), v.page_down(); }, 16, true},
      {"home", [](ViewerView& v) { v.home(); }, 0, false},
      {"far up stops at the first line", [](ViewerView& v) { v.scroll_by(-1000); }, 0, false},
      {"far down stops at the end", [](ViewerView& v) { v.home(), v.scroll_by(1000); }, 16, true},
      {"wheel down to the end follows again",
       [](ViewerView& v) { v.scroll_by(-5), v.scroll_by(5); }, 16, true},
      {"thumb at the middle", [](ViewerView& v) { v.scroll_to_fraction(0.5); }, 8, false},
      {"thumb at the end", [](ViewerView& v) { v.home(), v.scroll_to_fraction(1.0); }, 16, true},
  };
  for (const auto& c : cases) {
    ViewerText text;
    ViewerView view(text);
    view.set_rows(4);
    append_lines(text, 0, 20);
    view.text_changed();
    c.move(view);
    EXPECT_EQ(view.top(), c.top) << c.name;
    EXPECT_EQ(view.following(), c.following) << c.name;
  }
}

TEST(ViewerView, DiscardedLinesDoNotMoveWhatIsRead) {
  // Past 600 bytes the text keeps its newest 300: ten long lines first, so that the first
  // cut takes only some of them.
  ViewerText text(600);
  ViewerView view(text);
  view.set_rows(2);
  for (int i = 0; i < 10; ++i) text.append(std::string(40, 'a' + i));
  append_lines(text, 10, 10);
  view.text_changed();
  view.scroll_by(-6);  // top row: "line 12"
  ASSERT_EQ(text.line(static_cast<std::size_t>(view.top() - text.first_number())), "line 12");
  append_lines(text, 20, 12);
  view.text_changed();
  ASSERT_GT(text.first_number(), 0u) << "the test meant to discard lines here";
  EXPECT_EQ(text.line(static_cast<std::size_t>(view.top() - text.first_number())), "line 12");
  append_lines(text, 32, 60);  // now line 12 is gone: the view keeps to the oldest line left
  view.text_changed();
  EXPECT_EQ(view.top(), text.first_number());
  EXPECT_FALSE(view.following());
}

TEST(ViewerView, SelectedTextCoversWhatWasDraggedOver) {
  ViewerText text;
  for (const char* line : {"rot1 = 25", "rot2 = 5", "", "rol1 = 0"}) text.append(line);
  struct Case {
    TextPosition from;
    TextPosition to;
    const char* expected;
  };
  const Case cases[] = {
      {{0, 0}, {0, 4}, "rot1"},
      {{0, 7}, {1, 4}, "25\nrot2"},
      {{1, 4}, {0, 7}, "25\nrot2"},  // dragged upwards
      {{1, 0}, {3, 99}, "rot2 = 5\n\nrol1 = 0"},
      {{0, 3}, {0, 3}, ""},
      {{2, 5}, {3, 0}, "\n"},  // past the end of an empty line
      {{3, 2}, {10, 0}, "l1 = 0"},
  };
  for (const auto& c : cases) {
    ViewerView view(text);
    view.begin_selection(c.from);
    view.extend_selection(c.to);
    EXPECT_EQ(view.selected_text(), c.expected)
        << c.from.line << ":" << c.from.column << " to " << c.to.line << ":" << c.to.column;
  }
  ViewerView view(text);
  view.select_all();
  EXPECT_EQ(view.selected_text(), "rot1 = 25\nrot2 = 5\n\nrol1 = 0");
  text.clear();
  view.text_changed();
  EXPECT_FALSE(view.has_selection());
}

}  // namespace
}  // namespace fpu::viewer
