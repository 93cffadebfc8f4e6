#include "tools/replay/script_grammar.h"

#include <charconv>
#include <string_view>
#include <utility>

#include "app/window.h"
#include "platform/platform.h"

namespace fpu {

namespace replay {

namespace {

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

}  // namespace

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

}  // namespace replay

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

}  // namespace fpu
