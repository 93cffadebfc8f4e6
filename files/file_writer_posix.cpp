#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "files/file_system.h"
#include "files/file_writer.h"
#include "text/masked.h"

namespace fpu::files {

namespace {

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  return path.substr(path.find_last_of('/') + 1);
}

// Why the link `path` (lstat in `link`) must not be followed, or "": the kernel's rule for
// sticky world-writable folders, applied whether or not fs.protected_symlinks is on.
std::string planted_link(const std::string& path, const struct stat& link) {
  struct stat folder {};
  if (::stat(folder_of(path).c_str(), &folder) != 0) return std::strerror(errno);
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  if (!shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid) return {};
  return "'" + masked(path) + "' is a symbolic link of another user (uid " +
         std::to_string(link.st_uid) + ") in a sticky world-writable folder: not followed";
}

// Files to remove when a signal ends the process. Signals belong to the whole process, so
// this table does too; a handler may only read it, so it holds fixed buffers.
struct CleanupSlot {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 to remove
  char path[4096];
};
CleanupSlot cleanup_slots[8];

int arm_cleanup(const std::string& path) {
  if (path.size() >= sizeof cleanup_slots[0].path) return -1;
  for (int i = 0; i < static_cast<int>(std::size(cleanup_slots)); ++i) {
    int expected = 0;
    if (!cleanup_slots[i].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(cleanup_slots[i].path, path.c_str(), path.size() + 1);
    cleanup_slots[i].state.store(2);
    return i;
  }
  return -1;
}

void disarm_cleanup(int slot) {
  if (slot >= 0) cleanup_slots[slot].state.store(0);
}

extern "C" void remove_temporary_files(int signal) {
  for (CleanupSlot& slot : cleanup_slots) {
    if (slot.state.load() == 2) ::unlink(slot.path);
  }
  // SA_RESETHAND restored the default action: the process ends as the signal wants.
  ::raise(signal);
}

}  // namespace

namespace detail {

long write_some(int fd, const void* data, std::size_t size) {
  return static_cast<long>(::write(fd, data, size));
}
int sync(int fd) {
  return ::fsync(fd);
}
int close(int fd) {
  return ::close(fd);
}

}  // namespace detail

bool FileWriter::open(const std::string& path, Target target) {
  if (!start(path, target)) return false;

  struct stat st {};
  bool exists = false;
  std::string end = path;  // what a device or FIFO is opened by
  int no_follow = O_NOFOLLOW;
  if (target == Target::replace) {
    // Every link on the way is checked as it is met. A regular file is replaced where the
    // links lead, so a link stays a link and the rename stays within one file system. What
    // the walk found is what gets written: an entry swapped for a link since is not followed.
    struct stat link {};
    std::string hop = path;
    bool linked = false;
    bool found = false;
    for (int hops = 0; (found = ::lstat(hop.c_str(), &link) == 0) && S_ISLNK(link.st_mode);
         ++hops) {
      if (hops == 40) return fail_errno(Step::check, ELOOP);
      if (std::string why = planted_link(hop, link); !why.empty()) return fail(Step::check, why);
      std::string next(4096, '\0');
      const ssize_t n = ::readlink(hop.c_str(), next.data(), next.size());
      if (n < 0 || static_cast<std::size_t>(n) == next.size()) {
        return fail_errno(Step::check, n < 0 ? errno : ENAMETOOLONG);
      }
      next.resize(static_cast<std::size_t>(n));
      hop = next.starts_with('/') ? next : folder_of(hop) + "/" + next;
      linked = true;
    }
    if (!found && errno != ENOENT) return fail_errno(Step::check, errno);
    exists = found;
    st = link;
    if (linked) {
      // The kernel resolves what the walk cannot (such as /proc/self/fd/1 to a pipe).
      exists = ::stat(path.c_str(), &st) == 0;
      if (!exists && errno != ENOENT) return fail_errno(Step::check, errno);
      if (!exists) return fail(Step::check, "it is a symbolic link to a missing file");
      if (found && (link.st_dev != st.st_dev || link.st_ino != st.st_ino)) {
        return fail(Step::check, "the file changed while it was looked at");
      }
      if (S_ISREG(st.st_mode) && !found) {
        return fail(Step::check, "the link leads to no name a file can be put under");
      }
      final_ = hop;
      end = found ? hop : path;
      no_follow = found ? O_NOFOLLOW : 0;
    }
    if (exists && S_ISDIR(st.st_mode)) return fail_errno(Step::check, EISDIR);
  }

  if (exists && !S_ISREG(st.st_mode)) {
    // A device or FIFO is written as it is. Opened without blocking, so a FIFO nobody reads
    // is an error rather than a wait for ever; then written blocking.
    fd_ = ::open(end.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | no_follow);
    if (fd_ < 0 && errno == ENXIO && S_ISFIFO(st.st_mode)) {
      return fail(Step::open, "no process reads from the FIFO");
    }
    if (fd_ < 0) return fail_errno(Step::open, errno);
    struct stat opened {};
    if (::fstat(fd_, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
      return fail(Step::open, "the file changed while it was opened");
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
      return fail_errno(Step::open, errno);
    }
    return true;
  }

  // A temporary file beside the target, named after it; the name is cut so that the
  // temporary one stays within the file system's limit.
  const std::string prefix = folder_of(final_) + "/." + base_of(final_).substr(0, 200) + ".tmp-";
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; fd_ < 0; ++attempt) {
    const unsigned mix = static_cast<unsigned>(::getpid()) * 2654435761u ^
                         static_cast<unsigned>(std::time(nullptr)) ^ (serial++ * 40503u);
    temp_ = prefix + std::to_string(mix % 1000000u);
    // A new file gets the usual mode (the umask applies); a replaced one keeps its own.
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
      const int error = errno;
      temp_.clear();
      return fail(Step::open, "cannot make a temporary file in '" + masked(folder_of(final_)) +
                                  "': " + std::strerror(error));
    }
  }
  cleanup_slot_ = arm_cleanup(temp_);
  if (exists) {
#ifndef __EMSCRIPTEN__  // Node's file system keeps the owner of its own process
    // The owner first: a change of owner clears the set-id bits. Only root can give the file
    // to another user; others keep at least the group when they belong to it.
    if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
        ::fchown(fd_, st.st_uid, st.st_gid) != 0) {
      if (::geteuid() == 0) return fail_errno(Step::owner, errno);
      [[maybe_unused]] const int ignored = ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
    }
#endif
    if (::fchmod(fd_, st.st_mode & 07777) != 0) return fail_errno(Step::mode, errno);
  }
  return true;
}

bool FileWriter::commit() {
  if (!reason_.empty() || !is_open() || !finish()) return false;
  if (temp_.empty()) return true;
  if (target_ == Target::replace) {
    if (::rename(temp_.c_str(), final_.c_str()) != 0) return fail_errno(Step::rename, errno);
  } else {
    // The name is taken only if free. A hard link refuses an existing name as well, on file
    // systems without the no-replace rename.
    int renamed = -1;
    errno = EINVAL;
#ifdef RENAME_NOREPLACE
    renamed = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, final_.c_str(), RENAME_NOREPLACE);
#endif
    if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) {
      renamed = ::link(temp_.c_str(), final_.c_str());
      if (renamed == 0) ::unlink(temp_.c_str());
    }
    if (renamed != 0 && errno == EEXIST) {
      name_taken_ = true;
      return false;
    }
    if (renamed != 0) return fail_errno(Step::rename, errno);
  }
  disarm_cleanup(cleanup_slot_);
  cleanup_slot_ = -1;
  temp_.clear();
  return true;
}

void FileWriter::abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());  // ours: made by open()
  disarm_cleanup(cleanup_slot_);
  cleanup_slot_ = -1;
  temp_.clear();
  buffer_.clear();
}

void remove_temporary_files_on_signals() {
#ifndef __EMSCRIPTEN__
  struct sigaction action {};
  action.sa_handler = remove_temporary_files;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    struct sigaction old {};
    // A signal the caller's caller ignores stays ignored.
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
#endif
}

}  // namespace fpu::files
