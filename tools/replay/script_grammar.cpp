#include "tools/replay/script_grammar.h"

#include <array>
#include <limits>
#include <utility>

#include "app/script_words.h"
#include "app/window.h"
#include "platform/key_names.h"
#include "platform/platform.h"

namespace fpu {

namespace replay {

void Script::put_varint(std::uint64_t v) {
  while (v >= 0x80) {
    code.push_back(static_cast<std::uint8_t>(v | 0x80));
    v >>= 7;
  }
  code.push_back(static_cast<std::uint8_t>(v));
}

void Script::put_fixed(std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) code.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Script::patch_fixed(std::size_t at, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i)
    code[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint64_t Script::fixed(std::size_t at, int bytes) const {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i)
    v |= std::uint64_t{code[at + static_cast<std::size_t>(i)]} << (8 * i);
  return v;
}

std::uint64_t Script::varint(std::size_t& at) const {
  std::uint64_t v = 0;
  for (int shift = 0;; shift += 7) {
    const std::uint8_t b = code[at++];
    v |= std::uint64_t{b & 0x7Fu} << shift;
    if (b < 0x80) return v;
  }
}

namespace {

// What a number lands in. Numbers in message lines are taken modulo 2^32, as scripts have
// always been read (negative decimals too); a repeat count is checked against its range.
struct Field {
  const char* what;
  std::int64_t min;
  std::uint64_t max;
  bool wraps;
};

constexpr std::uint64_t u32_max = std::numeric_limits<std::uint32_t>::max();
constexpr Field message_code{"message code", 0, u32_max, true};
constexpr Field wparam_field{"wParam", 0, u32_max, true};
constexpr Field lparam_field{"lParam", 0, u32_max, true};
constexpr Field key_code{"key code", 0, u32_max, true};
constexpr Field mouse_x{"x", 0, u32_max, true};  // its low 16 bits land in lParam
constexpr Field mouse_y{"y", 0, u32_max, true};
constexpr Field mouse_flags{"flags", 0, u32_max, true};
constexpr Field tick_time{"tick count", 0, u32_max, true};
constexpr Field timer_value{"timer value", 0, u32_max, true};  // its low 16 bits are used
constexpr Field repeat_count{"repeat count", 0, u32_max, false};

// Key names are ours, so their case is not: `key a` is `key A`, `key left` is `key LEFT`.
bool parse_key_name(std::string_view token, std::uint32_t* code) {
  std::array<char, 16> upper{};
  if (token.size() > upper.size()) return false;
  for (std::size_t i = 0; i < token.size(); ++i) {
    const char c = token[i];
    upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  const std::string_view name(upper.data(), token.size());
  if (name.size() == 1) {
    const char c = name[0];
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      *code = static_cast<std::uint32_t>(c);  // letters are their own codes, digits 48-57
      return true;
    }
    return false;
  }
  for (const std::string_view known : script_key_names) {
    if (name == known) {
      *code = virtual_key_named(known);
      return true;
    }
  }
  return false;
}

// A word of the script for a message: masked, and cut short when long.
std::string shown(std::string_view s) {
  if (s.size() > 40) return "'" + masked(std::string(s.substr(0, 40))) + "...'";
  return "'" + masked(std::string(s)) + "'";
}

// The words of one script line (the first few kept, all counted) and the first error.
struct LineWords {
  std::string_view line;
  std::array<std::string_view, 6> t{};
  std::size_t count = 0;
  std::string error;

  explicit LineWords(std::string_view text) : line(text) {
    std::size_t i = 0;
    while (i < text.size()) {
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      std::size_t j = i;
      while (j < text.size() && text[j] != ' ' && text[j] != '\t') ++j;
      if (j > i) {
        if (count < t.size()) t[count] = text.substr(i, j - i);
        ++count;
      }
      i = j;
    }
  }
  bool fail(std::string message) {
    error = std::move(message);
    return false;
  }
  bool arity(std::size_t n) {
    if (count == n + 1) return true;
    return fail("'" + std::string(t[0]) + "' takes " + std::to_string(n) + " argument" +
                (n == 1 ? "" : "s") + ", got " + std::to_string(count - 1));
  }
  bool number(std::size_t i, const Field& field, std::uint64_t* v) {
    if (field.wraps) {
      std::uint32_t wrapped = 0;
      if (!parse_wrapping_number(t[i], &wrapped)) return fail("bad number " + shown(t[i]));
      *v = wrapped;
      return true;
    }
    switch (parse_script_number(t[i], field.min, field.max, v)) {
      case NumberResult::ok:
        return true;
      case NumberResult::not_a_number:
        return fail("bad number " + shown(t[i]));
      case NumberResult::out_of_range:
        break;
    }
    return fail(std::string(field.what) + " " + shown(t[i]) + " is not in " +
                std::to_string(field.min) + " to " + std::to_string(field.max));
  }
};

bool parse_msg(LineWords& w, Script& s) {
  std::uint64_t code = 0, wparam = 0, lparam = 0;
  if (!w.arity(3) || !w.number(1, message_code, &code)) return false;
  // The window exists from start-up on, and a window is created once: a second creation
  // would build a second set of drawing objects over the first.
  if (code == msg::create) {
    return w.fail("'msg " + std::string(w.t[1]) +
                  "' is the creation message; the window was created at start-up and is not "
                  "created twice");
  }
  if (!w.number(2, wparam_field, &wparam) || !w.number(3, lparam_field, &lparam)) return false;
  s.put(Op::message);
  s.put_varint(code);
  s.put_varint(static_cast<std::uint32_t>(wparam));
  s.put_varint(static_cast<std::uint32_t>(lparam));
  return true;
}

bool parse_key_press(LineWords& w, Script& s) {
  if (!w.arity(1)) return false;
  std::uint32_t code = 0;
  std::uint64_t number = 0;
  if (!parse_key_name(w.t[1], &code)) {
    // A single character that is not a key is not a number either.
    if (w.t[1].size() < 2) return w.fail("unknown key " + shown(w.t[1]));
    std::uint32_t wrapped = 0;
    if (!parse_wrapping_number(w.t[1], &wrapped)) return w.fail("unknown key " + shown(w.t[1]));
    if (!w.number(1, key_code, &number)) return false;
    code = static_cast<std::uint32_t>(number);
  }
  s.put(Op::key);
  s.put_varint(code);
  return true;
}

bool parse_mouse(LineWords& w, Script& s) {
  if (!w.arity(4)) return false;
  std::size_t event = std::size(script_mouse_events);
  for (std::size_t i = 0; i < std::size(script_mouse_events); ++i) {
    if (w.t[1] == script_mouse_events[i].name) event = i;
  }
  if (event == std::size(script_mouse_events))
    return w.fail("unknown mouse event " + shown(w.t[1]));
  std::uint64_t x = 0, y = 0, flags = 0;
  if (!w.number(2, mouse_x, &x) || !w.number(3, mouse_y, &y) || !w.number(4, mouse_flags, &flags)) {
    return false;
  }
  s.put(Op::mouse);
  s.put_byte(static_cast<std::uint8_t>(event));
  s.put_varint(flags);
  s.put_varint(pack_mouse_lparam(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)));
  return true;
}

bool parse_tick(LineWords& w, Script& s) {
  if (w.count != 1 && w.count != 2 && w.count != 5) {
    return w.fail("'tick' takes no argument, T, or T B C S; got " + std::to_string(w.count - 1));
  }
  std::uint64_t v[4] = {};
  if (w.count >= 2 && !w.number(1, tick_time, &v[0])) return false;
  for (std::size_t i = 2; i < w.count; ++i) {
    if (!w.number(i, timer_value, &v[i - 1])) return false;
    v[i - 1] &= 0xFFFF;
  }
  s.put(w.count == 1 ? Op::tick : w.count == 2 ? Op::tick_at : Op::tick_fixed);
  for (std::size_t i = 1; i < w.count; ++i) s.put_varint(v[i - 1]);
  return true;
}

// paint, close, dump, end: no arguments.
template <Op op>
bool parse_bare(LineWords& w, Script& s) {
  if (!w.arity(0)) return false;
  s.put(op);
  return true;
}

bool parse_png(LineWords& w, Script& s) {
  if (w.count < 2) return w.fail("'png' needs a file name");
  // The file name is the rest of the line, so it may contain blanks.
  const std::string_view line = w.line;
  const std::size_t start = line.find_first_not_of(" \t", line.find("png") + 3);
  const std::size_t stop = line.find_last_not_of(" \t");
  const std::string_view file = line.substr(start, stop - start + 1);
  // A NUL would end the name early and write another file.
  if (holds_control_character(file)) {
    return w.fail("the file name " + shown(file) + " holds a control character");
  }
  s.put(Op::png);
  s.put_varint(file.size());
  for (char c : file) s.put_byte(static_cast<std::uint8_t>(c));
  return true;
}

bool parse_start(LineWords& w, Script& s) {
  std::uint64_t ticks = 0;
  if (!w.arity(1) || !w.number(1, tick_time, &ticks)) return false;
  s.put(Op::start);
  s.put_varint(ticks);
  return true;
}

bool parse_repeat(LineWords& w, Script& s) {
  std::uint64_t count = 0;
  if (!w.arity(1) || !w.number(1, repeat_count, &count)) return false;
  s.put(Op::repeat);
  s.put_fixed(count, 4);
  s.put_fixed(0, 8);  // the reader fills in where the block ends
  s.put_fixed(0, 8);
  return true;
}

struct Verb {
  std::string_view name;
  Op op;
  bool (*parse)(LineWords&, Script&);
};

constexpr Verb verbs[] = {
    {"msg", Op::message, parse_msg},
    {"key", Op::key, parse_key_press},
    {"mouse", Op::mouse, parse_mouse},
    {"tick", Op::tick, parse_tick},
    {"paint", Op::paint, parse_bare<Op::paint>},
    {"close", Op::close, parse_bare<Op::close>},
    {"dump", Op::dump, parse_bare<Op::dump>},
    {"end", Op::end, parse_bare<Op::end>},
    {"png", Op::png, parse_png},
    {"repeat", Op::repeat, parse_repeat},
    {"start", Op::start, parse_start},
};

}  // namespace

std::string parse_line(std::string_view line, Script& script, Op* op) {
  LineWords w(line);
  for (const Verb& verb : verbs) {
    if (w.t[0] != verb.name) continue;
    if (!verb.parse(w, script)) return w.error;
    *op = verb.op;
    return {};
  }
  return "unknown command " + shown(w.t[0]);
}

std::uint32_t mouse_message(std::uint8_t event) {
  return script_mouse_events[event].message;
}

}  // namespace replay

namespace {

// A script number's text: "0x" and hex digits, or an optional "-" and decimal digits.
struct NumberText {
  std::string_view digits;
  unsigned base = 10;
  bool negative = false;
};

NumberText number_text(std::string_view s) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return {s.substr(2), 16};
  if (!s.empty() && s[0] == '-') return {s.substr(1), 10, true};
  return {s};
}

// The digit's value, or -1 when it is not a digit of the base.
int digit_value(char c, unsigned base) {
  if (c >= '0' && c <= '9') return c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool parse_wrapping_number(std::string_view s, std::uint32_t* value) {
  const NumberText text = number_text(s);
  if (text.digits.empty()) return false;
  std::uint32_t v = 0;
  for (char c : text.digits) {
    const int d = digit_value(c, text.base);
    if (d < 0) return false;
    v = v * text.base + static_cast<std::uint32_t>(d);  // modulo 2^32
  }
  *value = text.negative ? 0u - v : v;
  return true;
}

NumberResult parse_script_number(std::string_view s, std::int64_t min, std::uint64_t max,
                                 std::uint64_t* value) {
  const NumberText text = number_text(s);
  if (text.digits.empty()) return NumberResult::not_a_number;
  const bool negative = text.negative;
  const unsigned base = text.base;
  std::uint64_t v = 0;
  bool overflow = false;
  for (char c : text.digits) {
    const int digit = digit_value(c, base);
    if (digit < 0) return NumberResult::not_a_number;
    const auto d = static_cast<unsigned>(digit);
    if (v > (std::numeric_limits<std::uint64_t>::max() - d) / base) overflow = true;
    v = v * base + d;
  }
  if (overflow) return NumberResult::out_of_range;
  if (negative) {
    // -v must be at least min (min <= 0 here, so its magnitude fits in 64 bits).
    const std::uint64_t limit = min < 0 ? 0 - static_cast<std::uint64_t>(min) : 0;
    if (v > limit) return NumberResult::out_of_range;
    *value = 0 - v;
    return NumberResult::ok;
  }
  if (v > max || (min > 0 && v < static_cast<std::uint64_t>(min)))
    return NumberResult::out_of_range;
  *value = v;
  return NumberResult::ok;
}

}  // namespace fpu
