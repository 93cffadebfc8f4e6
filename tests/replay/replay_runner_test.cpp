#include "tools/replay/replay_runner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "backends/soft/soft_platform.h"
#include "scene/scene_state.h"

namespace fpu {
namespace {

class RecordingHost : public ReplayHost {
 public:
  Platform& platform() override { return platform_; }
  void set_tick_count(std::uint32_t ms) override {
    ticks.push_back(ms);
    platform_.set_tick_count(ms);
  }
  bool write_image(const std::string& path, Handle back_buffer, std::string*) override {
    images.push_back(path);
    image_had_buffer.push_back(platform_.dc_surface(back_buffer) != nullptr);
    return true;
  }
  std::vector<std::uint32_t> ticks;
  std::vector<std::string> images;
  std::vector<bool> image_had_buffer;

 private:
  SoftPlatform platform_{view_width, view_height};
};

struct ScriptRun {
  ReplayResult result;
  std::vector<std::string> lines;
  RecordingHost host;
};

void run(ScriptRun& r, const std::string& script, ReplayOptions options = {}) {
  std::istringstream in(script);
  std::ostringstream out;
  JsonTraceSink trace(out);
  r.result = run_replay(r.host, trace, in, out, options);
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) r.lines.push_back(line);
}

struct NumberCase {
  const char* text;
  std::int64_t min;
  std::uint64_t max;
  NumberResult result;
  std::uint64_t value;
};

TEST(ReplayNumbers, DecimalAndHexWithinTheirRange) {
  constexpr std::uint64_t u32 = 0xFFFFFFFFu;
  constexpr std::uint64_t u64 = ~std::uint64_t{0};
  constexpr std::int64_t i32 = -2147483648;
  using R = NumberResult;
  const NumberCase cases[] = {
      {"05", 0, u32, R::ok, 5},
      {"0XfF", 0, u32, R::ok, 255},
      {"-1", i32, u32, R::ok, u64},
      {"-2147483648", i32, u32, R::ok, 0xFFFFFFFF80000000u},
      {"-2147483649", i32, u32, R::out_of_range, 0},
      {"-1", 0, u32, R::out_of_range, 0},
      {"4294967295", 0, u32, R::ok, u32},
      {"4294967296", 0, u32, R::out_of_range, 0},
      {"0x100000000", 0, u32, R::out_of_range, 0},
      {"18446744073709551615", 0, u64, R::ok, u64},
      {"18446744073709551616", 0, u64, R::out_of_range, 0},
      {"0x1FFFFFFFFFFFFFFFF", 0, u64, R::out_of_range, 0},
      {"0", 1, 8, R::out_of_range, 0},
      {"0x", 0, u32, R::not_a_number, 0},
      {"-", i32, u32, R::not_a_number, 0},
      {"", 0, u32, R::not_a_number, 0},
      {"1a", 0, u32, R::not_a_number, 0},
      {"-0x1", i32, u32, R::not_a_number, 0},
      {"+1", 0, u32, R::not_a_number, 0},
  };
  for (const auto& c : cases) {
    std::uint64_t v = 12345;
    EXPECT_EQ(parse_script_number(c.text, c.min, c.max, &v), c.result) << c.text;
    if (c.result == R::ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

struct BadLineCase {
  const char* script;
  const char* message;  // expected start of the error
};

TEST(ReplayScript, BadLinesStopWithTheirLineNumber) {
  const BadLineCase cases[] = {
      {"key", "line 1: 'key' takes 1 argument, got 0"},
      {"dump\nkey AB", "line 2: unknown key 'AB'"},
      {"key +", "line 1: unknown key '+'"},
      {"mouse drag 1 2 3", "line 1: unknown mouse event 'drag'"},
      {"mouse move 1 2", "line 1: 'mouse' takes 4 arguments, got 3"},
      {"mouse move 1 y 3", "line 1: bad number 'y'"},
      {"tick 1 2 3", "line 1: 'tick' takes no argument, T, or T B C S; got 3"},
      {"paint now", "line 1: 'paint' takes 0 arguments, got 1"},
      {"\n\n  end", "line 3: 'end' without 'repeat'"},
      {"png", "line 1: 'png' needs a file name"},
      {"repeat x\nend", "line 1: bad number 'x'"},
      {"repeat 2\nkey F1\nrepeat 1\nend", "line 1: 'repeat' without 'end'"},
      {"msg 1 2", "line 1: 'msg' takes 3 arguments, got 2"},
      {"Key A", "line 1: unknown command 'Key'"},
      {"repeat -1\nend", "line 1: repeat count '-1' is not in 0 to 4294967295"},
      {"repeat 4294967296\nend", "line 1: repeat count '4294967296' is not in 0 to 4294967295"},
      {"dump\nmsg 1 0 0", "line 2: 'msg 1' is the creation message"},
      {"msg 0x100000001 0 0", "line 1: 'msg 0x100000001' is the creation message"},
      {"key A\nstart 5", "line 2: 'start' comes once, before every other command"},
      {"start 5\n# again\nstart 5", "line 3: 'start' comes once, before every other command"},
      {"repeat 1\nstart 5\nend", "line 2: 'start' comes once, before every other command"},
      {"start", "line 1: 'start' takes 1 argument, got 0"},
  };
  for (const auto& c : cases) {
    ScriptRun r;
    run(r, c.script);
    EXPECT_EQ(r.result.exit_code, 2) << c.script;
    EXPECT_EQ(r.result.error.rfind(c.message, 0), 0u) << c.script << " gave " << r.result.error;
  }
}

TEST(ReplayScript, NothingOfAScriptWithABadLineRuns) {
  ScriptRun r;
  run(r, "dump\nkey F1\npng a.png\nbogus\nkey F1\ndump\n");
  EXPECT_EQ(r.result.exit_code, 2);
  EXPECT_TRUE(r.lines.empty());
  EXPECT_TRUE(r.host.images.empty());
}

TEST(ReplayScript, NestedRepeatsRunTheirBodyTheProductOfTimes) {
  ScriptRun r;
  run(r, "repeat 2\n  repeat 3\n    key F1\n  end\n  # comment\n\nend\nrepeat 0\nkey F1\nend\n");
  EXPECT_EQ(r.result.exit_code, 0);
  EXPECT_EQ(r.lines.size(), 6u);
}

TEST(ReplayScript, TicksAdvanceTheClockBy50UnlessGivenATime) {
  ScriptRun r;
  ReplayOptions options;
  options.start_ticks = 1000;
  run(r, "tick\ntick\ntick 7\ntick\ntick 0xFFFFFFF0 1 2 3\ntick\n", options);
  EXPECT_EQ(r.result.exit_code, 0);
  const std::vector<std::uint32_t> expected = {1000, 1050, 1100, 7, 57, 0xFFFFFFF0u, 0x22};
  EXPECT_EQ(r.host.ticks, expected);
}

// A saved session names the tick count its start-up read: it wins over --ticks, and counts
// as a line.
TEST(ReplayScript, StartLineSetsTheStartUpTickCount) {
  const struct {
    const char* script;
    std::vector<std::uint32_t> ticks;
  } cases[] = {
      {"start 77\ntick\n", {77, 127}},
      {"# saved\n\nstart 0xFFFFFFFF\ntick\ntick 9\n", {0xFFFFFFFFu, 49, 9}},
      {"start -2\n", {0xFFFFFFFEu}},
      {"tick\n", {1000, 1050}},
  };
  for (const auto& c : cases) {
    ScriptRun r;
    ReplayOptions options;
    options.start_ticks = 1000;
    run(r, c.script, options);
    EXPECT_EQ(r.result.exit_code, 0) << c.script;
    EXPECT_EQ(r.host.ticks, c.ticks) << c.script;
  }
  // The generator is seeded with it: the state dump shows the seed.
  ScriptRun r;
  run(r, "start 31337\ndump\n");
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_NE(r.lines[0].find("\"random_seed\":31337}"), std::string::npos) << r.lines[0];
}

TEST(ReplayScript, QuitIsReportedOnceAndImagesStillWorkAfterIt) {
  ScriptRun r;
  run(r, "key ESCAPE\nkey ESCAPE\nclose\npng after.png\ndump\n");
  EXPECT_EQ(r.result.exit_code, 0);
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[0], R"({"quit":0})");
  EXPECT_EQ(r.lines[1].rfind(R"({"centre_x":350,)", 0), 0u);
  EXPECT_EQ(r.host.images, std::vector<std::string>{"after.png"});
}

TEST(ReplayScript, PngFileNameIsTheRestOfTheLine) {
  ScriptRun r;
  run(r, "png  my frame.png  \n");
  EXPECT_EQ(r.host.images, std::vector<std::string>{"my frame.png"});
  EXPECT_TRUE(r.host.image_had_buffer[0]);
}

TEST(ReplayScript, StepLimitStopsEndlessScripts) {
  ScriptRun r;
  ReplayOptions options;
  options.max_steps = 100;
  run(r, "repeat 4000000000\nkey F1\nend\n", options);
  EXPECT_EQ(r.result.exit_code, 1);
  EXPECT_EQ(r.lines.size(), 99u);  // the repeat line is a step too
}

TEST(ReplayScript, StepLimitNamesTheLineAfterBlocksAndSkippedLines) {
  const struct {
    const char* script;
    std::uint64_t steps;
    const char* error;
  } cases[] = {
      {"repeat 3\n\n# c\nkey F1\nend\n\nkey F1\n", 4, "line 7: stopped"},
      {"repeat 3\n\n# c\nkey F1\nend\n\nkey F1\n", 3, "line 4: stopped"},
      {"repeat 0\nkey F1\n\nend\n\nkey F1\nkey F1\n", 2, "line 7: stopped"},
      {"repeat 2\nrepeat 2\nend\nkey F1\nend\n#\nkey F1\n", 5, "line 7: stopped"},
  };
  for (const auto& c : cases) {
    ScriptRun r;
    ReplayOptions options;
    options.max_steps = c.steps;
    run(r, c.script, options);
    EXPECT_EQ(r.result.error.rfind(c.error, 0), 0u) << c.script << " gave " << r.result.error;
  }
}

TEST(ReplayScript, SpellingsThatMeanTheSame) {
  const std::pair<const char*, const char*> cases[] = {
      {"key a\nkey f1\nkey numpad0\ndump\n", "key A\nkey F1\nkey NUMPAD0\ndump\n"},
      {"\xEF\xBB\xBFkey A\ndump\n", "key A\ndump\n"},
      {"msg 0x100 -1 0xFFFFFFFF\ndump\n", "msg 256 4294967295 -1\ndump\n"},
      // Message-line numbers are taken modulo 2^32; only their low 16 bits reach x, y and B C S.
      {"key 4294967361\ndump\n", "key A\ndump\n"},
      {"mouse ldown 65637 -1 1\nmouse move 65737 3 1\ndump\n",
       "mouse ldown 101 65535 1\nmouse move 201 3 1\ndump\n"},
      {"tick 4294967396 65537 2 3\ndump\n", "tick 100 1 2 3\ndump\n"},
  };
  for (const auto& [a, b] : cases) {
    ScriptRun ra, rb;
    run(ra, a);
    run(rb, b);
    EXPECT_EQ(ra.result.exit_code, 0) << a << ": " << ra.result.error;
    EXPECT_EQ(ra.lines, rb.lines) << a;
  }
}

TEST(ReplayScript, ScriptSizeIsBounded) {
  ScriptRun r;
  ReplayOptions options;
  options.max_script_bytes = 10;
  run(r, "tick\ntick\ntick\n", options);
  EXPECT_EQ(r.result.exit_code, 2);
  EXPECT_EQ(r.result.error.rfind("line 3: script larger than 10 bytes", 0), 0u) << r.result.error;
}

TEST(ReplayScript, EmptyBodiesCostNoStepsHoweverOftenTheyRepeat) {
  ScriptRun r;
  ReplayOptions options;
  options.max_steps = 10;
  run(r,
      "repeat 4294967295\nrepeat 4294967295\nend\nrepeat 0\nkey F1\nend\nend\n"
      "repeat 3\nkey F1\nend\n",
      options);
  EXPECT_EQ(r.result.exit_code, 0) << r.result.error;
  EXPECT_EQ(r.lines.size(), 3u);
}

TEST(ReplayDump, FieldsInOrderWithTheirWidths) {
  ScriptRun r;
  run(r, "key SPACE\nkey 0\nkey J\nkey Z\ndump\n");
  ASSERT_EQ(r.lines.size(), 1u);
  const std::string& d = r.lines[0];
  const char* keys[] = {"centre_x",     "centre_y",   "screen_x",    "screen_y",   "angle_x",
                        "angle_y",      "angle_z",    "angle_step",  "axis_mask",  "z_degrees",
                        "radius",       "rayon1",     "rayon2",      "ring_angle", "ring_a",
                        "ring_b",       "ring_c",     "axis_points", "rot1",       "rot2",
                        "rol1",         "rol2",       "random_mode", "trace_flag", "axes_flag",
                        "auto_mode",    "full_ring",  "string_art",  "trail",      "anchor_x",
                        "anchor_y",     "box_left",   "box_upper",   "box_right",  "box_lower",
                        "counter_text", "random_seed"};
  std::size_t at = 0;
  for (const char* k : keys) {
    const std::size_t found = d.find(std::string("\"") + k + "\":", at);
    ASSERT_NE(found, std::string::npos) << k;
    at = found;
  }
  EXPECT_NE(d.find(R"("angle_x":0,"angle_y":0,"angle_z":0,"angle_step":0,)"), std::string::npos);
  EXPECT_NE(d.find(R"("rol1":64,)"), std::string::npos);
  EXPECT_NE(d.find(R"("counter_text":[49,57,54,32,32,0,0,0])"), std::string::npos);
  EXPECT_NE(d.find(R"("random_seed":12345678})"), std::string::npos);
  EXPECT_NE(d.find(R"("ring_a":[[240,0,-196],)"), std::string::npos);
  EXPECT_NE(d.find(R"("axis_points":[[100,0,0],[0,100,0],[0,0,100]])"), std::string::npos);
}

TEST(ReplayJson, StringsAreEscaped) {
  std::string out;
  append_json_string(out, std::string("a\"b\\c\x01\x7f\xff", 8));
  EXPECT_EQ(out, R"("a\"b\\c\u0001\u007f\u00ff")");
}

}  // namespace
}  // namespace fpu
