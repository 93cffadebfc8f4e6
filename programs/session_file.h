// --save-script on every desktop: the session's script goes through the file writer, to a
// temporary file beside FILE while the demo runs, renamed over FILE once it ends. Nothing
// of the session is kept in memory but the writer's buffer and the recorder's last line.
#pragma once

#include <string>
#include <string_view>

#include "app/program.h"
#include "app/session_recorder.h"
#include "files/file_writer.h"

namespace fpu {

class SessionFile final : public ScriptOutput {
 public:
  SessionFile() = default;
  SessionFile(const SessionFile&) = delete;
  SessionFile& operator=(const SessionFile&) = delete;

  // Opens FILE (an empty path saves nothing); false with `error` set when it cannot be
  // written, so that the demo says so before its window opens.
  bool open(const std::string& path, std::string* error) {
    if (path.empty()) return true;
    if (!file_.open(path)) {
      *error = "fpu-sample: " + file_.message();
      return false;
    }
    saving_ = true;
    return true;
  }
  // From here on the program's messages are written down (start-up included).
  void attach(Program& program) {
    if (saving_) program.recorder = &recorder_;
  }
  // After the message loop: the script complete under its name, or false with `error` set.
  bool finish(std::string* error) {
    if (!saving_) return true;
    saving_ = false;
    if (recorder_.finish() && file_.commit()) return true;
    *error = "fpu-sample: " + file_.message();
    return false;
  }

  bool write(std::string_view text) override { return file_.write(text.data(), text.size()); }

 private:
  files::FileWriter file_;
  SessionRecorder recorder_{*this};
  bool saving_ = false;
};

}  // namespace fpu
