#include "tools/viewer/viewer_look.h"

#include <gtest/gtest.h>

namespace fpu::viewer {
namespace {

TEST(ViewerLook, TextScaleFromGdkScaleOrXftDpi) {
  struct Case {
    const char* gdk_scale;
    const char* xft_dpi;
    int scale;
  };
  const Case cases[] = {
      {nullptr, nullptr, 1}, {nullptr, "96", 1},   {nullptr, "144", 1}, {nullptr, "191.9", 1},
      {nullptr, "192", 2},   {nullptr, "288", 3},  {"2", nullptr, 2},   {"2", "96", 2},
      {"1", "192", 1},       {"0", "192", 2},      {"two", "192", 2},   {"2x", nullptr, 1},
      {"", "192", 2},        {nullptr, "junk", 1}, {"-3", nullptr, 1},  {"100", nullptr, 8},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_scale(c.gdk_scale, c.xft_dpi), c.scale)
        << (c.gdk_scale ? c.gdk_scale : "unset") << " / " << (c.xft_dpi ? c.xft_dpi : "unset");
  }
}

TEST(ViewerLook, FontconfigFindsAMonospacedFont) {
  std::string error;
  const std::string file = monospace_font_file(error);
  ASSERT_FALSE(file.empty()) << error;
  EXPECT_EQ(file.front(), '/');
}

TEST(ViewerLook, ClipboardTextIsUtf8) {
  EXPECT_EQ(latin1_to_utf8("rol1 = 5"), "rol1 = 5");
  EXPECT_EQ(latin1_to_utf8("\xe9\xff\x80"), "\xc3\xa9\xc3\xbf\xc2\x80");
}

}  // namespace
}  // namespace fpu::viewer
