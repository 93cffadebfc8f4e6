#include "tools/viewer/viewer_highlight.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fpu::viewer {
namespace {

TEST(Highlights, RulesColourTheLinesHoldingTheirText) {
  struct Case {
    const char* name;
    std::vector<const char*> typed;  // into the bar, one Enter each
    const char* line;
    const char* colour;  // of the rule matching the line, "" for none
    const char* error;   // the last entry's, "" when it was taken
  };
  const Case cases[] = {
      {"a rule", {"xopc yellow"}, "  xopc = 62", "yellow", ""},
      {"case is ignored", {"XOPC Green"}, "xopc = 62", "green", ""},
      {"text with spaces", {"rot1 = 25 blue"}, "rot1 = 25", "blue", ""},
      {"other lines stay plain", {"xopc yellow"}, "rot1 = 25", "", ""},
      {"the first rule wins", {"rot red", "rot1 blue"}, "rot1 = 25", "red", ""},
      {"a rule for the same text is replaced", {"rot red", "rot grey"}, "rot1", "grey", ""},
      {"off removes it", {"rot red", "rot off"}, "rot1", "", ""},
      {"past the most rules the oldest goes",
       {"rot red", "a green", "b green", "c green", "d green"},
       "rot1",
       "",
       ""},
      {"an unknown colour is refused", {"xopc mauve"}, "xopc", "", "unknown colour \"mauve\""},
      {"a colour alone is refused", {"yellow"}, "yellow", "", "want TEXT COLOUR"},
  };
  for (const auto& c : cases) {
    Highlights highlights;
    std::string error;
    for (const char* typed : c.typed) error = highlights.apply(typed);
    EXPECT_TRUE(error.starts_with(c.error) && (*c.error != '\0' || error.empty()))
        << c.name << ": " << error;
    const HighlightRule* rule = highlights.match(c.line);
    EXPECT_EQ(rule ? rule->colour : "", c.colour) << c.name;
  }
}

std::string read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(Highlights, ConfigIsKeptAndABadOneSetAside) {
  struct Case {
    const char* name;
    const char* config;  // nullptr: no file
    std::size_t rules;   // loaded
    bool set_aside;      // renamed to .bad, said once
  };
  const Case cases[] = {
      {"no file: no rules", nullptr, 0, false},
      {"rules and comments", "# mine\nxopc yellow\n\nrot1 = 25 blue\n", 2, false},
      {"an unknown colour", "xopc yellow\nrot mauve\n", 0, true},
      {"a line without colour", "xopc\n", 0, true},
      {"too many rules", "a red\nb red\nc red\nd red\ne red\n", 0, true},
  };
  const auto dir =
      std::filesystem::temp_directory_path() / ("fpu-highlight-test-" + std::to_string(::getpid()));
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir);
    const std::string path = (dir / "fpu-trace-viewer" / "highlight.conf").string();
    if (c.config != nullptr) {
      std::filesystem::create_directories(dir / "fpu-trace-viewer");
      std::ofstream(path, std::ios::binary) << c.config;
    }
    Highlights loaded;
    const std::string note = load_highlights(path, loaded);
    EXPECT_EQ(loaded.rules().size(), c.rules) << c.name;
    EXPECT_EQ(!note.empty(), c.set_aside) << c.name << ": " << note;
    if (c.set_aside) {
      EXPECT_EQ(read(path + ".bad"), c.config) << c.name << ": the user's file is kept";
      EXPECT_FALSE(std::filesystem::exists(path)) << c.name;
      EXPECT_EQ(load_highlights(path, loaded), "") << c.name << ": said only once";
      std::ofstream(path, std::ios::binary) << c.config;
      EXPECT_NE(load_highlights(path, loaded), "") << c.name;
      EXPECT_EQ(read(path + ".bad.1"), c.config) << c.name << ": the earlier .bad stays";
    }
    // What is kept reads back the same, through a rename over the old file.
    loaded.apply("dropped lines orange");
    ASSERT_EQ(store_highlights(path, loaded), "") << c.name;
    Highlights again;
    EXPECT_EQ(load_highlights(path, again), "") << c.name;
    EXPECT_EQ(again.to_config(), loaded.to_config()) << c.name;
    EXPECT_EQ(again.rules().size(), c.rules + 1) << c.name;
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp")) << c.name;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace fpu::viewer
