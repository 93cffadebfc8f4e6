#include "tools/viewer/viewer_highlight.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
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

TEST(Highlights, ConfigThatIsNoPlainFileIsSetAsideUnread) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("fpu-highlight-odd-" + std::to_string(::getpid()));
  const std::string path = (dir / "highlight.conf").string();
  struct Case {
    const char* name;
    void (*make)(const std::string& path);
    const char* note;  // the note holds this
    std::filesystem::file_type aside;
  };
  const Case cases[] = {
      {"a FIFO with no writer",
       [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "not a regular file",
       std::filesystem::file_type::fifo},
      {"a link to /dev/zero",
       [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
       "not a regular file", std::filesystem::file_type::symlink},
      {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); },
       "not a regular file", std::filesystem::file_type::directory},
      {"100 MB",
       [](const std::string& p) {
         std::ofstream(p, std::ios::binary) << "xopc yellow\n";
         std::filesystem::resize_file(p, 100u << 20);
       },
       "larger than 65536 bytes", std::filesystem::file_type::regular},
      {"one byte past the cap",
       [](const std::string& p) {
         std::ofstream(p, std::ios::binary) << "xopc yellow\n"
                                            << std::string(kMaxHighlightConfig - 12, '#') << "\n";
       },
       "larger than", std::filesystem::file_type::regular},
      {"rules and comments up to the cap: read",
       [](const std::string& p) {
         std::ofstream(p, std::ios::binary)
             << "xopc yellow\n#" << std::string(kMaxHighlightConfig - 13, '#');
       },
       nullptr, std::filesystem::file_type::not_found},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    c.make(path);
    Highlights loaded;
    const std::string note = load_highlights(path, loaded);
    const auto aside = std::filesystem::symlink_status(path + ".bad").type();
    EXPECT_EQ(aside, c.aside) << c.name << ": " << note;
    if (c.note == nullptr) {
      EXPECT_EQ(note, "") << c.name;
      EXPECT_EQ(loaded.rules().size(), 1u) << c.name;
      continue;
    }
    EXPECT_NE(note.find(c.note), std::string::npos) << c.name << ": " << note;
    EXPECT_EQ(loaded.rules().size(), 0u) << c.name;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path))) << c.name;
  }
  std::filesystem::remove_all(dir);
}

TEST(Highlights, SetAsideNeverReplacesAnEarlierOne) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("fpu-highlight-bad-" + std::to_string(::getpid()));
  const std::string path = (dir / "highlight.conf").string();
  struct Case {
    int taken;          // .bad .. .bad.(taken - 1) exist
    const char* aside;  // where the bad config goes, or nullptr: it stays
  };
  const Case cases[] = {{0, ".bad"}, {1, ".bad.1"}, {99, ".bad.99"}, {100, nullptr}};
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    for (int n = 0; n < c.taken; ++n) {
      std::ofstream(path + ".bad" + (n == 0 ? "" : "." + std::to_string(n))) << "kept " << n;
    }
    std::ofstream(path) << "xopc mauve\n";
    Highlights loaded;
    const std::string note = load_highlights(path, loaded);
    for (int n = 0; n < c.taken; ++n) {
      EXPECT_EQ(read(path + ".bad" + (n == 0 ? "" : "." + std::to_string(n))),
                "kept " + std::to_string(n))
          << c.taken << " taken";
    }
    if (c.aside != nullptr) {
      EXPECT_EQ(read(path + c.aside), "xopc mauve\n") << c.taken << " taken";
      EXPECT_FALSE(std::filesystem::exists(path)) << c.taken << " taken";
    } else {
      EXPECT_EQ(read(path), "xopc mauve\n") << "the config stays when every name is taken";
      EXPECT_NE(note.find("could not move it aside"), std::string::npos) << note;
    }
  }
  std::filesystem::remove_all(dir);
}

TEST(Highlights, ConfigFolderFollowsTheXdgRules) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* path;
  };
  const Case cases[] = {
      {"/x/conf", "/home/u", "/x/conf/fpu-trace-viewer/highlight.conf"},
      {"", "/home/u", "/home/u/.config/fpu-trace-viewer/highlight.conf"},
      {nullptr, "/home/u", "/home/u/.config/fpu-trace-viewer/highlight.conf"},
      {"conf", "/home/u", "/home/u/.config/fpu-trace-viewer/highlight.conf"},  // relative
      {"./conf", nullptr, ""},
      {nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    std::map<std::string, const char*> env{{"XDG_CONFIG_HOME", c.xdg}, {"HOME", c.home}};
    const auto lookup = [&env](const char* name) { return env[name]; };
    EXPECT_EQ(highlight_config_path(lookup, false), c.path)
        << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}

}  // namespace
}  // namespace fpu::viewer
