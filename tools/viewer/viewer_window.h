// The viewer's window: the text in a monospaced font, a scroll bar, a line of key help.
#pragma once

#include <memory>
#include <string>

#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {

class ViewerWindow {
 public:
  // Null when there is no display or the window cannot be made; `error` says why.
  static std::unique_ptr<ViewerWindow> open(ViewerModel& model, std::string& error);
  virtual ~ViewerWindow() = default;

  // Handles pending window events (the model's keys, the wheel, selecting, the scroll bar).
  // Returns false once the window was closed.
  virtual bool handle_events() = 0;
  virtual void text_changed() = 0;
  // Redraws when something changed, at most a few dozen times a second.
  virtual void present() = 0;
};

}  // namespace fpu::viewer
