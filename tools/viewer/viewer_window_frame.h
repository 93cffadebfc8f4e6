// Where the viewer's window goes and how large it is: beside the program's frame, within
// the work area, large enough for the key line and the key list in the viewer's font.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include "app/window_frame.h"

namespace fpu::viewer {

// The space around the text and the bands, and the scroll bar's width, in pixels at scale 1.
inline constexpr int kMargin = 4;
inline constexpr int kScrollBarWidth = 14;

struct ViewerSize {
  SDL_Point want;  // the size at scale 1, times the scale, or more for the text
  SDL_Point need;  // for the text
};

ViewerSize viewer_size(TTF_Font* font, int scale);

// The scale the program shows its picture at on this desktop (the desktop's, lowered until
// the picture fits the usable area, as the program does): the viewer's text follows it.
int program_scale();

// Where the program puts its window on the first display at the scale it uses, framed as
// wide as `extents`: for a viewer that was not told where the program is. False when the
// display's size is unknown.
bool default_program_frame(const FrameExtents& extents, ProgramFrame* out);

// The viewer's frame for a client area of `size`, beside `program`, framed as the program
// is. Empty when the work area is unknown.
ScreenRect viewer_frame(const ProgramFrame& program, const ViewerSize& size);

// The client area inside `frame` when its border is `extents` wide: at least 1 x 1.
SDL_Rect client_rect(const ScreenRect& frame, const FrameExtents& extents);

// Once shown, the window manager has framed the window: when its frame is not where it
// should be (beside `program`, else beside where the program puts itself; the frame may
// differ from the program's, or the window manager placed it by its own rules), it goes
// there now. Waits at most half a second for the frame to be known.
void settle_beside(SDL_Window* window, const ProgramFrame* program, const ViewerSize& size);

}  // namespace fpu::viewer
