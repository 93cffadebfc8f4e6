// Highlight rules: "lines containing TEXT in COLOUR", a few of them, kept between runs in a
// small config file (one rule a line, "TEXT COLOUR"). A config that cannot be read or
// understood is moved aside as ".bad" and reported once, so the user's rules are never lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/viewer/viewer_find.h"
#include "tools/viewer/viewer_save.h"

namespace fpu::viewer {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct HighlightRule {
  std::string text;    // found with case ignored
  std::string colour;  // a name from the palette
  Rgb rgb;
  ViewerFind find;  // finds `text`
};

inline constexpr std::size_t kMaxHighlights = 4;
// A config larger than this is not read: four rules and their comments fit well within it.
inline constexpr std::size_t kMaxHighlightConfig = std::size_t{64} << 10;
// Bad configs set aside: ".bad", ".bad.1" ... ".bad.99"; past them a bad one stays put.
inline constexpr int kMaxSetAside = 100;

class Highlights {
 public:
  // "TEXT COLOUR" (the colour is the last word): adds the rule, replacing one for the same
  // text, the oldest going past kMaxHighlights; "TEXT off" removes it. Empty `error`: done.
  std::string apply(std::string_view line);
  // The first rule whose text the line holds.
  const HighlightRule* match(std::string_view line) const;
  const std::vector<HighlightRule>& rules() const { return rules_; }

  std::string to_config() const;
  // Replaces the rules with the config's; on a bad line nothing changes and the error names it.
  bool from_config(std::string_view config, std::string& error);

 private:
  std::vector<HighlightRule> rules_;
};

// Where the rules are kept: $XDG_CONFIG_HOME/fpu-trace-viewer/highlight.conf (when it is an
// absolute path), else under ~/.config; on Windows under %APPDATA%. Empty when none of these
// is set.
std::string highlight_config_path(const EnvLookup& env, bool windows);

// Reads the rules from `path`; a missing file is no rules. Only a regular file of at most
// kMaxHighlightConfig bytes is read, never waiting on it. A file that cannot be read or
// understood is renamed to path + ".bad" (".bad.1" ... when that is taken, never over one)
// and the returned message says so (else empty).
std::string load_highlights(const std::string& path, Highlights& highlights);
// Writes the rules: a temporary file beside `path`, then a rename over it. Empty: done.
std::string store_highlights(const std::string& path, const Highlights& highlights);

}  // namespace fpu::viewer
