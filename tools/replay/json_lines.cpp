#include "tools/replay/json_lines.h"

#include <array>
#include <charconv>
#include <ostream>
#include <type_traits>

namespace fpu {

namespace {

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

}  // namespace

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

}  // namespace fpu
