// Find over a full viewer buffer (16 MiB of trace lines): the first match when it is the
// last line (the longest a search for one match can take), the full count, the window's
// frames while that count runs with lines streaming in, and the frames while a long query is
// typed into the find and filter bars over long lines that almost match it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>

#include "tools/viewer/viewer_find.h"
#include "tools/viewer/viewer_model.h"
#include "tools/viewer/viewer_text.h"

namespace {

// Trace lines up to the viewer's bound, the last one the needle.
void fill(fpu::viewer::ViewerText& t) {
  for (unsigned i = 0; t.text().size() + 200 < fpu::viewer::kTextLimit; ++i) {
    t.append("rol1 = " + std::to_string(i % 360) + ", xopc = 62, eAX = -200, Dist Z " +
             std::string(40 + i % 17, '*'));
  }
  t.append("the needle line");
}

const fpu::viewer::ViewerText& full_buffer() {
  static const fpu::viewer::ViewerText text = [] {
    fpu::viewer::ViewerText t;
    fill(t);
    return t;
  }();
  return text;
}

void first_match(benchmark::State& state, bool match_case) {
  const auto& text = full_buffer();
  fpu::viewer::ViewerFind find;
  find.set_query(match_case ? "needle" : "NEEDLE", match_case);
  for (auto _ : state) benchmark::DoNotOptimize(find.next(text.text(), 0, false));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.text().size()));
}

void full_count(benchmark::State& state) {
  const auto& text = full_buffer();
  fpu::viewer::ViewerFind find;
  find.set_query("XOPC = 62", false);
  for (auto _ : state) {
    find.set_query("XOPC = 62", false);
    while (!find.count_slice(text.text(), 0, 0, fpu::viewer::kCountSlice)) {
    }
    benchmark::DoNotOptimize(find.count());
  }
  state.counters["matches"] = static_cast<double>(find.count());
}

// What the model does for one paint: the rows shown with their highlight rule and matches,
// and the bands under them.
std::size_t paint_work(const fpu::viewer::ViewerModel& model) {
  const auto& text = model.shown_text();
  const auto& view = model.view();
  std::size_t marks = model.bar_line().size() + model.status().size();
  const auto current = model.current_match();
  for (std::size_t row = 0; row <= view.rows(); ++row) {
    const std::uint64_t number = view.top() + row;
    if (number < text.first_number() || number - text.first_number() >= text.line_count()) break;
    const auto line = text.line(static_cast<std::size_t>(number - text.first_number()));
    if (model.highlights().match(line) != nullptr) ++marks;
    for (const std::size_t at : model.find().matches_in(line, fpu::viewer::kMaxDrawn)) {
      marks += current && current->line == number && current->column == at ? 2 : 1;
    }
  }
  return marks;
}

// Frames while the find bar counts a full buffer: each takes the lines that came (a traced
// animation's 28,000 a second at 60 frames a second), a slice of the count as both viewers
// do between frames, and the model's part of a paint. The first frame is the one the query
// is typed in (its first match). longest_frame_ms is how long the window can go unanswered.
void frames_while_counting(benchmark::State& state) {
  using clock = std::chrono::steady_clock;
  fpu::viewer::ViewerModel model(
      [](const std::string&, std::time_t) { return fpu::viewer::SaveResult{}; });
  fpu::viewer::Highlights rules;
  rules.apply("xopc yellow");
  model.set_highlights(rules, nullptr);
  fill(model.text());
  model.text_changed();
  model.view().set_rows(50);
  model.key(fpu::viewer::ViewerKey::f, true);
  unsigned next = 0;
  double longest = 0;
  std::size_t frames = 0;
  std::size_t counts = 0;
  for (auto _ : state) {
    const std::string query = counts % 2 ? "xopc = 62" : "XOPC = 62, eAX";
    auto start = clock::now();
    while (!model.find().query().empty()) model.key(fpu::viewer::ViewerKey::backspace, false);
    model.type(query);
    for (;;) {
      benchmark::DoNotOptimize(paint_work(model));
      const auto end = clock::now();
      longest = std::max(longest, std::chrono::duration<double, std::milli>(end - start).count());
      start = end;
      ++frames;
      if (model.find_line().find("counting") == std::string::npos) break;
      for (int i = 0; i < 470; ++i) {
        model.text().append("rol1 = " + std::to_string(++next % 360) + ", xopc = 62, eAX = -200");
      }
      model.text_changed();
      model.work(fpu::viewer::kCountSlice);
    }
    ++counts;
  }
  state.counters["longest_frame_ms"] = longest;
  state.counters["frames_per_count"] = static_cast<double>(frames) / static_cast<double>(counts);
}

// Setting a filter on a full buffer: every line is looked at on the window's thread.
void set_filter(benchmark::State& state) {
  fpu::viewer::ViewerModel model(
      [](const std::string&, std::time_t) { return fpu::viewer::SaveResult{}; });
  fill(model.text());
  model.text_changed();
  model.view().set_rows(50);
  bool odd = false;
  for (auto _ : state) {
    model.set_filter((odd = !odd) ? "XOPC = 62, eAX" : "!needle");
    benchmark::DoNotOptimize(model.shown_text().line_count());
  }
}

// The thread's own time: on a busy machine the wall clock also counts other programs' turns.
double thread_cpu_ms() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// A full store of long lines of one letter, and a query of that letter and another at its end
// typed into a bar a character a frame (8 characters as the baseline, the longest a bar
// takes, which matches nothing, and 1,000, cut to that length): each frame is the character, the
// model's work between frames and a paint. longest_frame_ms is how long the window can go
// unanswered, longest_frame_cpu_ms the same in the viewer's own time.
void long_query(benchmark::State& state, fpu::viewer::ViewerKey bar) {
  const auto length = static_cast<int>(state.range(0));
  using clock = std::chrono::steady_clock;
  fpu::viewer::ViewerModel model(
      [](const std::string&, std::time_t) { return fpu::viewer::SaveResult{}; });
  const std::string line(4000, 'a');
  while (model.text().text().size() + 2 * line.size() < fpu::viewer::kTextLimit) {
    model.text().append(line);
  }
  model.text_changed();
  model.view().set_rows(50);
  double longest = 0;
  double longest_cpu = 0;
  std::size_t frames = 0;
  for (auto _ : state) {
    model.key(fpu::viewer::ViewerKey::escape, false);
    model.set_filter("");
    model.key(bar, true);
    model.key(fpu::viewer::ViewerKey::a, true);  // the last query is replaced
    const auto frame = [&](auto&& input) {
      const auto start = clock::now();
      const double cpu_start = thread_cpu_ms();
      input();
      model.work(fpu::viewer::kCountSlice);
      benchmark::DoNotOptimize(paint_work(model));
      longest = std::max(longest,
                         std::chrono::duration<double, std::milli>(clock::now() - start).count());
      longest_cpu = std::max(longest_cpu, thread_cpu_ms() - cpu_start);
      ++frames;
    };
    for (int i = 0; i < length; ++i) frame([&] { model.type(i + 1 < length ? "a" : "b"); });
    frame([&] { model.key(fpu::viewer::ViewerKey::enter, false); });
    while (model.busy()) frame([] {});
    // Lines flooding in until the oldest go: a filter looks at the lines left again.
    for (int i = 0; i < 8; ++i) {
      frame([&] {
        for (int j = 0; j < 300; ++j) model.text().append(line);
        model.text_changed();
      });
    }
  }
  state.counters["longest_frame_ms"] = longest;
  state.counters["longest_frame_cpu_ms"] = longest_cpu;
  state.counters["frames"] = static_cast<double>(frames);
}

BENCHMARK_CAPTURE(first_match, ignoring_case, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(first_match, matching_case, true)->Unit(benchmark::kMillisecond);
BENCHMARK(full_count)->Unit(benchmark::kMillisecond);
BENCHMARK(set_filter)->Unit(benchmark::kMillisecond);
BENCHMARK(frames_while_counting)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(long_query, find, fpu::viewer::ViewerKey::f)
    ->Arg(8)
    ->Arg(fpu::viewer::kMaxQuery)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(long_query, filter, fpu::viewer::ViewerKey::i)
    ->Arg(8)
    ->Arg(fpu::viewer::kMaxQuery)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
