// Writing a file without ever leaving it half written or replacing what was not meant to be
// replaced. A regular file (or a new one) is written to a temporary file beside it, which
// takes the old file's mode and owner and is renamed over it when complete (on Linux the
// temporary file has no name until then, where the file system allows); a device, FIFO or
// a descriptor this process has open (/dev/stdout) is written in place. The path is walked
// one name at a time and every symbolic link on the way is followed only when it is this
// user's own or root's in a folder of root's: a link another user planted, anywhere in the
// path, is refused, whatever the kernel's own protection says. Every failure names its step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fpu::files {

enum class Step { name, check, open, owner, mode, write, sync, close, rename };

// "open", "write", "rename", ...: for messages.
const char* step_name(Step step);

enum class Target {
  replace,   // an existing file is replaced (or written in place when a device or FIFO)
  new_name,  // the file goes under a name nothing has yet; an existing one is never touched
};

// One file being written: open(), write() as the data comes, then commit() or abandon().
// Destroying an uncommitted writer abandons it.
class FileWriter {
 public:
  FileWriter() = default;
  ~FileWriter();
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  bool open(const std::string& path, Target target = Target::replace);
  bool write(const void* data, std::size_t size);
  bool write(const std::vector<std::uint8_t>& bytes) { return write(bytes.data(), bytes.size()); }
  // Makes the file appear under its name. With Target::new_name, a name already taken leaves
  // the writer ready for commit_as() with another name in the same folder (name_taken()).
  bool commit();
  bool commit_as(const std::string& path);
  // Removes the temporary file; a device or FIFO keeps what was written to it.
  void abandon();

  bool is_open() const { return fd_ >= 0 || !temp_.empty() || unnamed_; }
  bool name_taken() const { return name_taken_; }
  // The path given to open() (or commit_as()), and why it failed.
  const std::string& path() const { return path_; }
  // "STEP: REASON", e.g. "write: No space left on device".
  const std::string& reason() const { return reason_; }
  // "cannot write 'PATH': STEP: REASON", the path masked for a terminal.
  std::string message() const;

 private:
  // The part of open() every backend shares: a fresh state and a name that can be written.
  bool start(const std::string& path, Target target);
  bool fail(Step step, const std::string& why);
  bool fail_errno(Step step, int error);
  bool flush();
  bool finish();

  std::string path_;
  std::string final_;  // where the temporary file goes (the path with its links resolved)
  std::string temp_;   // empty when writing in place
  int fd_ = -1;
  int folder_fd_ = -1;    // POSIX: the folder the walk ended in, where the file goes
  std::string name_;      // POSIX: the file's name in that folder
  bool unnamed_ = false;  // POSIX: the temporary file has no name yet
  Target target_ = Target::replace;
  bool finished_ = false;
  bool name_taken_ = false;
  int cleanup_slot_ = -1;
  std::vector<std::uint8_t> buffer_;
  std::string reason_;
};

// Writes `bytes` to `path` in one go; false with `error` set to FileWriter::message().
bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes,
                std::string* error);

// On every signal whose default action ends the process (SIGINT, SIGTERM, SIGHUP, SIGPIPE,
// SIGXFSZ, SIGUSR1, SIGALRM, ...; faults aside): removes every named temporary file an open
// writer holds, then ends the process by the same signal. Signals belong to the whole process, so
// this is set up once, by a program's main().
void remove_temporary_files_on_signals();

}  // namespace fpu::files
