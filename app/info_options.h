// --help and --version, answered the same way by every program before it does anything else.
#pragma once

#include <cstdio>
#include <cstring>

#include "fpu_version.h"

namespace fpu {

enum class InfoRequest { none, help, version };

// The first --help or --version among the arguments; the program reads the others itself.
inline InfoRequest find_info_request(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) return InfoRequest::help;
    if (std::strcmp(argv[i], "--version") == 0) return InfoRequest::version;
  }
  return InfoRequest::none;
}

// Prints the answer to standard output: the help text, or "PROGRAM VERSION".
inline void print_info(InfoRequest request, const char* program, const char* help) {
  if (request == InfoRequest::version) {
    std::printf("%s %s\n", program, version);
  } else {
    std::fputs(help, stdout);
  }
  std::fflush(stdout);
}

}  // namespace fpu
