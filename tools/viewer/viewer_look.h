// How the viewer's text looks: which monospaced font, and how large on a dense screen.
#pragma once

#include <string>

namespace fpu::viewer {

// The whole-number factor text and margins are drawn larger by: GDK_SCALE when it is a
// positive whole number, else Xft.dpi / 96 rounded down (so 2 from 192 dpi on), else 1.
// Either argument may be null (unset).
int text_scale(const char* gdk_scale, const char* xft_dpi);

// The file of the font fontconfig picks for "monospace", or "" when it finds none (then
// `error` says why).
std::string monospace_font_file(std::string& error);

// The converse of the trace text's single-byte characters: Latin-1 as UTF-8, for the
// clipboard, which holds UTF-8.
std::string latin1_to_utf8(const std::string& text);

}  // namespace fpu::viewer
