#include "trace/stream_trace_sinks.h"

#include <ostream>

namespace fpu {

std::string json_trace_line(const char* text) {
  std::string line = "{\"trace\":";
  append_json_string(line, text);
  line += "}\n";
  return line;
}

std::intptr_t JsonTraceSink::send_trace_line(const char* text) {
  out_ << json_trace_line(text);
  return 1;
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

}  // namespace fpu
