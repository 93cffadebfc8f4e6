// The trace viewer's limits, the same in the Linux and the Windows viewer.
#pragma once

#include <cstddef>

namespace fpu::viewer {

// Text kept: past it the oldest lines go, about half the text at once.
inline constexpr std::size_t kTextLimit = std::size_t{16} << 20;
// Lines kept: each costs an index entry beside its text, so a flood of empty lines is
// bounded as well (2 Mi lines of 4 bytes each beside 16 MiB of text).
inline constexpr std::size_t kLineLimit = kTextLimit / 8;
// Lines one wheel notch scrolls.
inline constexpr int kWheelLines = 3;
// Bytes the find bar's count looks through between two frames, so the window keeps answering
// while a full text is counted (bench/trace/viewer_find_bench.cpp measures the frames).
inline constexpr std::size_t kCountSlice = std::size_t{2} << 20;
// Longest text the find, filter and highlight bars take: searches cost the text's size
// whatever the query, and a query longer than any line shown finds nothing worth the wait.
inline constexpr std::size_t kMaxQuery = 256;
// Longest part of a line drawn; the rest would be off the window anyway.
inline constexpr std::size_t kMaxDrawn = 400;

}  // namespace fpu::viewer
