#include "tools/viewer/viewer_look.h"

#include <gtest/gtest.h>

namespace fpu::viewer {
namespace {

TEST(ViewerLook, FontconfigFindsAMonospacedFontFile) {
  std::string error;
  EXPECT_TRUE(monospace_font_file(error).starts_with("/")) << error;
}

}  // namespace
}  // namespace fpu::viewer
