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

TEST(ViewerLook, FontconfigFindsAMonospacedFontFile) {
  std::string error;
  EXPECT_TRUE(monospace_font_file(error).starts_with("/")) << error;
}

}  // namespace
}  // namespace fpu::viewer
