// A window program has no console of its own: to answer on a terminal (help, an error, trace
// lines for a pipe) it writes to the one it was started from.
#pragma once

#include <windows.h>

#include <cstdio>

namespace fpu {

// True when standard output goes somewhere (a pipe, a file, or the console of the process
// that started this one, attached here); false when there is none, as from Explorer.
inline bool use_parent_console() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) return true;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  std::freopen("CONOUT$", "w", stdout);
  std::freopen("CONOUT$", "w", stderr);
  return true;
}

}  // namespace fpu
