// Reads a whole script, line by line, into commands, checking it before anything runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "tools/replay/script_grammar.h"

namespace fpu {

// Longest script line, and deepest nesting of repeat blocks.
inline constexpr std::size_t replay_max_line = 64 * 1024;
inline constexpr std::size_t replay_max_depth = 256;

namespace replay {

// The whole script, parsed and checked, or the first error with its line number. Reads one
// line at a time into a buffer of bounded size, so an endless line costs no memory; a
// script longer than `max_bytes` is refused where it passes the limit.
std::string read_script(std::istream& in, std::uint64_t max_bytes, Script* script);

}  // namespace replay

}  // namespace fpu
