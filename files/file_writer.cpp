#include "files/file_writer.h"

#include "text/masked.h"

namespace fpu::files {

const char* step_name(Step step) {
  switch (step) {
    case Step::name:
      return "name";
    case Step::check:
      return "check";
    case Step::open:
      return "open";
    case Step::owner:
      return "owner";
    case Step::mode:
      return "mode";
    case Step::write:
      return "write";
    case Step::sync:
      return "sync";
    case Step::close:
      return "close";
    case Step::rename:
      return "rename";
  }
  return "?";
}

std::string FileWriter::message() const {
  return "cannot write '" + masked(path_) + "': " + reason_;
}

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes,
                std::string* error) {
  FileWriter file;
  if (file.open(path) && file.write(bytes) && file.commit()) return true;
  if (error != nullptr) *error = file.message();
  return false;
}

}  // namespace fpu::files
