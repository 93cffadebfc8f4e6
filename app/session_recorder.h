// A session written down as a replay script while the window runs: every message the window
// procedure handles, in order, with what each tick read, so that fpu-sample-replay draws
// the same frames and writes the same trace lines. A run of identical lines (an idle timer's
// ticks) becomes one repeat block. Only the line before is held, however long the session.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "input/input.h"
#include "platform/types.h"

namespace fpu {

// Where the script goes, a piece at a time.
class ScriptOutput {
 public:
  virtual ~ScriptOutput() = default;
  // False when the text could not be written; nothing more is written after that.
  virtual bool write(std::string_view text) = 0;
};

class SessionRecorder {
 public:
  explicit SessionRecorder(ScriptOutput& out) : out_(out) {}

  // At start-up, once the tick count has seeded the generator: the script's first lines,
  // which say how to replay it and start the replay with the same tick count. The paint
  // that showing the window causes comes next; the replay paints it by itself.
  void begin(std::uint32_t start_ticks);
  // One message the window procedure handled; `reading` is what a tick read, if it read.
  void record(std::uint32_t message, WParam wparam, LParam lparam, const TimerReading* reading);
  // Writes the line still held back; false when any write failed.
  bool finish();
  // What finish() would write now, without writing it (the page's script so far).
  std::string held_text() const;
  bool failed() const { return failed_; }

 private:
  void put(std::string line);
  void flush_run();
  void write(std::string_view text);

  ScriptOutput& out_;
  bool begun_ = false;
  bool skip_paint_ = false;
  bool failed_ = false;
  std::string held_;  // the last line, not yet written
  std::uint32_t held_count_ = 0;
};

// The script line for one handled message, without its newline; empty for the creation
// message, which the replay sends at start-up itself.
std::string script_line(std::uint32_t message, WParam wparam, LParam lparam,
                        const TimerReading* reading);

}  // namespace fpu
