// The trace viewer's text control on Windows: a window class named "Edit", local to the
// viewer, that takes the messages programs send to an edit control (WM_GETTEXTLENGTH,
// WM_GETTEXT, WM_SETTEXT, EM_SETSEL, EM_REPLACESEL, EM_SCROLLCARET, ...) and shows the
// viewer model (tools/viewer/viewer_model.h) read-only, with its keys. Unlike the system's
// edit control it costs next to nothing per inserted line (Wine's spends about 0.2 ms on
// each) and keeps the user's mouse selection apart from the insertion point programs set.
#pragma once

#include <windows.h>

#include "tools/viewer/viewer_layout.h"

namespace fpu::viewer {

// The layout's measures of text in `font` (the stock fixed font when null), the window's
// size aside.
LayoutMetrics text_metrics(HFONT font);

// Registers the class for `instance`; windows of class "Edit" that the viewer creates are
// then text views.
bool register_text_view(HINSTANCE instance);

}  // namespace fpu::viewer
