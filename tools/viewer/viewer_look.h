// How the viewer's text looks: which monospaced font, and how large on a dense screen.
#pragma once

#include <string>

namespace fpu::viewer {

// The file of the font fontconfig picks for "monospace", or "" when it finds none (then
// `error` says why).
std::string monospace_font_file(std::string& error);

// The converse of the trace text's single-byte characters: Latin-1 as UTF-8, for the
// clipboard, which holds UTF-8.
std::string latin1_to_utf8(const std::string& text);

}  // namespace fpu::viewer
