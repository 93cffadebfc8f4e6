#include "tools/replay/script_reader.h"

#include <istream>
#include <string_view>
#include <vector>

namespace fpu::replay {

namespace {

struct OpenBlock {
  std::size_t at;    // offset of the repeat command
  std::size_t line;  // its line
  bool works;        // the body runs at least one line that does something
};

}  // namespace

std::string read_script(std::istream& in, std::uint64_t max_bytes, Script* script) {
  std::vector<char> buffer(replay_max_line + 2);  // the line, a carriage return, the NUL
  std::vector<OpenBlock> open_blocks;             // the repeats not yet ended
  std::size_t line_no = 0;
  std::uint64_t bytes = 0;
  std::uint64_t skipped = 0;  // lines that do nothing, not yet written
  bool commands = false;      // a command other than `start` came
  auto at = [&](std::size_t n, const std::string& what) {
    return "line " + std::to_string(n) + ": " + what;
  };
  while (in.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
    ++line_no;
    bytes += static_cast<std::uint64_t>(in.gcount());
    if (bytes > max_bytes) {
      return at(line_no, "script larger than " + std::to_string(max_bytes) +
                             " bytes (--max-script-bytes raises the limit)");
    }
    std::size_t length = static_cast<std::size_t>(in.gcount()) - (in.eof() ? 0 : 1);
    if (length > 0 && buffer[length - 1] == '\r') --length;
    if (length > replay_max_line) {
      return at(line_no, "longer than " + std::to_string(replay_max_line) + " bytes");
    }
    std::string_view line(buffer.data(), length);
    // A byte-order mark some editors put first is not part of the script.
    if (line_no == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#') {
      ++skipped;
      continue;
    }
    if (skipped != 0) {
      script->put(Op::skip);
      script->put_varint(skipped);
      skipped = 0;
    }
    const std::size_t offset = script->code.size();
    Op op = Op::skip;
    if (std::string err = parse_line(line, *script, &op); !err.empty()) return at(line_no, err);
    if (op == Op::start) {
      // The start-up runs before the first line, so only the script's head can change it.
      if (commands || script->start_ticks) {
        return at(line_no, "'start' comes once, before every other command");
      }
      std::size_t value_at = offset + 1;
      script->start_ticks = static_cast<std::uint32_t>(script->varint(value_at));
      continue;
    }
    commands = true;
    if (op == Op::end) {
      if (open_blocks.empty()) return at(line_no, "'end' without 'repeat'");
      const OpenBlock block = open_blocks.back();
      open_blocks.pop_back();
      script->patch_fixed(block.at + repeat_end_at, offset, 8);
      script->patch_fixed(block.at + repeat_end_line_at, line_no, 8);
      const bool runs = block.works && script->fixed(block.at + repeat_count_at, 4) != 0;
      // A block that runs nothing is passed over whatever its count.
      if (!runs) script->patch_fixed(block.at + repeat_count_at, 0, 4);
      // What an enclosing block runs: this block, when it runs and does something.
      if (runs && !open_blocks.empty()) open_blocks.back().works = true;
      continue;
    }
    if (op != Op::repeat && !open_blocks.empty()) open_blocks.back().works = true;
    if (op == Op::repeat) {
      if (open_blocks.size() == replay_max_depth) {
        return at(line_no, "blocks nested deeper than " + std::to_string(replay_max_depth));
      }
      open_blocks.push_back({offset, line_no, false});
    }
  }
  if (in.bad()) return "cannot read the script";
  if (in.fail() && !in.eof()) {
    return at(line_no + 1, "longer than " + std::to_string(replay_max_line) + " bytes");
  }
  if (!open_blocks.empty()) return at(open_blocks.back().line, "'repeat' without 'end'");
  return {};
}

}  // namespace fpu::replay
