#include "render/paint.h"

#include <array>

#include "scene/projection.h"

namespace fpu {
namespace {

// The hub lines end at the default centre, wherever the picture has been dragged.
constexpr std::int32_t hub_x = view_centre_x;
constexpr std::int32_t hub_y = view_centre_y;
constexpr int string_art_steps = 700;

// Screen coordinates move by one pixel with the 32-bit wrap of the original adds.
std::int32_t step(std::int32_t value, std::int32_t delta) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) +
                                   static_cast<std::uint32_t>(delta));
}

// Four green pixels: (x, y), (x+1, y), (x+1, y+1), (x, y+1). Leaves the projected
// position on the last of them.
void draw_marker(Platform& platform, Handle dc, SceneState& scene) {
  platform.set_pixel(dc, scene.screen_x, scene.screen_y, color::green);
  scene.screen_x = step(scene.screen_x, 1);
  platform.set_pixel(dc, scene.screen_x, scene.screen_y, color::green);
  scene.screen_y = step(scene.screen_y, 1);
  platform.set_pixel(dc, scene.screen_x, scene.screen_y, color::green);
  scene.screen_x = step(scene.screen_x, -1);
  platform.set_pixel(dc, scene.screen_x, scene.screen_y, color::green);
}

// A string-art index names an entry of ring A or B. next_index can produce indices of
// 4096 and more (multiples of 64 divided by 64); those name no entry, and are drawn as the
// last spare entry (69): x = y = 0 with the spare entries' z, what indices 64..69 show too.
// Nothing outside the ring is read.
const Point& ring_entry(const std::array<Point, ring_ab_size>& ring, std::uint32_t index) {
  return ring[index < ring.size() ? index : ring.size() - 1];
}

void draw_dots_and_hub_lines(const FrameTarget& frame) {
  Platform& platform = frame.platform;
  SceneState& scene = frame.scene;
  const Handle dc = frame.draw.back_buffer;
  for (int i = 0; i < ring_point_count; ++i) {
    project_point(scene, scene.ring_a[static_cast<std::size_t>(i)]);
    if (i == 0) {
      draw_marker(platform, dc, scene);
      platform.move_to(dc, scene.screen_x, scene.screen_y);
      platform.line_to(dc, hub_x, hub_y);
    } else {
      platform.set_pixel(dc, scene.screen_x, scene.screen_y, color::white);
    }
    project_point(scene, scene.ring_b[static_cast<std::size_t>(i)]);
    platform.set_pixel(dc, scene.screen_x, scene.screen_y, color::white);
  }
  // The second hub line starts at ring B's last dot.
  platform.move_to(dc, scene.screen_x, scene.screen_y);
  platform.line_to(dc, hub_x, hub_y);
}

// The ring entries' screen positions, each worked out once a frame: the angles and the
// centre stay put while the string art walks the rings, and the walk comes back to the same
// entries many times (every 51 steps on ring A with rotation 5).
struct ProjectedRing {
  std::array<std::int32_t, ring_ab_size> x{};
  std::array<std::int32_t, ring_ab_size> y{};
  std::array<bool, ring_ab_size> done{};
};

void project_entry(SceneState& scene, const std::array<Point, ring_ab_size>& ring,
                   std::uint32_t index, ProjectedRing& projected) {
  const Point& point = ring_entry(ring, index);
  const auto i = static_cast<std::size_t>(&point - ring.data());
  if (!projected.done[i]) {
    project_point(scene, point);
    projected.x[i] = scene.screen_x;
    projected.y[i] = scene.screen_y;
    projected.done[i] = true;
  }
  scene.screen_x = projected.x[i];
  scene.screen_y = projected.y[i];
}

void draw_string_art(const FrameTarget& frame) {
  SceneState& scene = frame.scene;
  Platform& platform = frame.platform;
  const Handle dc = frame.draw.back_buffer;
  ProjectedRing projected_a;
  ProjectedRing projected_b;
  for (int k = 0; k < string_art_steps; ++k) {
    scene.rol1 = next_index(scene.rol1, scene.rot1);
    if (scene.trace_flag != 0) {
      emit_trace(frame.trace, TraceLabel::rol1, static_cast<std::int32_t>(scene.rol1));
    }
    project_entry(scene, scene.ring_a, scene.rol1, projected_a);
    if (k == 0) {
      platform.move_to(dc, scene.screen_x, scene.screen_y);
    } else {
      platform.line_to(dc, scene.screen_x, scene.screen_y);
    }
    scene.rol2 = next_index(scene.rol2, scene.rot2);
    if (scene.trace_flag != 0) {
      emit_trace(frame.trace, TraceLabel::rol2, static_cast<std::int32_t>(scene.rol2));
    }
    project_entry(scene, scene.ring_b, scene.rol2, projected_b);
    platform.line_to(dc, scene.screen_x, scene.screen_y);
  }
}

// X red, Y blue, Z green, each with a pen of its own made for this frame. A pen is
// deleted only once the next one has taken its place in the back buffer.
void draw_axes(const FrameTarget& frame) {
  constexpr std::array<ColorRef, 3> colors{color::red, color::blue, color::green};
  Platform& platform = frame.platform;
  SceneState& scene = frame.scene;
  DrawResources& draw = frame.draw;
  const Handle dc = draw.back_buffer;
  for (std::size_t a = 0; a < colors.size(); ++a) {
    project_point(scene, scene.axis_points[a]);
    const Handle previous = draw.axis_pen;
    draw.axis_pen = platform.create_pen(pen_style_solid, 1, colors[a]);
    platform.select_object(dc, draw.axis_pen);
    if (a > 0) platform.delete_object(previous);
    platform.move_to(dc, scene.centre_x, scene.centre_y);
    platform.line_to(dc, scene.screen_x, scene.screen_y);
  }
  platform.select_object(dc, draw.white_pen);
  platform.delete_object(draw.axis_pen);
}

}  // namespace

void paint_frame(const FrameTarget& frame, WindowHandle window) {
  SceneState& scene = frame.scene;
  Platform& platform = frame.platform;
  const Handle dc = frame.draw.back_buffer;
  const Handle target = platform.begin_paint(window);

  // Ring C: marker on entry 0, white dots for the rest.
  for (int i = 0; i < ring_c_size; ++i) {
    project_point(scene, scene.ring_c[static_cast<std::size_t>(i)]);
    if (i == 0) {
      draw_marker(platform, dc, scene);
    } else {
      platform.set_pixel(dc, scene.screen_x, scene.screen_y, color::white);
    }
  }

  if (scene.string_art == 0) {
    draw_dots_and_hub_lines(frame);
  } else {
    draw_string_art(frame);
  }
  if (scene.axes_flag != 0) draw_axes(frame);

  platform.bit_blt(target, 0, 0, view_width, view_height, dc, 0, 0);
  platform.end_paint(window);
}

void prepare_next_frame(const FrameTarget& frame, WindowHandle window) {
  const SceneState& s = frame.scene;
  Platform& platform = frame.platform;
  const Handle dc = frame.draw.back_buffer;
  if (!s.trail) platform.fill_rect(dc, s.draw_rect, frame.draw.background);
  platform.fill_rect(dc, s.counter_rect, frame.draw.background);
  platform.text_out(dc, 2, 2, reinterpret_cast<const char*>(s.counter_text.data()), 6);
  platform.redraw_window(window, s.draw_rect);
}

std::uint32_t next_index(std::uint32_t index, std::uint32_t offset) {
  const std::uint32_t sum = index + offset;  // wraps modulo 2^32
  const std::uint32_t remainder = sum % index_modulus;
  return remainder != 0 ? remainder : sum / index_modulus;
}

}  // namespace fpu
