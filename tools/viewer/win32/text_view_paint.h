// Drawing the viewer model in the Windows text view: the rows with the selection and the find
// bar's matches, the bands under them and the key list.
#pragma once

#include <windows.h>

#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {

// The text view's sizes in pixels, and where its parts go for a model's state.
struct TextLayout {
  static constexpr int margin = 2;
  int line_height = 16;
  int char_width = 8;
  int width = 0;
  int height = 0;

  int band_height() const { return line_height + 2; }
  // Where a line's text begins: after the time column when it is shown.
  int text_left(const ViewerModel& model) const {
    return margin + static_cast<int>(model.time_columns()) * char_width;
  }
  // Bands under the text: the key line, the status, the find or filter bar.
  int bands(const ViewerModel& model) const {
    return 1 + (model.status().empty() ? 0 : 1) + (model.bar_open() ? 1 : 0);
  }
  int text_height(const ViewerModel& model) const {
    return std::max(height - bands(model) * band_height(), 0);
  }
};

// Answers WM_PAINT for the text view `hwnd`.
void paint_text_view(HWND hwnd, HFONT font, const TextLayout& layout, const ViewerModel& model);

}  // namespace fpu::viewer
