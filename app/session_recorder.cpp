#include "app/session_recorder.h"

#include <limits>

#include "app/script_words.h"
#include "app/window.h"
#include "platform/key_names.h"

namespace fpu {

namespace {

// `key K` with the shortest word the replay reads back as the same code.
std::string key_word(std::uint32_t code) {
  if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) {
    return std::string(1, static_cast<char>(code));
  }
  for (const std::string_view name : script_key_names) {
    if (virtual_key_named(name) == code) return std::string(name);
  }
  // Two characters at least, so that it is read as a code and never as a key name.
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (std::uint32_t v = code; v != 0 || hex.size() < 2; v >>= 4)
    hex.insert(hex.begin(), digits[v & 15]);
  return "0x" + hex;
}

}  // namespace

std::string script_line(std::uint32_t message, WParam wparam, LParam lparam,
                        const TimerReading* reading) {
  // The program reads 32-bit message parameters.
  const auto wp = static_cast<std::uint32_t>(wparam);
  const auto lp = static_cast<std::uint32_t>(lparam);
  switch (message) {
    case msg::create:
      return {};
    case msg::paint:
      return "paint";
    case msg::close:
      return "close";
    case msg::key_down:
      return "key " + key_word(wp);
    case msg::timer:
      if (wp != timer_id) break;
      if (reading == nullptr) return "tick";
      return "tick " + std::to_string(reading->ticks) + " " + std::to_string(reading->values.b) +
             " " + std::to_string(reading->values.c) + " " + std::to_string(reading->values.s);
    default:
      for (const ScriptMouseEvent& event : script_mouse_events) {
        if (event.message != message) continue;
        // Client coordinates, 16 bits each with their sign.
        return "mouse " + std::string(event.name) + " " +
               std::to_string(static_cast<std::int16_t>(lparam_x(lp))) + " " +
               std::to_string(static_cast<std::int16_t>(lparam_y(lp))) + " " + std::to_string(wp);
      }
      break;
  }
  return "msg " + std::to_string(message) + " " + std::to_string(wp) + " " + std::to_string(lp);
}

void SessionRecorder::begin(std::uint32_t start_ticks) {
  const std::string ticks = std::to_string(start_ticks);
  write(
      "# fpu-sample session (--save-script): replay it with fpu-sample-replay FILE; it starts "
      "as --ticks " +
      ticks + " would\nstart " + ticks + "\n");
  begun_ = true;
  skip_paint_ = true;
}

void SessionRecorder::record(std::uint32_t message, WParam wparam, LParam lparam,
                             const TimerReading* reading) {
  if (!begun_) return;
  if (message == msg::paint && skip_paint_) {
    skip_paint_ = false;
    return;
  }
  std::string line = script_line(message, wparam, lparam, reading);
  if (!line.empty()) put(std::move(line));
}

bool SessionRecorder::finish() {
  flush_run();
  return !failed_;
}

void SessionRecorder::put(std::string line) {
  if (held_count_ != 0 && line == held_ &&
      held_count_ < std::numeric_limits<std::uint32_t>::max()) {
    ++held_count_;
    return;
  }
  flush_run();
  held_ = std::move(line);
  held_count_ = 1;
}

std::string SessionRecorder::held_text() const {
  if (held_count_ == 0) return {};
  const std::string block = "repeat " + std::to_string(held_count_) + "\n" + held_ + "\nend\n";
  const std::size_t plain = (held_.size() + 1) * held_count_;
  if (block.size() < plain) return block;
  std::string lines;
  for (std::uint32_t i = 0; i < held_count_; ++i) lines += held_ + "\n";
  return lines;
}

void SessionRecorder::flush_run() {
  if (held_count_ == 0) return;
  write(held_text());
  held_count_ = 0;
}

void SessionRecorder::write(std::string_view text) {
  if (!failed_ && !out_.write(text)) failed_ = true;
}

}  // namespace fpu
