#include "tools/replay/script_reader.h"

#include <istream>
#include <vector>

namespace fpu::replay {

std::string read_script(std::istream& in, Script* script) {
  std::vector<char> buffer(replay_max_line + 2);  // the line, a carriage return, the NUL
  std::vector<std::size_t> open_blocks;           // indexes of the repeats not yet ended
  std::size_t line_no = 0;
  auto at = [&](std::size_t n, const std::string& what) {
    return "line " + std::to_string(n) + ": " + what;
  };
  while (in.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
    ++line_no;
    std::size_t length = static_cast<std::size_t>(in.gcount()) - (in.eof() ? 0 : 1);
    if (length > 0 && buffer[length - 1] == '\r') --length;
    if (length > replay_max_line) {
      return at(line_no, "longer than " + std::to_string(replay_max_line) + " bytes");
    }
    const std::string line(buffer.data(), length);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;

    Command cmd;
    cmd.line = line_no;
    std::string file;
    if (std::string err = parse_line(line, &cmd, &file); !err.empty()) return at(line_no, err);
    std::vector<Command>& commands = script->commands;
    if (cmd.op == Op::end) {
      if (open_blocks.empty()) return at(line_no, "'end' without 'repeat'");
      Command& block = commands[open_blocks.back()];
      open_blocks.pop_back();
      block.body_end = commands.size();
      // What an enclosing block runs: this block, when it runs and does something.
      if (!open_blocks.empty() && block.count != 0 && block.works) {
        commands[open_blocks.back()].works = true;
      }
      continue;
    }
    if (cmd.op == Op::png) {
      cmd.file = static_cast<std::uint32_t>(script->files.size());
      script->files.push_back(std::move(file));
    }
    if (cmd.op != Op::repeat && !open_blocks.empty()) commands[open_blocks.back()].works = true;
    if (cmd.op == Op::repeat) {
      if (open_blocks.size() == replay_max_depth) {
        return at(line_no, "blocks nested deeper than " + std::to_string(replay_max_depth));
      }
      open_blocks.push_back(commands.size());
    }
    commands.push_back(cmd);
  }
  if (in.bad()) return "cannot read the script";
  if (in.fail() && !in.eof()) {
    return at(line_no + 1, "longer than " + std::to_string(replay_max_line) + " bytes");
  }
  if (!open_blocks.empty()) {
    return at(script->commands[open_blocks.back()].line, "'repeat' without 'end'");
  }
  return {};
}

}  // namespace fpu::replay
