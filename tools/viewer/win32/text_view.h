// The trace viewer's text control on Windows: a window class named "Edit", local to the
// viewer, that takes the messages programs send to an edit control (WM_GETTEXTLENGTH,
// WM_GETTEXT, WM_SETTEXT, EM_SETSEL, EM_REPLACESEL, EM_SCROLLCARET, ...) and shows the
// text read-only. Unlike the system's edit control it costs next to nothing per inserted
// line (Wine's spends about 0.2 ms on each), keeps only the newest 16 MiB, follows new text
// only while the end is in view, and keeps the user's mouse selection apart from the
// insertion point programs set, so lines can be selected and copied while they stream in.
#pragma once

#include <windows.h>

namespace fpu::viewer {

// Registers the class for `instance`; windows of class "Edit" that the viewer creates are
// then text views.
bool register_text_view(HINSTANCE instance);

}  // namespace fpu::viewer
