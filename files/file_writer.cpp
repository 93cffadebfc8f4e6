#include "files/file_writer.h"

#include <cerrno>
#include <cstring>

#include "files/file_system.h"
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

namespace {

// Writes are gathered up to this size: giflib hands over 255-byte blocks.
constexpr std::size_t buffer_limit = 64 * 1024;

}  // namespace

FileWriter::~FileWriter() {
  abandon();
}

bool FileWriter::fail(Step step, const std::string& why) {
  if (reason_.empty()) reason_ = std::string(step_name(step)) + ": " + why;
  abandon();
  return false;
}

bool FileWriter::fail_errno(Step step, int error) {
  return fail(step, std::strerror(error));
}

bool FileWriter::flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const long n = detail::write_some(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail_errno(Step::write, n < 0 ? errno : EIO);
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool FileWriter::write(const void* data, std::size_t size) {
  if (fd_ < 0 || finished_) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  buffer_.insert(buffer_.end(), bytes, bytes + size);
  return buffer_.size() < buffer_limit || flush();
}

bool FileWriter::finish() {
  if (finished_) return true;
  if (fd_ < 0) return false;
  if (!flush()) return false;
  // Devices and FIFOs have nothing to sync (and refuse it).
  if (!temp_.empty() && detail::sync(fd_) != 0) return fail_errno(Step::sync, errno);
  const int fd = fd_;
  fd_ = -1;
  if (detail::close(fd) != 0) return fail_errno(Step::close, errno);
  finished_ = true;
  return true;
}

bool FileWriter::start(const std::string& path, Target target) {
  abandon();
  path_ = path;
  final_ = path;
  target_ = target;
  finished_ = false;
  name_taken_ = false;
  reason_.clear();
  if (path.empty()) return fail(Step::name, "the name is empty");
  // A NUL would end the name early, so another file would be written.
  if (holds_control_byte(path)) return fail(Step::name, "the name holds a control character");
  return true;
}

bool FileWriter::commit_as(const std::string& path) {
  if (holds_control_byte(path)) return fail(Step::name, "the name holds a control character");
  path_ = path;
  final_ = path;
  name_ = path.substr(path.find_last_of("/\\") + 1);
  name_taken_ = false;
  return commit();
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
