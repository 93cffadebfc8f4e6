// Where the Windows viewer saves: the Documents folder, else the user's profile.
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "tools/viewer/viewer_save.h"

namespace fpu::viewer {

std::string documents_dir(const EnvLookup& env) {
  char path[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, path)) && path[0] != '\0') {
    return path;
  }
  const char* profile = env("USERPROFILE");
  return profile != nullptr && profile[0] != '\0' ? profile : ".";
}

}  // namespace fpu::viewer
