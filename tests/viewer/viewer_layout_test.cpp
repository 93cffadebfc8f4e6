#include "tools/viewer/viewer_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tools/viewer/viewer_commands.h"
#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {
namespace {

SaveResult no_save(const std::string&, std::time_t) {
  return {};
}

// Every row of a box fits inside it, and the box inside the window.
void expect_fits(const LayoutBox& box, const ViewerLayout& layout, const LayoutMetrics& m,
                 const std::string& what) {
  EXPECT_GE(box.box.x, 0) << what;
  EXPECT_GE(box.box.y, 0) << what;
  EXPECT_LE(box.box.x + box.box.width, m.width) << what;
  EXPECT_LE(box.box.y + box.box.height, m.height) << what;
  for (std::size_t i = 0; i < box.rows.size(); ++i) {
    const int right = box.text_x + static_cast<int>(box.rows[i].size()) * layout.char_width;
    EXPECT_LE(right, box.box.x + box.box.width - 1) << what << " row \"" << box.rows[i] << "\"";
    const int bottom = box.text_y + static_cast<int>(i + 1) * layout.line_height;
    EXPECT_LE(bottom, box.box.y + box.box.height) << what << " row " << i;
  }
}

TEST(ViewerLayout, EveryStringFitsItsBoxAtAnyWidthAndScale) {
  // The windows' fonts: about 8 x 17 pixels a character at scale 1 (Linux 14 px DejaVu Sans
  // Mono, Windows' fixed font), scaled whole.
  struct Font {
    int char_width;
    int line_height;
  };
  const Font fonts[] = {{8, 17}, {9, 16}};
  const int widths[] = {400, 499, 640, 720, 800, 1024, 1210, 1440, 1920};
  const int scales[] = {1, 2, 3};
  struct State {
    const char* name;
    void (*set)(ViewerModel&);
  };
  const State states[] = {
      {"F1 list", [](ViewerModel& m) { m.key(ViewerKey::f1, false); }},
      {"a long note and the filter bar",
       [](ViewerModel& m) {
         m.note(
             "Highlight rules in /home/someone/.config/fpu-trace-viewer/highlight.conf "
             "ignored (line 3: unknown colour \"mauve\"); kept as /home/someone/.config/"
             "fpu-trace-viewer/highlight.conf.bad");
         m.key(ViewerKey::i, true);
         m.type("xopc = 62");
       }},
      {"a find bar with the longest query",
       [](ViewerModel& m) {
         m.key(ViewerKey::f, true);
         m.key(ViewerKey::c, false, false, true);
         m.type(std::string(kMaxQuery, 'x'));
       }},
      {"the highlight bar, paused, time column",
       [](ViewerModel& m) {
         m.key(ViewerKey::t, true);
         m.key(ViewerKey::space, false);
         m.key(ViewerKey::h, true);
       }},
  };
  for (const Font& font : fonts) {
    for (const int scale : scales) {
      for (const int width : widths) {
        for (const State& state : states) {
          ViewerModel model(no_save);
          model.text().append("rol1 = 25, xopc = 62");
          model.text_changed();
          state.set(model);
          const LayoutMetrics m{
              width,     width * 3 / 4, font.line_height * scale, font.char_width * scale,
              4 * scale, 14 * scale};
          const ViewerLayout layout = lay_out(model, m);
          const std::string what = std::string(state.name) + " at " + std::to_string(width) +
                                   " px, scale " + std::to_string(scale) + ", font " +
                                   std::to_string(font.char_width);
          expect_fits(layout.keys, layout, m, what + ": key line");
          if (layout.status) expect_fits(*layout.status, layout, m, what + ": status");
          if (layout.bar) expect_fits(*layout.bar, layout, m, what + ": bar");
          // Every band the model has is shown while the window is not too low for them.
          if (m.height >= 12 * m.line_height) {
            EXPECT_EQ(layout.bar.has_value(), model.bar_open()) << what;
            EXPECT_EQ(layout.status.has_value(), !model.status().empty()) << what;
            EXPECT_GE(layout.rows, 1u) << what;
          }
          // The bands stack under the text without overlapping it.
          const int bands = layout.keys.box.height +
                            (layout.status ? layout.status->box.height : 0) +
                            (layout.bar ? layout.bar->box.height : 0);
          EXPECT_EQ(layout.text.height, std::max(m.height - bands, 0)) << what;
          if (layout.rows > 0) {
            EXPECT_LE(layout.margin + static_cast<int>(layout.rows) * layout.line_height,
                      layout.text.height)
                << what;
          }
          if (!model.help_shown()) continue;
          ASSERT_TRUE(layout.help) << what;
          expect_fits(*layout.help, layout, m, what + ": F1 list");
          // Where it is not cut by the window's height, the list holds every chord.
          std::string all;
          for (const std::string& row : layout.help->rows) all += row + " ";
          const bool whole = layout.help->box.height + 3 * layout.line_height < m.height;
          for (const CommandKey& row : kCommandKeys) {
            if (whole) {
              EXPECT_NE(all.find(row.chord), std::string::npos) << what << row.chord;
            }
          }
        }
      }
    }
  }
}

TEST(ViewerLayout, LeastSizeShowsTheKeyLineAndTheWholeF1ListBesideItsChords) {
  const auto keys = ViewerModel::key_list();
  // Each chord begins a row: the chords stand beside what they do.
  const auto beside = [&](const LayoutBox& help) {
    std::size_t found = 0;
    for (const KeyHelp& k : keys) {
      for (const std::string& row : help.rows) found += row.starts_with(k.keys + " ");
    }
    return found == keys.size();
  };
  for (const int scale : {1, 2, 3}) {
    for (const int scroll_bar : {0, 14 * scale}) {
      const std::string what =
          "scale " + std::to_string(scale) + ", scroll bar " + std::to_string(scroll_bar);
      ViewerModel model(no_save);
      model.key(ViewerKey::f1, false);
      LayoutMetrics m{0, 0, 17 * scale, 8 * scale, 4 * scale, scroll_bar};
      const LayoutSize least = least_size(m);
      m.width = least.width;
      m.height = least.height;
      const ViewerLayout fits = lay_out(model, m);
      ASSERT_TRUE(fits.help) << what;
      EXPECT_EQ(fits.keys.rows.size(), 1u) << what;
      EXPECT_TRUE(beside(*fits.help)) << what;
      expect_fits(*fits.help, fits, m, what);
      EXPECT_LE(fits.help->box.x + fits.help->box.width, m.width - scroll_bar - m.margin) << what;
      // As high as wanted, the list has no more rows: it was whole.
      LayoutMetrics higher = m;
      higher.height *= 2;
      EXPECT_EQ(lay_out(model, higher).help->rows.size(), fits.help->rows.size()) << what;
      // A character narrower, the key line wraps; a row lower, the list is cut.
      LayoutMetrics narrower = higher;
      narrower.width -= m.char_width;
      EXPECT_GT(lay_out(model, narrower).keys.rows.size(), 1u) << what;
      LayoutMetrics lower = m;
      lower.height -= m.line_height;
      EXPECT_LT(lay_out(model, lower).help->rows.size(), fits.help->rows.size()) << what;
    }
  }
}

TEST(ViewerLayout, WrapBreaksAtBlanksAndCutsLongWords) {
  struct Case {
    const char* text;
    std::size_t columns;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {"F1 keys  Ctrl+F find", 40, {"F1 keys  Ctrl+F find"}},
      {"F1 keys  Ctrl+F find", 10, {"F1 keys", "Ctrl+F", "find"}},
      {"abcdefghij klm", 4, {"abcd", "efgh", "ij", "klm"}},
      {"", 5, {""}},
      {"a b", 1, {"a", "b"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wrap_text(c.text, c.columns), c.rows) << c.text << " in " << c.columns;
  }
}

TEST(ViewerLayout, PointsMapToTextPositionsAndEdgesScroll) {
  ViewerModel model(no_save);
  const LayoutMetrics m{400, 300, 20, 10, 4, 14};
  const ViewerLayout layout = lay_out(model, m);
  struct Case {
    int x, y;
    std::uint64_t line;
    std::size_t column;
    int scroll;
  };
  const Case cases[] = {
      {4, 4, 100, 0, 0},     // the first character's left half
      {9, 23, 100, 1, 0},    // its right half: the caret goes after it
      {44, 25, 101, 4, 0},   // the second row
      {0, -30, 100, 0, -1},  // above: the first row, scrolling up
      {30, layout.text.height + 5, 100 + layout.rows - 1, 3, 1},  // below: the last, down
  };
  for (const auto& c : cases) {
    const TextPosition at = layout.position_at(c.x, c.y, 100);
    EXPECT_EQ(at.line, c.line) << c.x << "," << c.y;
    EXPECT_EQ(at.column, c.column) << c.x << "," << c.y;
    EXPECT_EQ(layout.edge_scroll(c.y), c.scroll) << c.x << "," << c.y;
  }
}

TEST(ViewerLayout, SelectedBarTextIsMarked) {
  struct Case {
    ViewerKey bar;
    int width;
    int from, length;  // in characters; length 0: no mark
  };
  const Case cases[] = {
      {ViewerKey::f, 800, 6, 4},  // "Find: " then "xopc"
      {ViewerKey::i, 800, 8, 4},  // "Filter: "
      {ViewerKey::f, 80, 6, 0},   // a narrow window: the text wraps below the first row
  };
  for (const auto& c : cases) {
    ViewerModel model(no_save);
    model.key(c.bar, true);
    model.type("xopc");
    model.key(ViewerKey::enter, false);
    model.key(c.bar, true);  // opened again: its text selected
    const ViewerLayout layout = lay_out(model, {c.width, 600, 20, 10, 4, 14});
    ASSERT_TRUE(layout.bar);
    if (c.length > 0) {
      EXPECT_EQ(layout.bar->mark.x, layout.bar->text_x + c.from * 10) << c.width;
    }
    EXPECT_EQ(layout.bar->mark.width, c.length * 10) << c.width;
    model.type("r");  // replaced: nothing selected
    EXPECT_EQ(lay_out(model, {c.width, 600, 20, 10, 4, 14}).bar->mark.width, 0);
  }
}

TEST(ViewerCommands, EveryChordHasOneCommandAndTheF1ListNamesIt) {
  std::set<std::pair<ViewerKey, unsigned>> seen;
  for (const CommandKey& row : kCommandKeys) {
    if (row.key == ViewerKey::other) continue;
    EXPECT_TRUE(seen.insert({row.key, row.mods}).second) << row.chord << " listed twice";
    EXPECT_EQ(command_of(row.key, row.mods), row.command) << row.chord;
  }
  struct Case {
    ViewerKey key;
    unsigned mods;
    Command command;
  };
  const Case cases[] = {
      {ViewerKey::up, kCtrl, Command::line_up},  // a modifier on a key that is no letter
      {ViewerKey::f3, kCtrl | kShift, Command::find_next},
      {ViewerKey::c, kNoMod, Command::none},  // a letter alone is typed
      {ViewerKey::s, kAlt, Command::none},
      {ViewerKey::f1, kAlt, Command::none},  // Alt chords are the system's
      {ViewerKey::other, kCtrl, Command::none},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(command_of(c.key, c.mods), c.command) << static_cast<int>(c.key) << "+" << c.mods;
  }
  const auto list = ViewerModel::key_list();
  std::string all;
  for (const KeyHelp& k : list) all += k.keys + "\n";
  for (const CommandKey& row : kCommandKeys) {
    EXPECT_NE(all.find(row.chord), std::string::npos) << row.chord;
  }
  EXPECT_EQ(list.front().keys, "Wheel, Up, Down");
}

}  // namespace
}  // namespace fpu::viewer
