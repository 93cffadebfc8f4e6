#include "text/masked.h"

#include <cstddef>
#include <cstdint>

namespace fpu {

namespace {

// Length of the well-formed UTF-8 sequence at the start of `s` and its code point; 0 when
// the first byte does not begin one (overlong forms and surrogates included).
std::size_t utf8_sequence(std::string_view s, std::uint32_t* code) {
  const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  std::uint32_t value = 0;
  std::uint32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0u) != 0x80u) return 0;
    value = (value << 6) | (byte(i) & 0x3Fu);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

}  // namespace

std::string masked(std::string_view text, Tabs tabs) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const unsigned char c = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    std::uint32_t code = c;
    if (c >= 0x80) length = utf8_sequence(text, &code);
    const bool control =
        (code < 0x20 && !(code == '\t' && tabs == Tabs::keep)) || (code >= 0x7F && code <= 0x9F);
    if (length == 0 || control) {
      out += '?';
      length = length == 0 ? 1 : length;
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

bool holds_control_character(std::string_view text) {
  return masked(text) != text;
}

}  // namespace fpu

namespace fpu {

bool holds_control_byte(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace fpu
