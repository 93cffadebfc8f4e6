// Find over a full viewer buffer (16 MiB of trace lines): the first match when it is the
// last line (the longest a search for one match can take), and the full count.
#include <benchmark/benchmark.h>

#include <string>

#include "tools/viewer/viewer_find.h"
#include "tools/viewer/viewer_text.h"

namespace {

const fpu::viewer::ViewerText& full_buffer() {
  static const fpu::viewer::ViewerText text = [] {
    fpu::viewer::ViewerText t;
    for (unsigned i = 0; t.text().size() + 200 < fpu::viewer::kTextLimit; ++i) {
      t.append("rol1 = " + std::to_string(i % 360) + ", xopc = 62, eAX = -200, Dist Z " +
               std::string(40 + i % 17, '*'));
    }
    t.append("the needle line");
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
    while (!find.count_slice(text.text(), 0, 0, std::size_t{2} << 20)) {
    }
    benchmark::DoNotOptimize(find.count());
  }
  state.counters["matches"] = static_cast<double>(find.count());
}

BENCHMARK_CAPTURE(first_match, ignoring_case, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(first_match, matching_case, true)->Unit(benchmark::kMillisecond);
BENCHMARK(full_count)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
