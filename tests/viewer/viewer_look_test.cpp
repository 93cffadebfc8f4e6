#include "tools/viewer/viewer_look.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fpu::viewer {
namespace {

TEST(ViewerLook, Latin1BecomesUtf8) {
  const struct {
    std::string latin1, utf8;
  } cases[] = {
      {"", ""},
      {"ring A = 120", "ring A = 120"},
      {"\x7F", "\x7F"},
      {"\x80", "\xC2\x80"},
      {"caf\xE9", "caf\xC3\xA9"},
      {"\xFF\xA0", "\xC3\xBF\xC2\xA0"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(latin1_to_utf8(c.latin1), c.utf8) << c.latin1;
}

// With a font configuration that lists no fonts, the viewer learns that there is none and
// why, rather than a path to nothing. (Which font a machine picks is its own business.)
TEST(ViewerLook, NoMonospacedFontIsReported) {
  const auto dir =
      std::filesystem::temp_directory_path() /
      ("fpu-look-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const auto conf = dir / "fonts.conf";
  std::ofstream(conf) << "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>"
                      << (dir / "cache").string() << "</cachedir></fontconfig>\n";
  const char* old = std::getenv("FONTCONFIG_FILE");
  const std::string saved = old ? old : "";
  setenv("FONTCONFIG_FILE", conf.c_str(), 1);
  std::string error;
  const std::string file = monospace_font_file(error);
  if (old)
    setenv("FONTCONFIG_FILE", saved.c_str(), 1);
  else
    unsetenv("FONTCONFIG_FILE");
  std::filesystem::remove_all(dir);
  EXPECT_EQ(file, "");
  EXPECT_EQ(error, "fontconfig knows no monospaced font");
}

}  // namespace
}  // namespace fpu::viewer
