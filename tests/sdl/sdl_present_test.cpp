// Copies to the SDL window (dummy video driver) land in the window's own surface. A copy of
// the whole picture from the bitmap copied last time skips the rows and columns where that
// bitmap has no ink now and had none then; after every copy the window must still show what
// copying every pixel would.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "backends/sdl/sdl_platform.h"
#include "scene/scene_state.h"

namespace fpu {
namespace {

constexpr std::int32_t w = view_width, h = view_height;

struct PresentCase {
  const char* name;
  unsigned seed;
  int frames;
  int clear_percent;    // frames that start with a fill in the plain colour
  int recolor_percent;  // frames that fill everything in a new colour (a new plain value)
  int partial_percent;  // copies of part of the picture, anywhere
  int switch_percent;   // frames drawn on the other bitmap, or on a bitmap made anew
};

class SdlPresent : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);  // the test's own process: no display needed
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  }
  void TearDown() override { SDL_Quit(); }
};

// The one window's surface (SdlPlatform keeps its SDL window to itself).
SDL_Surface* window_surface() {
  for (Uint32 id = 1; id < 64; ++id) {
    if (SDL_Window* window = SDL_GetWindowFromID(id)) return SDL_GetWindowSurface(window);
  }
  return nullptr;
}

// The picture part of the surface, as 0x00RRGGBB words.
std::vector<std::uint32_t> shown(SDL_Surface* screen) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint32_t word;
      std::memcpy(&word,
                  static_cast<const std::uint8_t*>(screen->pixels) + y * screen->pitch + x * 4, 4);
      Uint8 r, g, b;
      SDL_GetRGB(word, screen->format, &r, &g, &b);
      pixels[static_cast<std::size_t>(y) * w + x] = (std::uint32_t{r} << 16) | (g << 8) | b;
    }
  }
  return pixels;
}

TEST_F(SdlPresent, WindowShowsEveryCopyExactly) {
  const PresentCase cases[] = {
      {"the demo's frames: clear, a few lines, copy all", 1, 150, 100, 0, 0, 0},
      {"trails: no clearing", 2, 100, 0, 0, 0, 0},
      {"the plain colour changes", 3, 150, 70, 20, 0, 0},
      {"copies of parts in between", 4, 150, 80, 5, 30, 0},
      {"two bitmaps in turn, and bitmaps made anew", 5, 150, 80, 10, 10, 40},
  };
  for (const PresentCase& c : cases) {
    SCOPED_TRACE(c.name);
    SdlPlatform platform;
    std::string error;
    ASSERT_TRUE(platform.open_window(error)) << error;
    ASSERT_EQ(platform.scale(), 1);
    SDL_Surface* screen = window_surface();
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(screen->format->BytesPerPixel, 4);
    const Handle window_dc = platform.window_dc();
    Handle dcs[2], bitmaps[2];
    for (int i = 0; i < 2; ++i) {
      dcs[i] = platform.create_compatible_dc(window_dc);
      bitmaps[i] = platform.create_compatible_bitmap(window_dc, w, h);
      platform.select_object(dcs[i], bitmaps[i]);
    }
    std::mt19937 rng(c.seed);
    const auto uniform = [&rng](int lo, int hi) {
      return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const ColorRef colours[] = {color::black, color::white, color::red, 0xC0C0C0};
    ColorRef plain = color::black;  // the colour the clears use
    std::vector<std::uint32_t> want(static_cast<std::size_t>(w) * h);
    int on = 0;
    for (int frame = 0; frame < c.frames; ++frame) {
      if (uniform(0, 99) < c.switch_percent) {
        on = 1 - on;
        if (uniform(0, 1) == 0) {  // a new bitmap, likely where the old one was
          const Handle spare = platform.create_compatible_bitmap(window_dc, 1, 1);
          platform.delete_object(platform.select_object(dcs[on], spare));
          bitmaps[on] = platform.create_compatible_bitmap(window_dc, w, h);
          platform.delete_object(platform.select_object(dcs[on], bitmaps[on]));
        }
      }
      const Handle dc = dcs[on];
      const auto fill = [&](Rect rect, ColorRef colour) {
        const Handle brush = platform.create_solid_brush(colour);
        platform.fill_rect(dc, rect, brush);
        platform.delete_object(brush);
      };
      if (uniform(0, 99) < c.recolor_percent) {
        plain = colours[uniform(0, 3)];
        fill({0, 0, w, h}, plain);
      } else if (uniform(0, 99) < c.clear_percent) {
        fill({0, 0, w, h}, plain);
      }
      for (int n = uniform(1, 6); n > 0; --n) {
        const ColorRef colour = colours[uniform(0, 3)];
        switch (uniform(0, 3)) {
          case 0:
            platform.set_pixel(dc, uniform(0, w - 1), uniform(0, h - 1), colour);
            break;
          case 1: {
            const Handle pen = platform.create_pen(0, 1, colour);
            const Handle old = platform.select_object(dc, pen);
            platform.move_to(dc, uniform(-50, w + 50), uniform(-50, h + 50));
            platform.line_to(dc, uniform(-50, w + 50), uniform(-50, h + 50));
            platform.select_object(dc, old);
            platform.delete_object(pen);
            break;
          }
          case 2:
            platform.set_text_color(dc, colour);
            platform.text_out(dc, uniform(-10, w), uniform(-10, h), "001234", 6);
            break;
          default: {
            const int x = uniform(-20, w), y = uniform(-20, h);
            fill({x, y, x + uniform(0, 80), y + uniform(0, 80)}, colour);
          }
        }
      }
      const std::vector<std::uint32_t>& source = platform.dc_surface(dc)->pixels;
      if (frame > 0 && uniform(0, 99) < c.partial_percent) {
        const int x = uniform(-50, w), y = uniform(-50, h), cw = uniform(0, 300),
                  ch = uniform(0, 300), sx = uniform(-50, w), sy = uniform(-50, h);
        platform.bit_blt(window_dc, x, y, cw, ch, dc, sx, sy);
        for (int j = 0; j < ch; ++j) {
          for (int i = 0; i < cw; ++i) {
            if (x + i < 0 || x + i >= w || y + j < 0 || y + j >= h || sx + i < 0 || sx + i >= w ||
                sy + j < 0 || sy + j >= h) {
              continue;
            }
            want[static_cast<std::size_t>(y + j) * w + x + i] =
                source[static_cast<std::size_t>(sy + j) * w + sx + i];
          }
        }
      } else {
        platform.bit_blt(window_dc, 0, 0, w, h, dc, 0, 0);
        want = source;
      }
      platform.end_paint(platform.window_handle());
      ASSERT_EQ(screen, window_surface());
      ASSERT_TRUE(shown(screen) == want) << "frame " << frame;
    }
    EXPECT_EQ(platform.invalid_handle_calls(), 0u);
  }
}

}  // namespace
}  // namespace fpu
