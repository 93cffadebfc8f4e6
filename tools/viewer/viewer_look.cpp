#include "tools/viewer/viewer_look.h"

#include <fontconfig/fontconfig.h>

namespace fpu::viewer {

std::string monospace_font_file(std::string& error) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) {
    error = "fontconfig could not load its configuration";
    return {};
  }
  std::string file;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("monospace"));
  // SDL_ttf opens TrueType and OpenType outlines; bitmap fonts would not scale.
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr) {
      file = reinterpret_cast<const char*>(path);
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  if (file.empty()) error = "fontconfig knows no monospaced font";
  return file;
}

std::string latin1_to_utf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

}  // namespace fpu::viewer
