// What a replay run is given besides its script.
#pragma once

#include <cstdint>

namespace fpu {

// Largest script read by default: the parsed form costs less than the text, but the
// text has to come from somewhere trusted to be this long.
inline constexpr std::uint64_t replay_default_max_script = 64ull << 20;

struct ReplayOptions {
  std::uint32_t start_ticks = 12345678;  // the tick count at start-up (seeds the generator)
  std::uint64_t noise_seed = 1;          // seeds the timer's own source of b, c, s
  bool allow_files = true;               // false: `png` lines are checked but write nothing
  std::uint64_t max_steps = 0;           // stop after this many executed lines (0: no limit)
  std::uint64_t max_script_bytes = replay_default_max_script;
};

}  // namespace fpu
