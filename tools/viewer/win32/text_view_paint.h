// Drawing the viewer model in the Windows text view: the rows with the selection and the find
// bar's matches, the bands under them and the key list.
#pragma once

#include <windows.h>

#include "tools/viewer/viewer_layout.h"
#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {

// The text view's sizes in pixels; where its parts go for a model's state is the shared
// layout's (viewer_layout.h).
struct TextLayout {
  int margin = 2;  // grown with the desktop's scale
  int line_height = 16;
  int char_width = 8;
  int width = 0;
  int height = 0;

  ViewerLayout of(const ViewerModel& model) const {
    return lay_out(model, {width, height, line_height, char_width, margin, 0});
  }
  int text_left(const ViewerModel& model) const { return of(model).text_left; }
  int text_height(const ViewerModel& model) const { return of(model).text.height; }
};

// Answers WM_PAINT for the text view `hwnd`.
void paint_text_view(HWND hwnd, HFONT font, const TextLayout& layout, const ViewerModel& model);

}  // namespace fpu::viewer
