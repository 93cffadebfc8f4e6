// Saving the viewer's text to a file the user finds again: the documents folder of the XDG
// user directories, else the home folder, under a name with the date and time.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace fpu::viewer {

// Looks up an environment variable; null when unset.
using EnvLookup = std::function<const char*(const char*)>;

// On Windows: the Documents folder. Elsewhere: $XDG_DOCUMENTS_DIR, else XDG_DOCUMENTS_DIR in
// $XDG_CONFIG_HOME/user-dirs.dirs (default
// ~/.config), else the home folder; a documents folder that does not exist is passed over.
std::string documents_dir(const EnvLookup& env);

// "fpu-trace-YYYYMMDD-HHMMSS.txt" in local time.
std::string save_file_name(std::time_t when);

struct SaveResult {
  bool ok = false;
  std::string path;   // the file written (also when the save failed: the file meant)
  std::string error;  // why it failed
};

// The one function that writes the file, on each platform. Writes `text` into a temporary
// file in `dir`, then renames it to the dated name, so a
// failed save never leaves a partial file under that name and never replaces another file
// (a second save within the same second gets "-2", "-3", ... before ".txt").
SaveResult save_text(const std::string& text, const std::string& dir, std::time_t when);

// The viewer's text (lines joined by "\r\n", as an edit control holds them) as Linux tools
// count lines: "\n" between lines and after the last, so `wc -l` agrees with "Saved N lines".
std::string with_lf_line_breaks(std::string_view text);
// The same with CR LF, as Windows keeps text: every line, the last too, ends with one.
std::string with_crlf_line_breaks(std::string_view text);
// `name` in folder `dir`, joined with the separator the folder's own path uses (a Windows
// folder given with backslashes gets one too).
std::string path_in(const std::string& dir, const std::string& name);

}  // namespace fpu::viewer
