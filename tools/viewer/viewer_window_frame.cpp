#include "tools/viewer/viewer_window_frame.h"

#include <algorithm>
#include <cstdint>

#include "backends/sdl/sdl_display.h"
#include "scene/scene_state.h"
#include "tools/viewer/viewer_layout.h"
#include "tools/viewer/viewer_model.h"
#include "tools/viewer/viewer_placement.h"

namespace fpu::viewer {

namespace {

// The client area at scale 1.
constexpr int kWidth = 720;
constexpr int kHeight = 480;

// The usable part of the display that holds the point (x, y), or of the first display.
ScreenRect work_area_at(int x, int y) {
  int index = 0;
  for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
    SDL_Rect bounds;
    const SDL_Point point{x, y};
    if (SDL_GetDisplayBounds(i, &bounds) == 0 && SDL_PointInRect(&point, &bounds)) index = i;
  }
  SDL_Rect area;
  if (SDL_GetDisplayUsableBounds(index, &area) != 0 && SDL_GetDisplayBounds(index, &area) != 0) {
    return {0, 0, 0, 0};
  }
  return {area.x, area.y, area.w, area.h};
}

}  // namespace

int program_scale() {
  SDL_Rect usable{};
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return desktop_scale();
  return fitting_scale(desktop_scale(), view_width, view_height, 0, 0, usable.w, usable.h);
}

ViewerSize viewer_size(TTF_Font* font, int scale) {
  int advance = 0;
  TTF_GlyphMetrics(font, 'M', nullptr, nullptr, nullptr, nullptr, &advance);
  const LayoutSize least =
      least_size({0, 0, TTF_FontLineSkip(font), advance, kMargin * scale, kScrollBarWidth * scale});
  const SDL_Point need{least.width, least.height};
  return {{std::max(kWidth * scale, need.x), std::max(kHeight * scale, need.y)}, need};
}

bool default_program_frame(const FrameExtents& e, ProgramFrame* out) {
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(0, &bounds) != 0) return false;
  // The program asks for its client area there; a window manager puts the frame's corner
  // where a window asks to be.
  const ScreenRect client =
      program_rect(bounds.w, bounds.h, view_width, view_height, program_scale());
  *out = {{client.x, client.y, client.width + e.left + e.right, client.height + e.top + e.bottom},
          e};
  return true;
}

SDL_Rect client_rect(const ScreenRect& frame, const FrameExtents& e) {
  const auto inner = [](std::int32_t size, std::int32_t a, std::int32_t b) {
    return static_cast<int>(
        std::clamp<std::int64_t>(std::int64_t{size} - a - b, 1, std::max(size, 1)));
  };
  return {frame.x, frame.y, inner(frame.width, e.left, e.right),
          inner(frame.height, e.top, e.bottom)};
}

ScreenRect viewer_frame(const ProgramFrame& beside, const ViewerSize& size) {
  // Any numbers --beside brings: the sums are taken in 64 bits and bounded.
  const auto middle = [](std::int32_t at, std::int32_t size) {
    return static_cast<int>(
        std::clamp<std::int64_t>(std::int64_t{at} + size / 2, INT32_MIN, INT32_MAX));
  };
  const ScreenRect work = work_area_at(middle(beside.frame.x, beside.frame.width),
                                       middle(beside.frame.y, beside.frame.height));
  if (work.width <= 0 || work.height <= 0) return {};
  const FrameExtents& e = beside.extents;
  const int frame_width = std::min(e.left, kFarOff) + std::min(e.right, kFarOff);
  const int frame_height = std::min(e.top, kFarOff) + std::min(e.bottom, kFarOff);
  return place_viewer(beside.frame, work, size.want.x + frame_width, size.want.y + frame_height,
                      size.need.x + frame_width, size.need.y + frame_height);
}

// The window's frame as the window manager shows it now.
ScreenRect current_frame(SDL_Window* window, FrameExtents* extents) {
  int x = 0, y = 0, width = 0, height = 0;
  SDL_GetWindowPosition(window, &x, &y);
  SDL_GetWindowSize(window, &width, &height);
  FrameExtents e;
  if (SDL_GetWindowBordersSize(window, &e.top, &e.left, &e.bottom, &e.right) != 0) e = {};
  *extents = e;
  return {x - e.left, y - e.top, width + e.left + e.right, height + e.top + e.bottom};
}

void settle_beside(SDL_Window* window, const ProgramFrame* program, const ViewerSize& size) {
  // A program that was framed, or one the viewer was not told of (a window manager is likely
  // then): the wait is for the viewer's own frame.
  const bool framed = program == nullptr || program->extents != FrameExtents{};
  FrameExtents extents;
  ScreenRect frame;
  for (int i = 0; i < 50; ++i) {
    SDL_PumpEvents();
    frame = current_frame(window, &extents);
    if ((!framed || extents != FrameExtents{}) && (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN))
      break;
    SDL_Delay(10);
  }
  ProgramFrame own;
  if (program != nullptr) {
    own = *program;
  } else if (!default_program_frame(extents, &own)) {
    return;
  }
  own.extents = extents;
  const ScreenRect want = viewer_frame(own, size);
  if (want.width <= 0 || want == frame) return;
  const SDL_Rect client = client_rect(want, extents);
  int width = 0, height = 0;
  SDL_GetWindowSize(window, &width, &height);
  if (client.w != width || client.h != height) SDL_SetWindowSize(window, client.w, client.h);
  SDL_SetWindowPosition(window, want.x + extents.left, want.y + extents.top);
}

}  // namespace fpu::viewer
