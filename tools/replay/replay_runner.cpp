#include "tools/replay/replay_runner.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <istream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/program.h"
#include "app/window.h"
#include "scene/scene_state.h"

namespace fpu {

namespace {

constexpr WindowHandle replay_window = 1;

// ---------- numbers and JSON ----------

template <class T>
void append_number(std::string& out, T value) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;  // the buffer is large enough for any integer or float
  out.append(buf, end);
}

void append_json_value(std::string& out, float v) {
  // Shortest decimal that reads back to the same float; JSON has no NaN or infinity.
  if (v != v || v - v != 0.0f) {
    out += "null";
    return;
  }
  append_number(out, v);
}

template <class T>
requires std::is_integral_v<T>
void append_json_value(std::string& out, T v) {
  append_number(out, v);
}

void append_json_value(std::string& out, const Point& p) {
  out += '[';
  append_number(out, p.x);
  out += ',';
  append_number(out, p.y);
  out += ',';
  append_number(out, p.z);
  out += ']';
}

template <class T, std::size_t N>
void append_json_value(std::string& out, const std::array<T, N>& values) {
  out += '[';
  for (std::size_t i = 0; i < N; ++i) {
    if (i) out += ',';
    append_json_value(out, values[i]);
  }
  out += ']';
}

std::string dump_line(const SceneState& scene) {
  std::string out;
  out.reserve(6000);
  out += '{';
  bool first = true;
  visit_dump_fields(scene, [&](const char* name, const auto& field) {
    if (!first) out += ',';
    first = false;
    out += '"';
    out += name;
    out += "\":";
    append_json_value(out, field);
  });
  out += "}\n";
  return out;
}

// ---------- script lines ----------

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

struct KeyName {
  std::string_view name;
  std::uint32_t code;
};

constexpr KeyName key_names[] = {
    {"LEFT", vk::left},
    {"RIGHT", vk::right},
    {"UP", vk::up},
    {"DOWN", vk::down},
    {"SPACE", vk::space},
    {"RETURN", vk::return_key},
    {"BACK", vk::back},
    {"ESCAPE", vk::escape},
    {"NUMPAD0", vk::numpad0},
    {"OEM_3", vk::oem_3},
    {"OEM_PERIOD", vk::oem_period},
    {"OEM_COMMA", vk::oem_comma},
    {"OEM_MINUS", vk::oem_minus},
    {"F1", 0x70},
    {"F2", 0x71},
    {"F3", 0x72},
    {"F4", 0x73},
    {"F5", 0x74},
    {"F6", 0x75},
    {"F7", 0x76},
    {"F8", 0x77},
    {"F9", 0x78},
    {"F10", 0x79},
    {"F11", 0x7A},
    {"F12", 0x7B},
};

struct MouseEvent {
  std::string_view name;
  std::uint32_t message;
};

constexpr MouseEvent mouse_events[] = {
    {"move", msg::mouse_move},    {"ldown", msg::lbutton_down}, {"lup", msg::lbutton_up},
    {"rdown", msg::rbutton_down}, {"rup", msg::rbutton_up},     {"mdown", msg::mbutton_down},
    {"mup", msg::mbutton_up},
};

bool parse_key(const std::string& token, std::uint32_t* code) {
  if (token.size() == 1) {
    const char c = token[0];
    if (c >= 'A' && c <= 'Z') {
      *code = static_cast<std::uint32_t>(c);
      return true;
    }
    if (c >= '0' && c <= '9') {
      *code = static_cast<std::uint32_t>(c);  // the digit key: 48-57
      return true;
    }
    return false;
  }
  for (const auto& k : key_names) {
    if (token == k.name) {
      *code = k.code;
      return true;
    }
  }
  return parse_script_number(token, code);
}

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    if (j > i) tokens.emplace_back(line, i, j - i);
    i = j;
  }
  return tokens;
}

// A word of the script for a message: masked, and cut short when long.
std::string shown(const std::string& s) {
  if (s.size() > 40) return "'" + masked(s.substr(0, 40)) + "...'";
  return "'" + masked(s) + "'";
}

// The words of one script line and the first error found in them.
struct LineWords {
  const std::string& line;
  std::vector<std::string> t;
  std::string error;
  std::string file;  // png

  bool fail(std::string message) {
    error = std::move(message);
    return false;
  }
  bool arity(std::size_t n) {
    if (t.size() == n + 1) return true;
    return fail("'" + t[0] + "' takes " + std::to_string(n) + " argument" + (n == 1 ? "" : "s") +
                ", got " + std::to_string(t.size() - 1));
  }
  bool number(std::size_t i, std::uint32_t* v) {
    return parse_script_number(t[i], v) || fail("bad number " + shown(t[i]));
  }
};

bool parse_msg(LineWords& w, Command* cmd) {
  cmd->op = Op::message;
  if (!w.arity(3) || !w.number(1, &cmd->message)) return false;
  // The window exists from start-up on, and a window is created once: a second creation
  // would build a second set of drawing objects over the first.
  if (cmd->message == msg::create) {
    return w.fail("'msg " + w.t[1] +
                  "' is the creation message; the window was created at start-up and is not "
                  "created twice");
  }
  return w.number(2, &cmd->wparam) && w.number(3, &cmd->lparam);
}

bool parse_key_press(LineWords& w, Command* cmd) {
  if (!w.arity(1)) return false;
  cmd->op = Op::message;
  cmd->message = msg::key_down;
  return parse_key(w.t[1], &cmd->wparam) || w.fail("unknown key " + shown(w.t[1]));
}

bool parse_mouse(LineWords& w, Command* cmd) {
  if (!w.arity(4)) return false;
  cmd->op = Op::message;
  const MouseEvent* event = nullptr;
  for (const auto& e : mouse_events) {
    if (w.t[1] == e.name) event = &e;
  }
  if (!event) return w.fail("unknown mouse event " + shown(w.t[1]));
  cmd->message = event->message;
  std::uint32_t x = 0, y = 0;
  if (!w.number(2, &x) || !w.number(3, &y) || !w.number(4, &cmd->wparam)) return false;
  cmd->lparam = pack_mouse_lparam(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
  return true;
}

bool parse_tick(LineWords& w, Command* cmd) {
  const std::vector<std::string>& t = w.t;
  if (t.size() != 1 && t.size() != 2 && t.size() != 5) {
    return w.fail("'tick' takes no argument, T, or T B C S; got " + std::to_string(t.size() - 1));
  }
  cmd->op = Op::tick;
  if (t.size() >= 2) {
    cmd->has_time = true;
    if (!w.number(1, &cmd->time)) return false;
  }
  if (t.size() == 5) {
    std::uint32_t v[3];
    for (std::size_t i = 0; i < 3; ++i) {
      if (!w.number(2 + i, &v[i])) return false;
      if (v[i] > 0xFFFFu) {
        return w.fail("timer value " + shown(t[2 + i]) + " is not a 16-bit value");
      }
    }
    cmd->has_values = true;
    cmd->values = {static_cast<std::uint16_t>(v[0]), static_cast<std::uint16_t>(v[1]),
                   static_cast<std::uint16_t>(v[2])};
  }
  return true;
}

// paint, close, dump, end: no arguments.
template <Op op, std::uint32_t message = 0>
bool parse_bare(LineWords& w, Command* cmd) {
  cmd->op = op;
  cmd->message = message;
  return w.arity(0);
}

bool parse_png(LineWords& w, Command* cmd) {
  if (w.t.size() < 2) return w.fail("'png' needs a file name");
  // The file name is the rest of the line, so it may contain blanks.
  const std::string& line = w.line;
  const std::size_t start = line.find_first_not_of(" \t", line.find("png") + 3);
  std::size_t stop = line.find_last_not_of(" \t");
  cmd->op = Op::png;
  w.file = line.substr(start, stop - start + 1);
  return true;
}

bool parse_repeat(LineWords& w, Command* cmd) {
  cmd->op = Op::repeat;
  if (!w.arity(1)) return false;
  // Counts are not taken modulo 2^32: -1 or 2^32 is a mistake, not 4294967295 or 0.
  if (!parse_repeat_count(w.t[1], &cmd->count)) {
    std::uint32_t ignored = 0;
    if (!parse_script_number(w.t[1], &ignored)) return w.number(1, &ignored);
    return w.fail("repeat count " + shown(w.t[1]) + " is not in 0 to 4294967295");
  }
  return true;
}

struct Verb {
  std::string_view name;
  bool (*parse)(LineWords&, Command*);
};

constexpr Verb verbs[] = {
    {"msg", parse_msg},
    {"key", parse_key_press},
    {"mouse", parse_mouse},
    {"tick", parse_tick},
    {"paint", parse_bare<Op::message, msg::paint>},
    {"close", parse_bare<Op::message, msg::close>},
    {"dump", parse_bare<Op::dump>},
    {"end", parse_bare<Op::end>},
    {"png", parse_png},
    {"repeat", parse_repeat},
};

// Parses one non-blank, non-comment line. Returns an empty string or the error.
std::string parse_line(const std::string& line, Command* cmd, std::string* file) {
  LineWords w{line, split(line), {}, {}};
  for (const Verb& verb : verbs) {
    if (w.t[0] != verb.name) continue;
    if (!verb.parse(w, cmd)) return w.error;
    *file = std::move(w.file);
    return {};
  }
  return "unknown command " + shown(w.t[0]);
}

// ---------- reading ----------

// The whole script, parsed and checked, or the first error with its line number. Reads one
// line at a time into a buffer of bounded size, so an endless line costs no memory.
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

// ---------- running ----------

class Runner {
 public:
  Runner(ReplayHost& host, TraceSink& trace, std::ostream& out, const ReplayOptions& options)
      : host_(host), out_(out), options_(options), program_(host.platform(), trace) {
    program_.timer_noise.reseed(options.noise_seed);
    program_.before_release = [this](Program& p) { host_.keep_last_frame(p.draw.back_buffer); };
  }

  void start() {
    clock_ = options_.start_ticks;
    host_.set_tick_count(clock_);
    start_program(program_, replay_window);
  }

  // Runs the script; false when the run had to stop (error_ set). Blocks are run with a
  // stack of their own, and a block whose body does nothing is passed over whatever its
  // count, so only lines that do something take time.
  bool run(const Script& script) {
    struct Block {
      std::size_t begin;
      std::size_t end;
      std::uint32_t left;
    };
    std::vector<Block> blocks;
    const std::vector<Command>& commands = script.commands;
    std::size_t i = 0;
    for (;;) {
      const std::size_t end = blocks.empty() ? commands.size() : blocks.back().end;
      if (i == end) {
        if (blocks.empty()) return true;
        Block& block = blocks.back();
        if (--block.left != 0) {
          i = block.begin;
        } else {
          blocks.pop_back();
        }
        continue;
      }
      const Command& cmd = commands[i];
      if (options_.max_steps != 0 && ++steps_ > options_.max_steps) {
        error_ = "line " + std::to_string(cmd.line) + ": stopped at the step limit of " +
                 std::to_string(options_.max_steps) + " lines";
        return false;
      }
      if (cmd.op == Op::repeat) {
        if (cmd.count != 0 && cmd.works) blocks.push_back({i + 1, cmd.body_end, cmd.count});
        i = cmd.count != 0 && cmd.works ? i + 1 : cmd.body_end;
        continue;
      }
      if (!execute(cmd, script)) return false;
      ++i;
    }
  }

  const std::string& error() const { return error_; }

 private:
  bool execute(const Command& cmd, const Script& script) {
    switch (cmd.op) {
      case Op::message:
        deliver(cmd.message, cmd.wparam, cmd.lparam);
        return true;
      case Op::tick:
        clock_ = cmd.has_time ? cmd.time : clock_ + 50;
        host_.set_tick_count(clock_);
        if (cmd.has_values) program_.timer_noise.force_next(cmd.values);
        deliver(msg::timer, timer_id, 0);
        program_.timer_noise.cancel_forced();
        return true;
      case Op::dump:
        out_ << dump_line(program_.scene);
        return true;
      case Op::png:
        return write_png(cmd, script.files[cmd.file]);
      case Op::repeat:
      case Op::end:
        return true;
    }
    return true;
  }

  void deliver(std::uint32_t message, std::uint32_t wparam, std::uint32_t lparam) {
    // A 32-bit lParam widens with its sign, as the platform widens it.
    window_proc(program_, replay_window, message, wparam, widen_lparam(lparam));
    if (program_.shut_down && !quit_reported_) {
      quit_reported_ = true;
      out_ << "{\"quit\":0}\n";
    }
  }

  bool write_png(const Command& cmd, const std::string& file) {
    if (!options_.allow_files) return true;
    std::string why;
    if (!host_.write_image(file, program_.draw.back_buffer, &why)) {
      // The host's message names the file; names can hold anything, terminals cannot.
      error_ = "line " + std::to_string(cmd.line) + ": " + masked(why);
      return false;
    }
    return true;
  }

  ReplayHost& host_;
  std::ostream& out_;
  ReplayOptions options_;
  Program program_;
  std::uint32_t clock_ = 0;
  std::uint64_t steps_ = 0;
  bool quit_reported_ = false;
  std::string error_;
};

}  // namespace

bool parse_script_number(const std::string& text, std::uint32_t* value) {
  std::string_view s = text;
  bool negative = false;
  std::uint32_t v = 0;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    for (char c : s.substr(2)) {
      std::uint32_t d;
      if (c >= '0' && c <= '9') {
        d = static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        d = static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        d = static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
      v = v * 16u + d;  // modulo 2^32
    }
    *value = v;
    return true;
  }
  if (!s.empty() && s[0] == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10u + static_cast<std::uint32_t>(c - '0');  // modulo 2^32
  }
  *value = negative ? 0u - v : v;
  return true;
}

std::string masked(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

bool parse_repeat_count(const std::string& text, std::uint32_t* value) {
  std::string_view s = text;
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  std::uint32_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc{} || end != s.data() + s.size()) return false;
  *value = v;
  return true;
}

bool parse_replay_command_line(int argc, const char* const* argv, ReplayCommandLine* line,
                               std::string* error) {
  bool have_script = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--ticks" || arg == "--seed") {
      std::uint32_t value = 0;
      if (!has_value || !parse_script_number(argv[++i], &value)) {
        *error = arg + " needs a number";
        return false;
      }
      if (arg == "--ticks") {
        line->options.start_ticks = value;
      } else {
        line->options.noise_seed = value;
      }
    } else if (arg == "--max-steps") {
      // A bound for scripts from elsewhere: at most this many lines run.
      const std::string value = has_value ? argv[++i] : "";
      std::uint64_t steps = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), steps);
      if (value.empty() || ec != std::errc{} || end != value.data() + value.size() || steps == 0) {
        *error = "--max-steps needs a whole number from 1 to 18446744073709551615";
        return false;
      }
      line->options.max_steps = steps;
    } else if (arg == "--trace") {
      line->trace_mode = has_value ? argv[++i] : "";
      if (line->trace_mode != "stdout" && line->trace_mode != "viewer" &&
          line->trace_mode != "none") {
        *error = "--trace takes stdout, viewer or none, not '" + line->trace_mode + "'";
        return false;
      }
    } else if (arg == "--help" || arg == "-h") {
      line->help = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option '" + arg + "'";
      return false;
    } else if (have_script) {
      *error = "more than one script given";
      return false;
    } else {
      line->script_path = arg;
      have_script = true;
    }
  }
  return true;
}

std::istream* open_replay_script(const std::string& path, std::ifstream& file, std::string* why) {
  if (path == "-") return &std::cin;
  file.open(path);
  const int error = errno;
  std::error_code ignored;
  // A folder opens, and only its reading fails.
  if (file && !std::filesystem::is_directory(path, ignored)) return &file;
  if (why != nullptr) *why = std::strerror(file ? EISDIR : error);
  file.close();
  return nullptr;
}

ReplayResult run_replay(ReplayHost& host, TraceSink& trace, std::istream& script, std::ostream& out,
                        const ReplayOptions& options) {
  // The whole script is checked before its first line runs: a bad script produces nothing
  // but its error.
  Script parsed;
  if (std::string error = read_script(script, &parsed); !error.empty()) {
    return ReplayResult{error.starts_with("line ") ? 2 : 1, error};
  }
  Runner runner(host, trace, out, options);
  runner.start();
  const bool ran = runner.run(parsed);
  out.flush();
  if (!ran) return ReplayResult{1, runner.error()};
  return ReplayResult{};
}

}  // namespace fpu
