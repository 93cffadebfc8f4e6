#include "tools/viewer/viewer_highlight.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#endif

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
  // A relative XDG_CONFIG_HOME is to be ignored: it would name a different folder from
  // each working directory.
  if (base != nullptr && *base != '\0' && (windows || *base == '/')) {
    dir = base;
  } else if (const char* home = env("HOME"); !windows && home != nullptr && *home != '\0') {
    dir = std::string(home) + "/.config";
  } else {
    return {};
  }
  return dir + "/fpu-trace-viewer/highlight.conf";
}

namespace {

enum class Read { missing, read, bad };

// Reads the config without ever waiting on it: a FIFO, a device or a file past the cap is
// refused unread (`why` says so).
Read read_config(const std::string& path, std::string& content, std::string& why) {
#ifdef _WIN32
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return Read::missing;
  if (!std::filesystem::is_regular_file(status)) {
    why = "not a regular file";
    return Read::bad;
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxHighlightConfig) {
    why = ec ? "cannot read it" : "larger than " + std::to_string(kMaxHighlightConfig) + " bytes";
    return Read::bad;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream read;
  if (!in || !(read << in.rdbuf())) {
    why = "cannot read it";
    return Read::bad;
  }
  content = read.str();
  return content.size() > kMaxHighlightConfig ? (why = "grew past the cap", Read::bad) : Read::read;
#else
  // Opened without waiting: a FIFO with no writer would hold the viewer here for good.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return Read::missing;
    why = std::string("cannot open it: ") + std::strerror(errno);
    return Read::bad;
  }
  struct stat info {};
  Read result = Read::read;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    why = "not a regular file";
    result = Read::bad;
  } else if (static_cast<std::uintmax_t>(info.st_size) > kMaxHighlightConfig) {
    why = "larger than " + std::to_string(kMaxHighlightConfig) + " bytes";
    result = Read::bad;
  } else {
    // One byte past the cap tells a file that grew since.
    content.resize(kMaxHighlightConfig + 1);
    std::size_t got = 0;
    while (got < content.size()) {
      const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n < 0) {
          why = std::string("cannot read it: ") + std::strerror(errno);
          result = Read::bad;
        }
        break;
      }
      got += static_cast<std::size_t>(n);
    }
    content.resize(got);
    if (result == Read::read && got > kMaxHighlightConfig) {
      why = "larger than " + std::to_string(kMaxHighlightConfig) + " bytes";
      result = Read::bad;
    }
  }
  ::close(fd);
  return result;
#endif
}

// Renames `from` to `to` unless `to` exists (then false, errno EEXIST).
bool move_aside(const std::string& from, const std::string& to, std::string& error) {
#ifdef _WIN32
  if (MoveFileExA(from.c_str(), to.c_str(), 0)) return true;
  error = "error " + std::to_string(GetLastError());
  return false;
#else
  // Renamed only when the name is free; where the file system cannot promise that, a second
  // name and then the first goes: link refuses to replace an existing name as well.
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    error = std::strerror(errno);
    return false;
  }
  if (::link(from.c_str(), to.c_str()) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (::unlink(from.c_str()) != 0) {
    error = std::strerror(errno);
    ::unlink(to.c_str());
    return false;
  }
  return true;
#endif
}

}  // namespace

std::string load_highlights(const std::string& path, Highlights& highlights) {
  if (path.empty()) return {};
  std::string content;
  std::string error = "cannot read it";
  switch (read_config(path, content, error)) {
    case Read::missing:
      return {};
    case Read::read:
      if (highlights.from_config(content, error)) return {};
      break;
    case Read::bad:
      break;
  }
  // Earlier set-aside files stay: the next free name takes this one, and when all are taken
  // the file stays where it is.
  std::string why;
  for (int n = 0; n < kMaxSetAside; ++n) {
    const std::string aside = path + ".bad" + (n == 0 ? "" : "." + std::to_string(n));
    std::error_code ec;
    if (std::filesystem::symlink_status(aside, ec).type() !=
        std::filesystem::file_type::not_found) {
      continue;
    }
    if (move_aside(path, aside, why)) {
      return "Highlight rules in " + path + " ignored (" + error + "); kept as " + aside;
    }
  }
  return "Highlight rules in " + path + " ignored (" + error + "); could not move it aside" +
         (why.empty() ? ": " + std::to_string(kMaxSetAside) + " set aside already" : ": " + why);
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
