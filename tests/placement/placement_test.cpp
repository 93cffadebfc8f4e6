// Where the windows go, and at which scale: the program centred on the screen at the
// desktop's scale, the viewer beside or below it and never over it.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "app/window.h"
#include "backends/sdl/sdl_display.h"
#include "tools/viewer/viewer_placement.h"

namespace fpu {
namespace {

using viewer::ScreenRect;

bool inside(const ScreenRect& a, const ScreenRect& b) {
  return a.x >= b.x && a.y >= b.y && a.x + a.width <= b.x + b.width &&
         a.y + a.height <= b.y + b.height;
}

TEST(Placement, ViewerTakesTheFirstSideItsTextFitsElseWhereMostOfItFits) {
  const ScreenRect full_hd{0, 0, 1920, 1040};  // a 40-pixel panel at the bottom
  // The viewer would be 722 x 505; its text needs 600 x 300 unless a case says otherwise.
  const struct {
    const char* name;
    ScreenRect program, work;
    std::int32_t need_width, need_height;
    bool room;
    ScreenRect expected;
  } cases[] = {
      {"wide screen", {300, 213, 702, 679}, full_hd, 600, 300, true, {1010, 213, 722, 505}},
      {"right edge", {1218, 213, 702, 679}, full_hd, 600, 300, true, {488, 213, 722, 505}},
      {"top-left corner", {0, 0, 702, 679}, full_hd, 600, 300, true, {710, 0, 722, 505}},
      {"low on the right", {1000, 900, 702, 679}, full_hd, 600, 300, true, {270, 535, 722, 505}},
      // 652 free on the right, short of 722 but enough for the text: narrowed there, though
      // the left would hold all of it.
      {"right holds the text",
       {760, 213, 500, 679},
       full_hd,
       600,
       300,
       true,
       {1268, 213, 652, 505}},
      {"right holds the text exactly",
       {760, 213, 500, 679},
       full_hd,
       652,
       300,
       true,
       {1268, 213, 652, 505}},
      {"left holds the text", {650, 213, 800, 679}, full_hd, 600, 300, true, {0, 213, 642, 505}},
      // Neither side holds the text: above or below, lowered to the room.
      {"narrow, low",
       {200, 600, 702, 400},
       {0, 0, 1100, 1040},
       600,
       300,
       true,
       {200, 87, 722, 505}},
      {"narrow, high",
       {200, 20, 702, 400},
       {0, 0, 1100, 1040},
       600,
       300,
       true,
       {200, 428, 722, 505}},
      {"narrow, below lowered",
       {200, 20, 702, 700},
       {0, 0, 1100, 1040},
       600,
       300,
       true,
       {200, 728, 722, 312}},
      {"bottom edge, above lowered",
       {610, 361, 702, 679},
       full_hd,
       610,
       240,
       true,
       {610, 0, 722, 353}},
      // The text fits nowhere: the left's 602 x 505 beats 600 x 505 right, 722 x 353 above.
      {"bottom edge", {610, 361, 702, 679}, full_hd, 610, 400, true, {0, 361, 602, 505}},
      // A work area that starts below a top panel and right of a side panel.
      {"panels", {1218, 30, 702, 679}, {48, 30, 1872, 1050}, 600, 300, true, {488, 30, 722, 505}},
      {"no room at all", {0, 0, 1920, 1040}, full_hd, 600, 300, false, {1198, 535, 722, 505}},
  };
  for (const auto& c : cases) {
    const ScreenRect place =
        viewer::place_viewer(c.program, c.work, 722, 505, c.need_width, c.need_height);
    EXPECT_EQ(place, c.expected) << c.name << ": got " << place.x << "," << place.y << " "
                                 << place.width << "x" << place.height;
    EXPECT_EQ(viewer::overlaps(place, c.program), !c.room) << c.name;
    EXPECT_TRUE(inside(place, c.work)) << c.name;
  }
}

TEST(Placement, ExtremeFramesPlaceTheViewerInsideTheWorkArea) {
  const ScreenRect work{0, 0, 1920, 1040};
  constexpr std::int32_t big = INT32_MAX;
  constexpr std::int32_t small = INT32_MIN;
  const struct {
    const char* name;
    ScreenRect program;
    std::int32_t want_width;
  } cases[] = {
      {"far right and wide", {big - 10, 0, big, big}, 722},
      {"far left", {small, small, 702, 679}, 722},
      {"wide from the far left", {small, 0, big, 100}, 722},
      {"a huge wish", {300, 213, 702, 679}, big},
      {"a negative wish", {300, 213, 702, 679}, small},
  };
  for (const auto& c : cases) {
    const ScreenRect place = viewer::place_viewer(c.program, work, c.want_width, 505, big, big);
    EXPECT_TRUE(inside(place, work))
        << c.name << ": " << place.x << "," << place.y << " " << place.width << "x" << place.height;
    EXPECT_GT(place.width, 0) << c.name;
  }
}

TEST(Placement, ScaleIsTheLargestWholeOneWhoseWindowFits) {
  const struct {
    std::int32_t wanted;
    std::int32_t extra_width, extra_height;  // frame and caption
    std::int32_t work_width, work_height;
    std::int32_t scale;
  } cases[] = {
      {2, 16, 39, 1920, 1040, 1},  // 200 % on 1920 x 1080: 1416 x 1347 does not fit
      {3, 0, 0, 1920, 1080, 1},    // --scale 3: 2100 wide
      {2, 16, 39, 3840, 2100, 2}, {3, 16, 39, 3840, 2100, 3},
      {8, 0, 0, 3840, 2160, 3},                        // the largest that fits
      {2, 0, 0, 1400, 1308, 2},                        // exactly
      {2, 0, 1, 1400, 1308, 1},                        // a pixel short
      {1, 16, 39, 640, 480, 1},                        // never below 1
      {0, 0, 0, 1920, 1080, 1},   {4, 0, 0, 0, 0, 4},  // no work area known: as wanted
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fitting_scale(c.wanted, 700, 654, c.extra_width, c.extra_height, c.work_width,
                            c.work_height),
              c.scale)
        << c.wanted << " in " << c.work_width << "x" << c.work_height;
  }
}

TEST(Placement, ProgramFrameTravelsAsTextAndBadTextIsRefused) {
  const ProgramFrame frame{{-5, 10, 702, 679}, {1, 20, 1, 5}};
  ProgramFrame back;
  ASSERT_TRUE(parse_program_frame(format_program_frame(frame), &back));
  EXPECT_EQ(back, frame);
  for (const char* bad :
       {"", "1,2,3", "1,2,3,4,5,6,7", "1,2,3,4,5,6,7,8,9", "1,2,0,4,0,0,0,0", "1,2,3,4,-1,0,0,0",
        "1,2,3,4,0,0,0,x", "1,2,3,4,0,0,0,99999999999", " 1,2,3,4,0,0,0,0", "1,2,3,4,0,0,0,0,"}) {
    EXPECT_FALSE(parse_program_frame(bad, &back)) << bad;
  }
}

// A viewer told where the program is follows the program's --scale, read from its frame.
TEST(Placement, ViewerReadsTheProgramsScaleFromItsFrame) {
  const struct {
    ProgramFrame program;
    std::int32_t scale;  // 0: the frame does not say
  } cases[] = {
      {{{0, 0, 702, 679}, {1, 20, 1, 5}}, 1},
      {{{0, 0, 1402, 1333}, {1, 20, 1, 5}}, 2},
      {{{0, 0, 2100, 1962}, {0, 0, 0, 0}}, 3},
      {{{0, 0, 700 * 40, 654}, {0, 0, 0, 0}}, max_desktop_scale},  // no larger than ever shown
      {{{0, 0, 1000, 679}, {1, 20, 1, 5}}, 0},                     // resized by its manager
      {{{0, 0, 600, 679}, {0, 0, 0, 0}}, 0},                       // narrower than the picture
      {{{0, 0, INT32_MAX, 10}, {INT32_MIN, 0, INT32_MIN, 0}}, 0},  // sums past 32 bits
  };
  for (const auto& c : cases) {
    EXPECT_EQ(viewer::picture_scale_of(c.program), c.scale) << format_program_frame(c.program);
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

TEST(Placement, MonitorScaleAndMousePositionsBackInPicturePixels) {
  const struct {
    std::uint32_t dpi;
    std::int32_t scale;
    std::int32_t x, y;  // client position on the screen
    std::int32_t picture_x, picture_y;
  } cases[] = {
      {96, 1, 699, 653, 699, 653},
      {144, 1, 10, 20, 10, 20},  // 150 %
      {192, 2, 1399, 1307, 699, 653},
      {192, 2, -1, -3, -1, -2},  // left of and above the window: rounded down
      {288, 3, 8, 9, 2, 3},
      {96 * 100, max_desktop_scale, 16, -17, 2, -3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(scale_for_dpi(c.dpi), c.scale) << c.dpi;
    const LParam picture = picture_mouse_lparam(widen_lparam(pack_mouse_lparam(c.x, c.y)), c.scale);
    EXPECT_EQ(picture, widen_lparam(pack_mouse_lparam(c.picture_x, c.picture_y)))
        << c.dpi << " dpi at " << c.x << "," << c.y;
  }
}

}  // namespace
}  // namespace fpu
