#include "tools/replay/replay_runner.h"

#include <array>
#include <charconv>
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

struct Command {
  Op op = Op::message;
  std::uint32_t message = 0;
  std::uint32_t wparam = 0;
  std::uint32_t lparam = 0;
  bool has_time = false;
  std::uint32_t time = 0;
  bool has_values = false;
  TimerValues values{};
  std::string file;
  std::uint32_t count = 0;    // repeat
  std::vector<Command> body;  // repeat
  std::size_t line = 0;
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

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      q += '?';
    } else {
      q += c;
    }
    if (q.size() > 40) {
      q += "...";
      break;
    }
  }
  return q + "'";
}

// The words of one script line and the first error found in them.
struct LineWords {
  const std::string& line;
  std::vector<std::string> t;
  std::string error;

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
    return parse_script_number(t[i], v) || fail("bad number " + quoted(t[i]));
  }
};

bool parse_msg(LineWords& w, Command* cmd) {
  cmd->op = Op::message;
  return w.arity(3) && w.number(1, &cmd->message) && w.number(2, &cmd->wparam) &&
         w.number(3, &cmd->lparam);
}

bool parse_key_press(LineWords& w, Command* cmd) {
  if (!w.arity(1)) return false;
  cmd->op = Op::message;
  cmd->message = msg::key_down;
  return parse_key(w.t[1], &cmd->wparam) || w.fail("unknown key " + quoted(w.t[1]));
}

bool parse_mouse(LineWords& w, Command* cmd) {
  if (!w.arity(4)) return false;
  cmd->op = Op::message;
  const MouseEvent* event = nullptr;
  for (const auto& e : mouse_events) {
    if (w.t[1] == e.name) event = &e;
  }
  if (!event) return w.fail("unknown mouse event " + quoted(w.t[1]));
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
        return w.fail("timer value " + quoted(t[2 + i]) + " is not a 16-bit value");
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
  cmd->file = line.substr(start, stop - start + 1);
  return true;
}

bool parse_repeat(LineWords& w, Command* cmd) {
  cmd->op = Op::repeat;
  return w.arity(1) && w.number(1, &cmd->count);
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
std::string parse_line(const std::string& line, Command* cmd) {
  LineWords w{line, split(line), {}};
  for (const Verb& verb : verbs) {
    if (w.t[0] == verb.name) return verb.parse(w, cmd) ? std::string{} : w.error;
  }
  return "unknown command " + quoted(w.t[0]);
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

  // Returns false when the run must stop (error_ set).
  bool execute(const Command& cmd) {
    if (options_.max_steps != 0 && ++steps_ > options_.max_steps) {
      error_ = "step limit of " + std::to_string(options_.max_steps) + " lines reached";
      return false;
    }
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
        return write_png(cmd);
      case Op::repeat:
        for (std::uint32_t i = 0; i < cmd.count; ++i) {
          for (const Command& inner : cmd.body) {
            if (!execute(inner)) return false;
          }
        }
        return true;
      case Op::end:
        return true;
    }
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  void deliver(std::uint32_t message, std::uint32_t wparam, std::uint32_t lparam) {
    // A 32-bit lParam widens with its sign, as the platform widens it.
    window_proc(program_, replay_window, message, wparam, widen_lparam(lparam));
    if (program_.shut_down && !quit_reported_) {
      quit_reported_ = true;
      out_ << "{\"quit\":0}\n";
    }
  }

  bool write_png(const Command& cmd) {
    if (!options_.allow_files) return true;
    std::string why;
    if (!host_.write_image(cmd.file, program_.draw.back_buffer, &why)) {
      error_ = "line " + std::to_string(cmd.line) + ": cannot write " + cmd.file + ": " + why;
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

std::intptr_t JsonTraceSink::send_trace_line(const char* text) {
  std::string line = "{\"trace\":";
  append_json_string(line, text);
  line += "}\n";
  out_ << line;
  return 1;
}

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

void append_json_string(std::string& out, const std::string& text) {
  static constexpr char hex[] = "0123456789abcdef";
  out += '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
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

std::istream* open_replay_script(const std::string& path, std::ifstream& file) {
  if (path == "-") return &std::cin;
  file.open(path);
  return file ? &file : nullptr;
}

ReplayResult run_replay(ReplayHost& host, TraceSink& trace, std::istream& script, std::ostream& out,
                        const ReplayOptions& options) {
  Runner runner(host, trace, out, options);
  runner.start();

  // Top-level lines run as soon as they are read; a repeat block runs at its `end`.
  std::vector<Command> open_blocks;
  std::string line;
  std::size_t line_no = 0;
  auto parse_error = [&](const std::string& what) {
    out.flush();
    return ReplayResult{2, "line " + std::to_string(line_no) + ": " + what};
  };
  while (std::getline(script, line)) {
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    Command cmd;
    cmd.line = line_no;
    if (std::string err = parse_line(line, &cmd); !err.empty()) return parse_error(err);
    if (cmd.op == Op::repeat) {
      open_blocks.push_back(std::move(cmd));
      continue;
    }
    if (cmd.op == Op::end) {
      if (open_blocks.empty()) return parse_error("'end' without 'repeat'");
      cmd = std::move(open_blocks.back());
      open_blocks.pop_back();
    }
    if (!open_blocks.empty()) {
      open_blocks.back().body.push_back(std::move(cmd));
      continue;
    }
    if (!runner.execute(cmd)) {
      out.flush();
      return ReplayResult{1, runner.error()};
    }
  }
  if (!open_blocks.empty()) {
    line_no = open_blocks.back().line;
    return parse_error("'repeat' without 'end'");
  }
  out.flush();
  return ReplayResult{};
}

}  // namespace fpu
