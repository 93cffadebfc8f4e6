// The find bar over texts and queries that made it hang: long queries, long lines of one
// letter, a match at the far end of a full text; and the bars as a user edits them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/viewer/viewer_find.h"
#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {
namespace {

// Every match, overlapping ones too, found the plain way.
std::vector<std::size_t> every_match(std::string_view text, std::string_view query,
                                     bool match_case) {
  const auto fold = [match_case](char c) {
    return !match_case && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  std::vector<std::size_t> found;
  for (std::size_t at = 0; !query.empty() && at + query.size() <= text.size(); ++at) {
    std::size_t i = 0;
    while (i < query.size() && fold(text[at + i]) == fold(query[i])) ++i;
    if (i == query.size()) found.push_back(at);
  }
  return found;
}

TEST(ViewerFind, SelfOverlappingQueriesFindEveryMatch) {
  struct Case {
    std::string text;
    std::string query;
    bool match_case;
  };
  const Case cases[] = {
      {std::string(50, 'a'), std::string(7, 'a'), true},
      {std::string(50, 'a') + "b", std::string(20, 'a') + "b", true},
      {"b" + std::string(50, 'a'), "b" + std::string(20, 'a'), false},
      {"abababcabababcababab", "ababc", true},
      {"aabaabaaabaabaaab", "aabaaab", true},
      {"ABAbabABab", "abab", false},
      {"ABAbabABab", "abab", true},
      {"xopc = 8\r\nXOPC = 8\r\nxopc = 80", "xopc = 8", false},
      {"short", "longer than the text", false},
      {"\xe4\xc4 \xe4", "\xe4", false},  // Latin-1 letters are not folded
  };
  for (const auto& c : cases) {
    ViewerFind find;
    find.set_query(c.query, c.match_case);
    const auto expected = every_match(c.text, c.query, c.match_case);
    EXPECT_EQ(find.matches_in(c.text, c.text.size()), expected) << c.query << " in " << c.text;
    // The count in slices of every size agrees, and so do stepping forwards and backwards.
    for (std::size_t budget : {std::size_t{1}, std::size_t{3}, c.query.size(), c.text.size()}) {
      find.set_query(c.query, c.match_case);
      int slices = 0;
      while (!find.count_slice(c.text, 0, 0, budget)) ASSERT_LT(++slices, 10000);
      EXPECT_EQ(find.count(), expected.size()) << c.query << " in slices of " << budget;
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(find.next(c.text, expected[i] + 1, false), expected[(i + 1) % expected.size()]);
      EXPECT_EQ(find.next(c.text, expected[i], true),
                expected[(i + expected.size() - 1) % expected.size()]);
    }
  }
}

TEST(ViewerFind, SlicedNextLooksThroughAtMostItsBudgetAndWraps) {
  // 0 is a match, 5000 the other; between them 4,990 bytes that almost match.
  const std::string text = "needle" + std::string(4994, 'n') + "needle";
  struct Case {
    std::uint64_t from;
    bool backward;
    std::size_t budget;
    std::size_t slices;  // until the answer is known
    std::uint64_t found;
  };
  const Case cases[] = {
      {1, false, 1000, 5, 5000},     // on to the far match
      {5001, false, 1000, 1, 0},     // wraps past the end to the first, in the same slice
      {5000, true, 1000, 5, 0},      // back to the first
      {0, true, 1000, 6, 5000},      // before the first: wraps to the last
      {1, false, 1 << 20, 1, 5000},  // a large budget: at once
      {1, false, 1, 5000, 5000},     // a byte a slice still ends
  };
  for (const auto& c : cases) {
    ViewerFind find;
    find.set_query("needle", true);
    find.begin_next(c.from, c.backward);
    std::size_t slices = 1;
    while (!find.next_slice(text, 0, c.budget)) ASSERT_LT(++slices, 100000u);
    EXPECT_EQ(slices, c.slices) << "from " << c.from << (c.backward ? " backwards" : "");
    EXPECT_EQ(find.found(), c.found) << "from " << c.from << (c.backward ? " backwards" : "");
  }
}

SaveResult no_save(const std::string&, std::time_t) {
  return {};
}

TEST(ViewerModel, LongQueriesAreCutAndTheFirstSearchIsSliced) {
  struct Case {
    const char* name;
    ViewerKey bar;
    std::size_t typed;
  };
  const Case cases[] = {
      {"find", ViewerKey::f, 1000},
      {"filter", ViewerKey::i, 1000},
      {"highlight", ViewerKey::h, 1500},
  };
  for (const auto& c : cases) {
    ViewerModel model(no_save);
    model.key(c.bar, true);
    for (std::size_t i = 0; i < c.typed; ++i) model.type("a");
    model.type("b");
    EXPECT_EQ(model.bar_text_size(), kMaxQuery) << c.name;
  }
  // A full text whose only match is its last line: the bar says it is searching, and each
  // frame's work looks through one budget of it.
  ViewerModel model(no_save);
  const std::string filler(1000, 'a');
  for (int i = 0; i < 4000; ++i) model.text().append(filler);
  model.text().append("the needle");
  model.view().set_rows(10);
  model.text_changed();
  model.key(ViewerKey::home, false);
  model.key(ViewerKey::f, true);
  model.type("needle");
  if (kCountSlice < model.text().text().size()) {
    EXPECT_TRUE(model.find_line().ends_with("searching...")) << model.find_line();
    EXPECT_FALSE(model.current_match());
  }
  int frames = 0;
  while (model.work(kCountSlice)) ASSERT_LT(++frames, 100);
  ASSERT_TRUE(model.current_match());
  EXPECT_EQ(model.current_match()->line, 4000u);
  EXPECT_EQ(model.find_line(), "Find: needle   1 of 1");
  EXPECT_GE(model.view().top() + model.view().rows(), 4000u) << "the match is in view";
}

// As the Windows viewer draws: a paint after each key, then one after each tick whose work
// says the bar changed, until work says there is nothing more.
std::string painted_after(ViewerModel& model, ViewerKey key, bool shift) {
  model.key(key, false, shift);
  std::string painted = model.find_line();
  while (model.work(kCountSlice)) painted = model.find_line();
  return painted;
}

TEST(ViewerModel, FindCounterFollowsTheMarkAsPainted) {
  ViewerModel model(no_save);
  for (const char* line : {"xopc = 62", "xopc = 8", "rol1 = 2", "xopc = 8", "eAX = 1"}) {
    model.text().append(line);
  }
  model.view().set_rows(3);
  model.text_changed();
  model.key(ViewerKey::home, false);
  model.key(ViewerKey::f, true);
  model.type("xopc = 8");
  while (model.work(kCountSlice)) {
  }
  ASSERT_EQ(model.find_line(), "Find: xopc = 8   1 of 2");
  struct Step {
    ViewerKey key;
    bool shift;
    std::uint64_t line;
    const char* painted;
  };
  const Step steps[] = {
      {ViewerKey::enter, false, 3, "Find: xopc = 8   2 of 2"},
      {ViewerKey::f3, false, 1, "Find: xopc = 8   1 of 2"},  // wraps
      {ViewerKey::f3, true, 3, "Find: xopc = 8   2 of 2"},   // wraps backwards
      {ViewerKey::enter, true, 1, "Find: xopc = 8   1 of 2"},
      {ViewerKey::enter, false, 3, "Find: xopc = 8   2 of 2"},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(painted_after(model, s.key, s.shift), s.painted);
    ASSERT_TRUE(model.current_match());
    EXPECT_EQ(model.current_match()->line, s.line) << s.painted;
  }
}

TEST(ViewerModel, BarsTakeTheirOwnKeys) {
  struct Press {
    ViewerKey key;
    bool ctrl;
    bool alt;
    const char* typed;  // sent after the key, as a platform does for a character
  };
  struct Case {
    const char* name;
    std::vector<Press> presses;
    const char* bar;
    bool lines_selected;
  };
  const Case cases[] = {
      {"Alt+C types nothing",
       {{ViewerKey::f, true, false, nullptr},
        {ViewerKey::other, false, false, "ROL2"},
        {ViewerKey::c, false, true, "c"}},
       "Find: ROL2   [match case]   no match",
       false},
      {"a plain c after Alt+C is typed",
       {{ViewerKey::f, true, false, nullptr},
        {ViewerKey::c, false, true, "c"},
        {ViewerKey::c, false, false, "c"}},
       "Find: c   [match case]   1 of 1",
       false},
      {"Ctrl+F again selects the last query: typing replaces it",
       {{ViewerKey::f, true, false, "rot"},
        {ViewerKey::escape, false, false, nullptr},
        {ViewerKey::f, true, false, nullptr},
        {ViewerKey::other, false, false, "xopc"}},
       "Find: xopc   1 of 1",
       false},
      {"Ctrl+A in the bar selects its text, not the lines",
       {{ViewerKey::i, true, false, "rot"},
        {ViewerKey::a, true, false, nullptr},
        {ViewerKey::other, false, false, "x"}},
       "Filter: x   (Enter sets, empty shows all)",
       false},
      {"Backspace on a selected bar empties it",
       {{ViewerKey::h, true, false, "rot2 red"},
        {ViewerKey::a, true, false, nullptr},
        {ViewerKey::backspace, false, false, nullptr}},
       "Highlight:    (TEXT COLOUR: yellow green blue red orange purple cyan grey; TEXT off "
       "removes)",
       false},
      {"Ctrl+A outside the bars selects the lines",
       {{ViewerKey::a, true, false, nullptr}},
       "",
       true},
  };
  for (const auto& c : cases) {
    ViewerModel model(no_save);
    for (const char* line : {"rot1 = 25", "rot2 = 5", "xopc = 62"}) model.text().append(line);
    model.view().set_rows(5);
    model.text_changed();
    for (const Press& p : c.presses) {
      model.key(p.key, p.ctrl, false, p.alt);
      if (p.typed != nullptr) model.type(p.typed);
    }
    while (model.work(kCountSlice)) {
    }
    EXPECT_EQ(model.bar_line(), c.bar) << c.name;
    EXPECT_EQ(model.view().has_selection(), c.lines_selected) << c.name;
  }
}

TEST(ViewerModel, SaveNoteGoesWithTheText) {
  const ViewerKey clearing[] = {ViewerKey::del, ViewerKey::l, ViewerKey::escape};
  for (const ViewerKey key : clearing) {
    ViewerModel model([](const std::string&, std::time_t) {
      return SaveResult{true, "/docs/fpu-trace.txt", ""};
    });
    model.text().append("a");
    model.text_changed();
    model.save(0);
    ASSERT_EQ(model.title("viewer"), "viewer - saved to /docs/fpu-trace.txt");
    model.key(key, key == ViewerKey::l);
    EXPECT_EQ(model.title("viewer"), "viewer") << static_cast<int>(key);
    EXPECT_EQ(model.status(), "") << static_cast<int>(key);
  }
}

}  // namespace
}  // namespace fpu::viewer
