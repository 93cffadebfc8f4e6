// Saving the viewer's text on Windows: the Documents folder, a temporary file beside the
// target, then a move that replaces nothing. The text keeps its CR LF line breaks.
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "tools/viewer/viewer_save.h"

namespace fpu::viewer {

namespace {

std::string describe(const char* step, const std::string& path, DWORD error) {
  char message[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                 message, sizeof message, nullptr);
  std::string text = message;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return std::string(step) + " " + path + ": " + text;
}

}  // namespace

std::string documents_dir(const EnvLookup& env) {
  char path[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, path)) && path[0] != '\0') {
    return path;
  }
  const char* profile = env("USERPROFILE");
  return profile != nullptr && profile[0] != '\0' ? profile : ".";
}

SaveResult save_text(const std::string& text, const std::string& dir, std::time_t when) {
  SaveResult result;
  const std::string name = save_file_name(when);
  const std::string base = dir + (dir.ends_with("\\") || dir.ends_with("/") ? "" : "\\");
  result.path = base + name;

  char temp[MAX_PATH] = {};
  if (GetTempFileNameA(dir.c_str(), "fpu", 0, temp) == 0) {
    result.error = describe("cannot create a file in", dir, GetLastError());
    return result;
  }
  HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  const char* step = "cannot write";
  for (std::size_t done = 0; error == 0 && done < text.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) {
      error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
    }
    done += written;
  }
  if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
  if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && error == 0) error = GetLastError();

  // A move without MOVEFILE_REPLACE_EXISTING takes the name only while it is free.
  for (int attempt = 1; error == 0; ++attempt) {
    if (attempt > 1) {
      result.path = base + name.substr(0, name.size() - 4) + "-" + std::to_string(attempt) + ".txt";
    }
    if (MoveFileExA(temp, result.path.c_str(), MOVEFILE_WRITE_THROUGH)) {
      result.ok = true;
      return result;
    }
    error = GetLastError();
    if ((error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) && attempt < 100) {
      error = 0;
      continue;
    }
    step = "cannot rename the saved text to";
  }
  DeleteFileA(temp);
  result.error = describe(step, result.path, error);
  return result;
}

}  // namespace fpu::viewer
