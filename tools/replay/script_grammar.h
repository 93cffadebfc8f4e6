// The script language of the replay tool: one line's words checked and turned into a
// command for the runner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input/timer_noise.h"

namespace fpu {

namespace replay {

enum class Op { message, tick, dump, png, repeat, end };

// One script line, parsed. A whole script is a flat list: a repeat's body is the commands
// after it up to `body_end`, so neither running nor releasing it recurses.
struct Command {
  Op op = Op::message;
  bool has_time = false;
  bool has_values = false;
  bool works = false;  // repeat: the body runs at least one line that does something
  TimerValues values{};
  std::uint32_t message = 0;
  std::uint32_t wparam = 0;
  std::uint32_t lparam = 0;
  std::uint32_t time = 0;
  std::uint32_t count = 0;   // repeat
  std::uint32_t file = 0;    // png: index into Script::files
  std::size_t body_end = 0;  // repeat
  std::size_t line = 0;
};

struct Script {
  std::vector<Command> commands;
  std::vector<std::string> files;
};

// Parses one non-blank, non-comment line into `cmd` (and a png line's file name into
// `file`). Returns an empty string or the error.
std::string parse_line(const std::string& line, Command* cmd, std::string* file);

}  // namespace replay

// Parses a script number: decimal (optionally negative) or 0x hexadecimal, modulo 2^32.
bool parse_script_number(const std::string& text, std::uint32_t* value);

// Parses a repeat count: decimal or 0x hexadecimal from 0 to 2^32 - 1, nothing else.
bool parse_repeat_count(const std::string& text, std::uint32_t* value);

// `text` with its control characters replaced by '?', for messages shown on a terminal.
std::string masked(std::string text);

}  // namespace fpu
