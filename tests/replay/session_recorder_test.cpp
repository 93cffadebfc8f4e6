// The session recorder against the replay tool: a session run on the software window and
// written down must replay to the same painted frames, trace lines and final state.
#include "app/session_recorder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/window.h"
#include "backends/soft/soft_platform.h"
#include "tools/replay/json_lines.h"
#include "tools/replay/replay_runner.h"
#include "trace/stream_trace_sinks.h"

namespace fpu {
namespace {

constexpr WindowHandle window = 1;

// The software window, keeping a fingerprint of every frame a paint shows.
class FramePlatform : public SoftPlatform {
 public:
  FramePlatform() : SoftPlatform(view_width, view_height) {}
  void end_paint(WindowHandle w) override {
    SoftPlatform::end_paint(w);
    std::uint64_t h = 1469598103934665603u;
    for (const std::uint32_t p : window_surface().pixels) h = (h ^ p) * 1099511628211u;
    frames.push_back(h);
  }
  std::vector<std::uint64_t> frames;
};

class StringOutput : public ScriptOutput {
 public:
  bool write(std::string_view text) override {
    if (text.size() > room) return false;
    room -= text.size();
    script += text;
    return true;
  }
  std::string script;
  std::size_t room = ~std::size_t{0};
};

struct Step {
  std::uint32_t message;
  std::uint32_t wparam = 0;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::uint32_t advance = 0;  // milliseconds the clock moves on before the message
};

Step key(std::uint32_t code) {
  return {msg::key_down, code};
}
Step mouse(std::uint32_t message, std::int32_t x, std::int32_t y, std::uint32_t flags) {
  return {message, flags, x, y};
}
// A tick that comes `advance` ms after the last message, as a loaded machine delivers them.
Step tick(std::uint32_t advance) {
  return {msg::timer, timer_id, 0, 0, advance};
}
std::vector<Step> ticks(int n, std::uint32_t advance) {
  return std::vector<Step>(n, tick(advance));
}
std::vector<Step> join(std::initializer_list<std::vector<Step>> parts) {
  std::vector<Step> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct Live {
  std::string script;
  std::vector<std::string> lines;  // trace lines, the quit line, then a dump
  std::vector<std::uint64_t> frames;
};

// Runs `steps` through the window procedure as a backend's loop does (a paint after
// whatever asked for one), with the recorder attached.
Live run_live(const std::vector<Step>& steps, std::uint32_t start_ticks, std::uint64_t noise) {
  FramePlatform platform;
  std::ostringstream out;
  JsonTraceSink trace(out);
  StringOutput output;
  SessionRecorder recorder(output);
  Program program(platform, trace);
  program.timer_noise.reseed(noise);
  program.recorder = &recorder;
  std::uint32_t clock = start_ticks;
  platform.set_tick_count(clock);
  start_program(program, window);
  bool quit = false;
  for (const Step& step : steps) {
    clock += step.advance;
    platform.set_tick_count(clock);
    window_proc(program, window, step.message, step.wparam,
                widen_lparam(pack_mouse_lparam(step.x, step.y)));
    if (program.shut_down && !quit) {
      quit = true;
      out << "{\"quit\":0}\n";
    }
    if (platform.invalidated() && !program.shut_down) {
      platform.clear_invalidated();
      window_proc(program, window, msg::paint, 0, 0);
    }
  }
  out << dump_line(program.scene);
  EXPECT_TRUE(recorder.finish());
  Live live{output.script, {}, platform.frames};
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) live.lines.push_back(line);
  return live;
}

class FrameHost : public ReplayHost {
 public:
  Platform& platform() override { return platform_; }
  void set_tick_count(std::uint32_t ms) override { platform_.set_tick_count(ms); }
  bool write_image(const std::string&, Handle, std::string*) override { return true; }
  FramePlatform platform_;
};

TEST(SessionRecorder, ReplaysToTheSameFramesTraceAndState) {
  using namespace mk;
  const struct {
    const char* name;
    std::vector<Step> steps;
    std::uint32_t start_ticks;
    std::uint64_t noise;
    const char* expect_in_script;  // a form the session must have been written with
  } cases[] = {
      {"keys and string art",
       {key('S'), key('V'), key('V'), key('B'), key('L'), key(vk::left), key('W'), key('Y'),
        key(0xC0), key(0xBE), key(0x10), key(vk::escape)},
       4242,
       7,
       "key 0x10\n"},
      {"random mode, late ticks",
       join({{key('R'), key('T')}, ticks(150, 37), {key('L'), key('R')}, ticks(40, 61)}),
       0xFFFFFF00u, 99, "tick "},
      {"drags past the edges",
       {mouse(msg::lbutton_down, 300, 300, lbutton), mouse(msg::mouse_move, 250, 310, lbutton),
        mouse(msg::mouse_move, -5, 700, lbutton), mouse(msg::lbutton_up, -5, 700, 0),
        mouse(msg::rbutton_down, 10, 10, rbutton),
        mouse(msg::mouse_move, -32768, 32767, rbutton | shift), mouse(msg::rbutton_up, 0, 0, 0),
        key('H'), mouse(msg::mouse_move, 20, 20, mbutton)},
       1,
       3,
       "mouse move -32768 32767 6\n"},
      {"idle ticks, extra paints, close, then queued messages",
       join({ticks(500, 50),
             {key('T'), {msg::paint}, {msg::paint}},
             ticks(30, 50),
             {key('T'), {msg::close}, key('A'), tick(50), {msg::paint}}}),
       123, 5, "repeat 500\ntick\nend\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Live live = run_live(c.steps, c.start_ticks, c.noise);
    EXPECT_NE(live.script.find(c.expect_in_script), std::string::npos) << live.script;
    EXPECT_TRUE(live.script.starts_with("# ")) << live.script.substr(0, 80);

    // Another tick count and noise seed by default: only the script may make them the same.
    FrameHost host;
    std::istringstream in(live.script + "dump\n");
    std::ostringstream out;
    JsonTraceSink trace(out);
    const ReplayResult result = run_replay(host, trace, in, out, ReplayOptions{});
    ASSERT_EQ(result.exit_code, 0) << result.error;
    std::vector<std::string> lines;
    std::istringstream replayed(out.str());
    for (std::string line; std::getline(replayed, line);) lines.push_back(line);
    EXPECT_EQ(lines, live.lines);
    EXPECT_EQ(host.platform_.frames, live.frames);
  }
}

TEST(SessionRecorder, WritesEachMessageAsTheReplayReadsIt) {
  const TimerReading reading{4000000000u, {1, 65535, 300}};
  const struct {
    std::uint32_t message;
    WParam wparam;
    LParam lparam;
    const TimerReading* reading;
    std::string_view line;
  } cases[] = {
      {msg::key_down, 'Q', 0, nullptr, "key Q"},
      {msg::key_down, '7', 0x00470001, nullptr, "key 7"},
      {msg::key_down, 0x25, 0, nullptr, "key LEFT"},
      {msg::key_down, 0x1B, 0, nullptr, "key ESCAPE"},
      {msg::key_down, 0xC0, 0, nullptr, "key OEM_3"},
      {msg::key_down, 0x7B, 0, nullptr, "key F12"},
      {msg::key_down, 0x05, 0, nullptr, "key 0x05"},
      {msg::key_down, 0x60, 0, nullptr, "key NUMPAD0"},
      {msg::key_down, 0x61, 0, nullptr, "key 0x61"},
      {msg::key_down, 0x1FFFF, 0, nullptr, "key 0x1FFFF"},
      {msg::mouse_move, mk::lbutton, widen_lparam(pack_mouse_lparam(-1, 654)), nullptr,
       "mouse move -1 654 1"},
      {msg::rbutton_up, 0, widen_lparam(pack_mouse_lparam(699, -300)), nullptr,
       "mouse rup 699 -300 0"},
      {msg::timer, timer_id, 0, &reading, "tick 4000000000 1 65535 300"},
      {msg::timer, timer_id, 0, nullptr, "tick"},
      {msg::timer, 2, 0, nullptr, "msg 275 2 0"},
      {msg::paint, 0, 0, nullptr, "paint"},
      {msg::close, 0, 0, nullptr, "close"},
      {msg::create, 0, 0, nullptr, ""},
      {0x0400, 0xFFFFFFFFu, -1, nullptr, "msg 1024 4294967295 4294967295"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(script_line(c.message, c.wparam, c.lparam, c.reading), c.line);
  }
}

TEST(SessionRecorder, RunsOnlyWhenShorterAndStopsAtAFailedWrite) {
  const struct {
    std::vector<const char*> lines;
    std::size_t room;
    bool finished;
    std::string_view written;
  } cases[] = {
      {{"tick", "tick", "tick"}, ~std::size_t{0}, true, "tick\ntick\ntick\n"},
      {{"tick", "tick", "tick", "tick", "paint"},
       ~std::size_t{0},
       true,
       "repeat 4\ntick\nend\npaint\n"},
      {{"paint", "tick", "paint", "paint"}, ~std::size_t{0}, true, "paint\ntick\npaint\npaint\n"},
      // A full disk: nothing after the failed write, and finish says so.
      {{"paint", "tick", "paint"}, 8, false, "paint\n"},
  };
  for (const auto& c : cases) {
    StringOutput output;
    SessionRecorder recorder(output);
    recorder.begin(77);
    const std::size_t head = output.script.size();
    output.room = c.room;
    recorder.record(msg::paint, 0, 0, nullptr);  // the start-up's own paint: not written
    for (const std::string_view line : c.lines) {
      recorder.record(line == "tick" ? msg::timer : msg::paint, timer_id, 0, nullptr);
    }
    EXPECT_EQ(recorder.finish(), c.finished);
    EXPECT_EQ(output.script.substr(head), c.written);
    EXPECT_NE(output.script.find("\nstart 77\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace fpu
