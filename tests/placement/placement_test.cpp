// Where the windows go, and at which scale: the program centred on the screen at the
// desktop's scale, the viewer beside or below it and never over it.
#include <gtest/gtest.h>

#include "app/window.h"
#include "backends/sdl/sdl_display.h"
#include "tools/viewer/viewer_placement.h"

namespace fpu {
namespace {

using viewer::ScreenRect;

bool overlap(const ScreenRect& a, const ScreenRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

TEST(Placement, ViewerGoesBesideElseBelowAndNeverOverTheProgram) {
  const struct {
    const char* name;
    std::int32_t screen_width, screen_height, program_width, program_height, scale;
    std::int32_t want_width, want_height;
    bool room;
    ScreenRect expected;
  } cases[] = {
      // Linux client area 700 x 654 at (610, 213): 602 pixels of room on the right.
      {"full HD", 1920, 1080, 700, 654, 1, 720, 480, true, {1318, 213, 602, 480}},
      {"full HD, Windows frame", 1920, 1080, 700, 680, 1, 480, 600, true, {1318, 213, 480, 600}},
      {"4K at scale 2", 3840, 2160, 700, 654, 2, 720, 480, true, {2628, 426, 720, 480}},
      // 154 pixels on the right are too few; the 177 below are enough.
      {"1024 square", 1024, 1024, 700, 654, 1, 720, 480, true, {162, 847, 720, 177}},
      {"no room either way", 800, 700, 700, 654, 1, 720, 480, false, {80, 220, 720, 480}},
  };
  for (const auto& c : cases) {
    const ScreenRect program = viewer::program_rect(c.screen_width, c.screen_height,
                                                    c.program_width, c.program_height, c.scale);
    const ScreenRect place =
        viewer::place_viewer(program, c.screen_width, c.screen_height, c.want_width, c.want_height);
    EXPECT_EQ(place, c.expected) << c.name << ": got " << place.x << "," << place.y << " "
                                 << place.width << "x" << place.height;
    EXPECT_EQ(overlap(place, program), !c.room) << c.name;
    EXPECT_LE(place.x + place.width, c.screen_width) << c.name;
    EXPECT_LE(place.y + place.height, c.screen_height) << c.name;
  }
}

TEST(Placement, DesktopScaleFromGdkScaleOrXftDpi) {
  const struct {
    const char* gdk_scale;
    const char* resources;
    std::int32_t scale;
  } cases[] = {
      {nullptr, nullptr, 1},
      {nullptr, "Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n", 2},
      {nullptr, "Xft.dpi: 144\n", 1},  // fractional scales stay at 1
      {nullptr, "Xft.dpi:\t288.5\n", 3},
      {nullptr, "Xft.dpi:\tlarge\n", 1},
      {nullptr, "Xft.dpix:\t192\n*dpi:\t192\n", 1},  // only Xft.dpi counts
      {nullptr, "Xft.dpi:\t9600\n", max_desktop_scale},
      {"2", "Xft.dpi:\t96\n", 2},   // GDK_SCALE first
      {"0", "Xft.dpi:\t192\n", 2},  // not a scale: the resources decide
      {"2x", nullptr, 1},
      {"", "Xft.dpi:\t192", 2},  // last line without a line feed
  };
  for (const auto& c : cases) {
    EXPECT_EQ(scale_from_settings(c.gdk_scale, c.resources), c.scale)
        << (c.gdk_scale ? c.gdk_scale : "(unset)") << " / "
        << (c.resources ? c.resources : "(none)");
  }
}

}  // namespace
}  // namespace fpu
