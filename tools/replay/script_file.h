// Opening the script a replay tool reads.
#pragma once

#include <fstream>
#include <iosfwd>
#include <string>

namespace fpu {

// The script stream for `path` ("-": standard input), opened into `file` when it is a
// file; nullptr when the file cannot be opened (or is a folder), with the system's reason
// in `why`.
std::istream* open_replay_script(const std::string& path, std::ifstream& file,
                                 std::string* why = nullptr);

}  // namespace fpu
