// The script language of the replay tool: one line's words checked and encoded as a
// command for the runner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/masked.h"

namespace fpu {

namespace replay {

// A script is kept as bytes, one short command per line: millions of plain lines must not
// cost a string and a vector each. A deque grows without copying what it holds.
enum class Op : std::uint8_t {
  skip,        // lines that do nothing (blank, comments): varint count
  message,     // varint code, wparam, lparam
  key,         // varint key code
  mouse,       // byte event index, varint flags, varint lparam
  tick,        // clock + 50, values from the seeded source
  tick_at,     // varint T
  tick_fixed,  // varint T, B, C, S
  paint,
  close,
  dump,
  png,     // varint length, the file name's bytes
  repeat,  // fixed u32 count (0: passed over), u64 offset of its `end`, u64 line of its `end`
  end,
  start,  // varint T: the tick count at start-up (the reader also keeps it in the script)
};

inline constexpr std::size_t repeat_count_at = 1;
inline constexpr std::size_t repeat_end_at = 5;
inline constexpr std::size_t repeat_end_line_at = 13;
inline constexpr std::size_t repeat_size = 21;

struct Script {
  std::deque<std::uint8_t> code;
  // A `start T` line's T: the tick count the start-up reads, in place of --ticks.
  std::optional<std::uint32_t> start_ticks;

  void put(Op op) { code.push_back(static_cast<std::uint8_t>(op)); }
  void put_byte(std::uint8_t b) { code.push_back(b); }
  void put_varint(std::uint64_t v);
  void put_fixed(std::uint64_t v, int bytes);
  void patch_fixed(std::size_t at, std::uint64_t v, int bytes);
  std::uint64_t fixed(std::size_t at, int bytes) const;
  // Reads a varint at `at` and moves `at` past it.
  std::uint64_t varint(std::size_t& at) const;
};

// Parses one non-blank, non-comment line and appends its command to `script`. Returns an
// empty string or the error; `op` is the command's kind.
std::string parse_line(std::string_view line, Script& script, Op* op);

// The mouse event messages, in the order the encoding numbers them.
std::uint32_t mouse_message(std::uint8_t event);

}  // namespace replay

enum class NumberResult { ok, not_a_number, out_of_range };

// A number of a message line, taken modulo 2^32 (negative decimals too); false when it is
// not a number.
bool parse_wrapping_number(std::string_view text, std::uint32_t* value);
// Parses a decimal (optionally negative) or 0x hexadecimal number that must lie in
// [min, max]. The value comes back as its 64-bit two's complement pattern.
NumberResult parse_script_number(std::string_view text, std::int64_t min, std::uint64_t max,
                                 std::uint64_t* value);

}  // namespace fpu
