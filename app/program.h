// Everything the window procedure works on: the scene, the drawing objects, the platform it
// draws and schedules through, where trace lines go, and the timer's own random source.
#pragma once

#include <functional>
#include <optional>

#include "input/input.h"
#include "input/timer_noise.h"
#include "platform/platform.h"
#include "render/draw_resources.h"
#include "render/paint.h"
#include "scene/scene_state.h"
#include "trace/trace.h"

namespace fpu {

class SessionRecorder;

struct Program {
  Program(Platform& platform_, TraceSink& trace_) : platform(&platform_), trace(&trace_) {}

  InputTarget input() { return {scene, *trace, timer_noise, *platform, &timer_reading}; }
  FrameTarget frame() { return {*platform, draw, scene, *trace}; }

  SceneState scene;
  DrawResources draw;
  Platform* platform;
  TraceSink* trace;
  TimerNoise timer_noise;
  // Set once shutdown has released the drawing objects; later messages are ignored.
  bool shut_down = false;
  // Called by shutdown just before the drawing objects are released (the replay tool keeps
  // the last frame this way); empty in the windowed programs.
  std::function<void(Program&)> before_release;
  // Writes down every message handled (--save-script); none when null.
  SessionRecorder* recorder = nullptr;
  // What the tick being handled read, for the recorder.
  std::optional<TimerReading> timer_reading;
};

}  // namespace fpu
