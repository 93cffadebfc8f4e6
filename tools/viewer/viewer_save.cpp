// Saving the viewer's text under a dated name that nothing has yet, through the safe writer,
// on every platform.
#include "tools/viewer/viewer_save.h"

#include "files/file_writer.h"

namespace fpu::viewer {

SaveResult save_text(const std::string& text, const std::string& dir, std::time_t when) {
  SaveResult result;
  const std::string name = save_file_name(when);
  const std::string base = path_in(dir, "");
  result.path = base + name;

  // The final name is taken only if nothing has it yet.
  files::FileWriter file;
  bool saved = file.open(result.path, files::Target::new_name) &&
               file.write(text.data(), text.size()) && file.commit();
  for (int attempt = 2; !saved && file.name_taken() && attempt <= 100; ++attempt) {
    result.path = base + name.substr(0, name.size() - 4) + "-" + std::to_string(attempt) + ".txt";
    saved = file.commit_as(result.path);
  }
  if (!saved) {
    file.abandon();
    result.error =
        file.name_taken() ? "cannot save: 100 files of this second exist" : file.message();
    return result;
  }
  result.ok = true;
  return result;
}

std::string with_lf_line_breaks(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 1);
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t crlf = text.find("\r\n", at);
    const std::size_t end = crlf == std::string_view::npos ? text.size() : crlf;
    out.append(text.substr(at, end - at));
    out += '\n';
    at = crlf == std::string_view::npos ? text.size() : crlf + 2;
    if (crlf != std::string_view::npos && at == text.size()) out += '\n';  // an empty last line
  }
  return out;
}

std::string with_crlf_line_breaks(std::string_view text) {
  return text.empty() ? std::string() : std::string(text) + "\r\n";
}

std::string path_in(const std::string& dir, const std::string& name) {
  if (dir.ends_with("/") || dir.ends_with("\\")) return dir + name;
  const bool backslashes =
      dir.find('\\') != std::string::npos && dir.find('/') == std::string::npos;
  return dir + (backslashes ? "\\" : "/") + name;
}

}  // namespace fpu::viewer
