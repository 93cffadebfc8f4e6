// The viewer's window: the text in a monospaced font, a scroll bar, a line of key help.
#pragma once

#include <memory>
#include <string>

#include "app/window_frame.h"
#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {

class ViewerWindow {
 public:
  // Null when there is no display or the window cannot be made; `error` says why. The
  // window opens beside `program` (the frame of the program that started the viewer), or,
  // when that is null, beside where the program puts its window.
  static std::unique_ptr<ViewerWindow> open(ViewerModel& model, std::string& error,
                                            const ProgramFrame* program = nullptr);
  virtual ~ViewerWindow() = default;

  // Handles pending window events (the model's keys, the wheel, selecting, the scroll bar).
  // Returns false once the window was closed.
  virtual bool handle_events() = 0;
  virtual void text_changed() = 0;
  // Redraws when something changed, at most a few dozen times a second.
  virtual void present() = 0;
};

}  // namespace fpu::viewer
