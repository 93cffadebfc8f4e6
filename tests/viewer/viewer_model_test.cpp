#include "tools/viewer/viewer_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fpu::viewer {
namespace {

struct Saved {
  std::vector<std::string> texts;
  bool fail = false;
};

ViewerModel model_saving_to(Saved& saved) {
  return ViewerModel([&saved](const std::string& text, std::time_t) {
    saved.texts.push_back(text);
    SaveResult result;
    result.ok = !saved.fail;
    result.path = "/docs/fpu-trace.txt";
    result.error = saved.fail ? "disk full" : "";
    return result;
  });
}

TEST(ViewerModel, KeysDoWhatTheKeyListSays) {
  struct Press {
    ViewerKey key;
    bool ctrl;
  };
  struct Case {
    const char* name;
    std::vector<Press> presses;
    KeyOutcome last;
    std::size_t lines;   // left in the text
    bool help;           // the key list shown
    std::size_t saves;   // texts handed to the saver
    const char* status;  // the status line begins so; empty: the status line is empty
    bool on_top = false;
  };
  const Case cases[] = {
      {"Delete clears", {{ViewerKey::del, false}}, KeyOutcome::handled, 0, false, 0, ""},
      {"Ctrl+L clears", {{ViewerKey::l, true}}, KeyOutcome::handled, 0, false, 0, ""},
      {"L alone is not a viewer key",
       {{ViewerKey::l, false}},
       KeyOutcome::ignored,
       3,
       false,
       0,
       ""},
      {"F1 lists the keys", {{ViewerKey::f1, false}}, KeyOutcome::handled, 3, true, 0, ""},
      {"F1 again closes the list",
       {{ViewerKey::f1, false}, {ViewerKey::f1, false}},
       KeyOutcome::handled,
       3,
       false,
       0,
       ""},
      {"Escape closes the list",
       {{ViewerKey::f1, false}, {ViewerKey::escape, false}},
       KeyOutcome::handled,
       3,
       false,
       0,
       ""},
      {"Ctrl+S saves",
       {{ViewerKey::s, true}},
       KeyOutcome::handled,
       3,
       false,
       1,
       "Saved 3 lines to"},
      {"Escape clears the status",
       {{ViewerKey::s, true}, {ViewerKey::escape, false}},
       KeyOutcome::handled,
       3,
       false,
       1,
       ""},
      {"Ctrl+C without a selection copies nothing",
       {{ViewerKey::c, true}},
       KeyOutcome::handled,
       3,
       false,
       0,
       ""},
      {"Ctrl+A then Ctrl+C copies",
       {{ViewerKey::a, true}, {ViewerKey::c, true}},
       KeyOutcome::copy,
       3,
       false,
       0,
       ""},
      {"Ctrl+O keeps the window on top",
       {{ViewerKey::o, true}},
       KeyOutcome::handled,
       3,
       false,
       0,
       "",
       true},
      {"Ctrl+O again lets it go",
       {{ViewerKey::o, true}, {ViewerKey::o, true}},
       KeyOutcome::handled,
       3,
       false,
       0,
       ""},
      {"other keys are left to the platform",
       {{ViewerKey::other, true}},
       KeyOutcome::ignored,
       3,
       false,
       0,
       ""},
  };
  for (const auto& c : cases) {
    Saved saved;
    ViewerModel model = model_saving_to(saved);
    for (const char* line : {"rot1 = 25", "rot2 = 5", "xopc = 62"}) model.text().append(line);
    model.text_changed();
    KeyOutcome outcome = KeyOutcome::ignored;
    for (const Press& p : c.presses) outcome = model.key(p.key, p.ctrl);
    EXPECT_EQ(outcome, c.last) << c.name;
    EXPECT_EQ(model.text().line_count(), c.lines) << c.name;
    EXPECT_EQ(model.help_shown(), c.help) << c.name;
    EXPECT_EQ(model.on_top(), c.on_top) << c.name;
    ASSERT_EQ(saved.texts.size(), c.saves) << c.name;
    if (c.saves > 0) {
      EXPECT_EQ(saved.texts[0], "rot1 = 25\r\nrot2 = 5\r\nxopc = 62") << c.name;
    }
    const std::string_view want = c.status;
    if (want.empty()) {
      EXPECT_EQ(model.status(), "") << c.name;
    } else {
      EXPECT_TRUE(model.status().starts_with(want)) << c.name << ": " << model.status();
    }
  }
}

TEST(ViewerModel, SaveOutcomeShowsInStatusAndTitle) {
  Saved saved;
  ViewerModel model = model_saving_to(saved);
  model.text().append("a");
  EXPECT_EQ(model.title("viewer"), "viewer");
  saved.fail = true;
  model.save(0);
  EXPECT_EQ(model.status(), "Could not save: disk full");
  EXPECT_EQ(model.title("viewer"), "viewer - could not save /docs/fpu-trace.txt");
  saved.fail = false;
  model.save(0);
  EXPECT_EQ(model.title("viewer"), "viewer - saved to /docs/fpu-trace.txt");
}

TEST(ViewerModel, TimeColumnIsSavedOnlyWhenShown) {
  struct Case {
    const char* name;
    int ctrl_t;  // presses
    const char* saved;
  };
  const Case cases[] = {
      {"hidden: the text as received", 0, "rot1 = 25\r\n\r\nxopc = 62"},
      {"shown", 1, "      0.000 rot1 = 25\r\n      1.250 \r\n   4000.001 xopc = 62"},
      {"shown, then hidden again", 2, "rot1 = 25\r\n\r\nxopc = 62"},
  };
  for (const auto& c : cases) {
    Saved saved;
    ViewerModel model = model_saving_to(saved);
    std::uint32_t now = 0;
    model.text().set_clock([&now] { return now; });
    model.text().append("rot1 = 25");
    now = 1250;
    model.text().append("");
    now = 4000001;
    model.text().append("xopc = 62");
    for (int i = 0; i < c.ctrl_t; ++i) model.key(ViewerKey::t, true);
    EXPECT_EQ(model.time_shown(), c.ctrl_t % 2 == 1) << c.name;
    model.key(ViewerKey::s, true);
    ASSERT_EQ(saved.texts.size(), 1u) << c.name;
    EXPECT_EQ(saved.texts[0], c.saved) << c.name;
  }
}

TEST(ViewerModel, FilterShowsOnlyItsLinesAndKeepsTheRest) {
  struct Case {
    const char* name;
    const char* filter;  // typed into the bar after `before`
    std::vector<const char*> before;
    std::vector<const char*> after;  // arriving while filtered, each handled apart
    const char* shown;               // what Ctrl+S saves while filtered
    const char* status;
    bool pause = false;
    std::size_t limit = kTextLimit;
  };
  const Case cases[] = {
      {"lines containing the text, any case",
       "XOPC",
       {"rot1 = 25\r\nxopc = 62\r\nrot2 = 5\r\nXopc = 1"},
       {},
       "xopc = 62\r\nXopc = 1",
       "showing 2 of 4 lines"},
      {"! keeps the lines without it",
       "!xopc",
       {"rot1 = 25\r\nxopc = 62\r\nrot2 = 5"},
       {},
       "rot1 = 25\r\nrot2 = 5",
       "showing 2 of 3 lines"},
      {"lines arriving are filtered and counted",
       "rot",
       {"rot1 = 25"},
       {"\r\nxopc = 7", "\r\nrot3 = 9", "\r\nflag"},
       "rot1 = 25\r\nrot3 = 9",
       "showing 2 of 4 lines"},
      {"a line a sender continues is judged whole",
       "xopc",
       {"a\r\n"},
       {"xo", "pc = 1\r\n", "b\r\n"},
       "xopc = 1",
       "showing 1 of 4 lines"},
      {"a continued line that stops matching goes",
       "!xopc",
       {"a\r\n"},
       {"xo", "pc = 1\r\n", "b\r\n"},
       "a\r\nb",
       "showing 2 of 4 lines"},
      {"paused: both counts go on",
       "rot",
       {"rot1 = 25"},
       {"\r\nrot2 = 5", "\r\nxopc = 62"},
       "rot1 = 25\r\nrot2 = 5",
       "paused: 2 new lines   showing 2 of 3 lines",
       true},
      {"old lines discarded leave the filter right",
       "keep",
       {"keep 0\r\ndrop 1\r\nkeep 2"},
       {"\r\ndrop 3", "\r\nkeep 4", "\r\ndrop 5", "\r\nkeep 6", "\r\ndrop 7"},
       "keep 4\r\nkeep 6",
       "showing 2 of 4 lines",
       false,
       32},
  };
  for (const auto& c : cases) {
    Saved saved;
    ViewerModel model(
        [&saved](const std::string& text, std::time_t) {
          saved.texts.push_back(text);
          return SaveResult{true, "", ""};
        },
        c.limit);
    for (const char* raw : c.before) model.text().append_raw(raw);
    model.text_changed();
    if (c.pause) model.key(ViewerKey::space, false);
    model.key(ViewerKey::i, true);
    model.type(c.filter);
    model.key(ViewerKey::enter, false);
    for (const char* raw : c.after) {
      model.text().append_raw(raw);
      model.text_changed();
    }
    EXPECT_EQ(model.status(), c.status) << c.name;
    model.key(ViewerKey::s, true);
    ASSERT_EQ(saved.texts.size(), 1u) << c.name;
    EXPECT_EQ(saved.texts[0], c.shown) << c.name;
  }
}

TEST(EditSelection, ProgramsAppendAtTheCaretTheyPut) {
  // What a sender does: length, caret to the end, insertion; and what a click does first.
  struct Case {
    const char* name;
    std::int64_t start;
    std::int64_t end;
    const char* expected;
  };
  const Case cases[] = {
      {"caret at the end", 6, 6, "ab\r\ncd\r\nef"},
      {"caret at the start", 0, 0, "\r\nefab\r\ncd"},
      {"negative means the end", -2, -2, "ab\r\ncd\r\nef"},
      {"a range is replaced", 1, 3, "a\r\nef\ncd"},
      {"past the end is the end", 99, 99, "ab\r\ncd\r\nef"},
  };
  for (const auto& c : cases) {
    ViewerText text;
    EditSelection edit(text);
    edit.set_text("ab\r\ncd");
    edit.set(c.start, c.end);
    edit.replace("\r\nef");
    EXPECT_EQ(text.text(), c.expected) << c.name;
    const auto caret = edit.get();
    EXPECT_EQ(caret.first, caret.second) << c.name;
  }
}

TEST(EditSelection, CaretStaysWithItsTextWhenOldLinesGo) {
  ViewerText text(64);
  EditSelection edit(text);
  for (int i = 0; i < 40; ++i) {
    edit.set(-2, -2);
    edit.replace(i == 0 ? "line 0" : "\r\nline " + std::to_string(i));
  }
  ASSERT_GT(text.first_number(), 0u) << "the test meant to discard lines";
  EXPECT_EQ(edit.get().first, text.text().size());
  edit.set(-1, 0);  // removes the selection only: the caret stays at the end
  EXPECT_EQ(edit.get().first, text.text().size());
}

}  // namespace
}  // namespace fpu::viewer
