#include "tools/viewer/viewer_highlight.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <vector>

#include "files/file_writer.h"
#include "tools/viewer/viewer_limits.h"

namespace fpu::viewer {

namespace {

struct Named {
  const char* name;
  Rgb rgb;
};
// Light enough to read black text on.
constexpr Named kPalette[] = {
    {"yellow", {255, 245, 140}}, {"green", {190, 240, 190}},  {"blue", {190, 215, 255}},
    {"red", {255, 190, 190}},    {"orange", {255, 215, 160}}, {"purple", {225, 200, 250}},
    {"cyan", {190, 240, 240}},   {"grey", {215, 215, 215}},
};

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string Highlights::apply(std::string_view line) {
  line = trim(line);
  const std::size_t space = line.find_last_of(" \t");
  if (space == std::string_view::npos) return "want TEXT COLOUR, e.g. \"xopc yellow\"";
  const std::string text(trim(line.substr(0, space)));
  if (text.size() > kMaxQuery) {
    return "TEXT longer than " + std::to_string(kMaxQuery) + " characters";
  }
  std::string colour(line.substr(space + 1));
  for (char& c : colour) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (colour == "gray") colour = "grey";
  std::erase_if(rules_, [&text](const HighlightRule& r) { return r.text == text; });
  if (colour == "off") return {};
  const auto named = std::find_if(std::begin(kPalette), std::end(kPalette),
                                  [&colour](const Named& n) { return colour == n.name; });
  if (named == std::end(kPalette)) {
    std::string known;
    for (const Named& n : kPalette) known += std::string(known.empty() ? "" : ", ") + n.name;
    return "unknown colour \"" + colour + "\" (" + known + ", or off)";
  }
  if (rules_.size() == kMaxHighlights) rules_.erase(rules_.begin());
  rules_.push_back({text, colour, named->rgb, {}});
  rules_.back().find.set_query(text, false);
  return {};
}

const HighlightRule* Highlights::match(std::string_view line) const {
  for (const HighlightRule& rule : rules_) {
    if (rule.find.find_in(line, 0)) return &rule;
  }
  return nullptr;
}

std::string Highlights::to_config() const {
  std::string out = "# fpu-trace-viewer highlight rules: TEXT COLOUR\n";
  for (const HighlightRule& rule : rules_) out += rule.text + " " + rule.colour + "\n";
  return out;
}

bool Highlights::from_config(std::string_view config, std::string& error) {
  Highlights read;
  std::size_t number = 0;
  for (std::size_t at = 0; at < config.size();) {
    const std::size_t end = std::min(config.find('\n', at), config.size());
    const std::string_view line = trim(config.substr(at, end - at));
    at = end + 1;
    ++number;
    if (line.empty() || line.front() == '#') continue;
    if (read.rules_.size() == kMaxHighlights) {
      error = "line " + std::to_string(number) + ": more than " + std::to_string(kMaxHighlights) +
              " rules";
      return false;
    }
    if (std::string why = read.apply(line); !why.empty() || line.ends_with(" off")) {
      error = "line " + std::to_string(number) + ": " + (why.empty() ? "not a rule" : why);
      return false;
    }
  }
  rules_ = std::move(read.rules_);
  return true;
}

std::string highlight_config_path(const EnvLookup& env, bool windows) {
  const char* base = env(windows ? "APPDATA" : "XDG_CONFIG_HOME");
  std::string dir;
  if (base != nullptr && *base != '\0') {
    dir = base;
  } else if (const char* home = env("HOME"); !windows && home != nullptr && *home != '\0') {
    dir = std::string(home) + "/.config";
  } else {
    return {};
  }
  return dir + "/fpu-trace-viewer/highlight.conf";
}

std::string load_highlights(const std::string& path, Highlights& highlights) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  std::string error = "cannot read it";
  if (in && (content << in.rdbuf()) && highlights.from_config(content.str(), error)) return {};
  // An earlier .bad file stays too: the next free name takes this one.
  std::string aside = path + ".bad";
  for (int n = 1; n < 100 && std::filesystem::exists(aside, ec); ++n) {
    aside = path + ".bad." + std::to_string(n);
  }
  std::filesystem::rename(path, aside, ec);
  return "Highlight rules in " + path + " ignored (" + error + ")" +
         (ec ? "; could not move it aside: " + ec.message() : "; kept as " + aside);
}

std::string store_highlights(const std::string& path, const Highlights& highlights) {
  if (path.empty()) return "no config folder to keep the highlight rules in";
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  const std::string config = highlights.to_config();
  std::string error;
  if (!files::write_file(path, std::vector<std::uint8_t>(config.begin(), config.end()), &error)) {
    return error;
  }
  return {};
}

}  // namespace fpu::viewer
