#include "tools/icon/icon_scale.h"

#include <gtest/gtest.h>

namespace fpu {
namespace {

RgbImage filled(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  RgbImage image{width, height, {}};
  for (int i = 0; i < width * height; ++i) image.rgb.insert(image.rgb.end(), {r, g, b});
  return image;
}

void put(RgbImage& image, int x, int y, std::uint8_t v) {
  for (int c = 0; c < 3; ++c)
    image.rgb[static_cast<std::size_t>((y * image.width + x) * 3 + c)] = v;
}

std::uint8_t at(const RgbImage& image, int x, int y) {
  return image.rgb[static_cast<std::size_t>((y * image.width + x) * 3)];
}

TEST(IconScale, CropIsCentredAndShrinksToFit) {
  struct Case {
    int centre_x, centre_y, half, side;
  };
  const Case cases[] = {{50, 40, 10, 20}, {50, 40, 45, 80}, {5, 40, 30, 10}, {95, 40, 30, 10}};
  for (const Case& c : cases) {
    RgbImage image = filled(100, 80, 0, 0, 0);
    put(image, c.centre_x, c.centre_y, 200);  // the pixel right of and below the centre
    const RgbImage square = crop_square(image, c.centre_x, c.centre_y, c.half);
    ASSERT_EQ(square.width, c.side);
    ASSERT_EQ(square.height, c.side);
    EXPECT_EQ(at(square, c.side / 2, c.side / 2), 200) << c.centre_x << "," << c.half;
  }
}

TEST(IconScale, FlatColourStaysAndThinLinesAreBrightened) {
  // A flat grey is brightened to full; black stays black.
  const RgbImage grey = downscale(filled(64, 64, 100, 100, 100), 16);
  EXPECT_EQ(at(grey, 3, 7), 255);
  const RgbImage black = downscale(filled(64, 64, 0, 0, 0), 16);
  EXPECT_EQ(at(black, 3, 7), 0);

  // One white pixel in each 8 x 8 box averages to 4; the gain stops at 4x.
  RgbImage sparse = filled(64, 64, 0, 0, 0);
  for (int y = 0; y < 64; y += 8) {
    for (int x = 0; x < 64; x += 8) put(sparse, x, y, 255);
  }
  const RgbImage small = downscale(sparse, 8);
  EXPECT_EQ(at(small, 0, 0), 16);
  EXPECT_EQ(at(small, 7, 7), 16);

  // A line through one box: that box is brightened 4x, the empty ones stay black.
  RgbImage one = filled(32, 32, 0, 0, 0);
  for (int y = 0; y < 16; ++y) put(one, 3, y, 255);
  const RgbImage two = downscale(one, 2);
  EXPECT_EQ(at(two, 0, 0), 64);  // 16 of 256 pixels: 15.9, times 4
  EXPECT_EQ(at(two, 1, 0), 0);
  EXPECT_EQ(at(two, 1, 1), 0);
}

}  // namespace
}  // namespace fpu
