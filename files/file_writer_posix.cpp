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
#include <string>
#include <vector>

#include "files/file_system.h"
#include "files/file_writer.h"
#include "text/masked.h"

namespace fpu::files {

namespace {

// Folders are held by a descriptor that only names them: no read permission is needed, as
// none is to walk a path.
#if defined(O_PATH) && !defined(__EMSCRIPTEN__)
constexpr int folder_flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int folder_flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// Links met on one walk before it gives up, as the kernel does.
constexpr int max_links = 40;

// Why the link `name` (lstat in `link`) in the folder `folder` must not be followed, or "".
// Whoever owns a link chooses where it leads, so a link is followed only when that is this
// user, or root in a folder of root's: another user's link could aim this user's rights
// at any file (the kernel's protected links allow a link of the folder's owner, which is
// the same user when a hostile user owns the folder).
std::string planted_link(int folder, const std::string& name, const struct stat& link) {
  struct stat holder {};
  if (::fstat(folder, &holder) != 0) return std::strerror(errno);
  if (link.st_uid == ::geteuid() || (link.st_uid == 0 && holder.st_uid == 0)) return {};
  return "'" + masked(name) + "' is a symbolic link of another user (uid " +
         std::to_string(link.st_uid) + "): not followed";
}

// Whether `folder` is this process's own descriptor folder (/proc/self/fd), whose entries
// lead to open descriptors rather than to names.
bool own_descriptor_folder(int folder) {
#ifdef __linux__
  struct stat held {};
  struct stat own {};
  return ::fstat(folder, &held) == 0 && ::stat("/proc/self/fd", &own) == 0 &&
         held.st_dev == own.st_dev && held.st_ino == own.st_ino;
#else
  (void)folder;
  return false;
#endif
}

// The descriptor number `name` names, or -1.
int descriptor_number(const std::string& name) {
  if (name.empty() || name.size() > 9) return -1;
  int n = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

// The names of `path`, "." dropped; "" when the path is absolute goes first.
void push_names(const std::string& path, std::vector<std::string>& names) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= path.size()) {
    const std::size_t slash = std::min(path.find('/', at), path.size());
    std::string part = path.substr(at, slash - at);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    at = slash + 1;
  }
  // `names` is a stack: the next name to walk is at the back.
  names.insert(names.end(), parts.rbegin(), parts.rend());
}

// Files to remove when a signal ends the process. Signals belong to the whole process, so
// this table does too; a handler may only read it, so it holds fixed buffers.
struct CleanupSlot {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 to remove
  int folder = -1;
  char name[256];
};
CleanupSlot cleanup_slots[8];

int arm_cleanup(int folder, const std::string& name) {
  if (name.size() >= sizeof cleanup_slots[0].name) return -1;
  for (int i = 0; i < static_cast<int>(std::size(cleanup_slots)); ++i) {
    int expected = 0;
    if (!cleanup_slots[i].state.compare_exchange_strong(expected, 1)) continue;
    cleanup_slots[i].folder = folder;
    std::memcpy(cleanup_slots[i].name, name.c_str(), name.size() + 1);
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
    if (slot.state.load() == 2) ::unlinkat(slot.folder, slot.name, 0);
  }
  // SA_RESETHAND restored the default action: the process ends as the signal wants.
  ::raise(signal);
}

// A name for a temporary file beside `name`, cut so that it stays within the file
// system's limit.
std::string temporary_name(const std::string& name) {
  static std::atomic<unsigned> serial{0};
  const unsigned mix = static_cast<unsigned>(::getpid()) * 2654435761u ^
                       static_cast<unsigned>(std::time(nullptr)) ^ (serial++ * 40503u);
  return "." + name.substr(0, 200) + ".tmp-" + std::to_string(mix % 1000000u);
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
  folder_fd_ = ::open(path.starts_with('/') ? "/" : ".", folder_flags);
  if (folder_fd_ < 0) return fail_errno(Step::check, errno);

  // The path is walked one name at a time from a held folder, so that what was checked is
  // what gets written: a name swapped for a link meanwhile is not followed.
  std::vector<std::string> names;
  push_names(path, names);
  if (names.empty()) return fail_errno(Step::check, EISDIR);
  struct stat st {};
  bool exists = false;
  bool through_link = false;
  for (int links = 0;;) {
    std::string name = std::move(names.back());
    names.pop_back();
    const bool last = names.empty();
    if (!last || name == "..") {
      if (last) return fail_errno(Step::check, EISDIR);
      const int next = ::openat(folder_fd_, name.c_str(), folder_flags | O_NOFOLLOW);
      if (next >= 0) {
        ::close(folder_fd_);
        folder_fd_ = next;
        continue;
      }
      if (errno != ELOOP && errno != ENOTDIR) return fail_errno(Step::check, errno);
    }
    exists = ::fstatat(folder_fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) return fail_errno(Step::check, errno);
    if (!last && !(exists && S_ISLNK(st.st_mode))) return fail_errno(Step::check, ENOTDIR);
    if (!exists && through_link)
      return fail(Step::check, "it is a symbolic link to a missing file");
    name_ = name;
    // A name that is taken is never touched with new_name, link or not.
    if (!exists || target == Target::new_name || !S_ISLNK(st.st_mode)) break;

    // A link: checked, then its text walked from the folder that holds it.
    if (++links > max_links) return fail_errno(Step::check, ELOOP);
    if (std::string why = planted_link(folder_fd_, name, st); !why.empty()) {
      return fail(Step::check, why);
    }
    if (last && own_descriptor_folder(folder_fd_)) {
      // /dev/stdout, /dev/fd/N, /proc/self/fd/N: the descriptor itself, so what the caller
      // already wrote there and writes after stays (its offset and append mode are shared).
      const int fd = descriptor_number(name);
      const int flags = fd < 0 ? -1 : ::fcntl(fd, F_GETFL);
      if (flags < 0) return fail_errno(Step::check, EBADF);
      if ((flags & O_ACCMODE) == O_RDONLY) {
        return fail(Step::check, "descriptor " + name + " is not open for writing");
      }
      fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
      if (fd_ < 0) return fail_errno(Step::open, errno);
      return true;
    }
    std::string text(4096, '\0');
    const ssize_t n = ::readlinkat(folder_fd_, name.c_str(), text.data(), text.size());
    if (n < 0 || static_cast<std::size_t>(n) == text.size()) {
      return fail_errno(Step::check, n < 0 ? errno : ENAMETOOLONG);
    }
    text.resize(static_cast<std::size_t>(n));
    if (text.starts_with('/')) {
      const int root = ::open("/", folder_flags);
      if (root < 0) return fail_errno(Step::check, errno);
      ::close(folder_fd_);
      folder_fd_ = root;
    }
    push_names(text, names);
    if (names.empty()) return fail_errno(Step::check, EISDIR);
    through_link = through_link || last;
  }
  final_ = name_;
  if (exists && S_ISDIR(st.st_mode) && target == Target::replace) {
    return fail_errno(Step::check, EISDIR);
  }

  if (exists && target == Target::replace && !S_ISREG(st.st_mode)) {
    // A device or FIFO is written as it is. Opened without blocking, so a FIFO nobody reads
    // is an error rather than a wait for ever; then written blocking.
    fd_ = ::openat(folder_fd_, name_.c_str(),
                   O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
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

  // A new file gets the usual mode (the umask applies); a replaced one keeps its own.
#if defined(O_TMPFILE) && !defined(__EMSCRIPTEN__)
  // Without a name until it is complete, so no signal, not even SIGKILL, can leave it behind.
  // Naming it later goes through /proc.
  if (::access("/proc/self/fd", X_OK) == 0) {
    fd_ = ::openat(folder_fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    unnamed_ = fd_ >= 0;
  }
#endif
  for (int attempt = 0; fd_ < 0; ++attempt) {
    temp_ = temporary_name(name_);
    fd_ = ::openat(folder_fd_, temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                   0666);
    if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
      const int error = errno;
      temp_.clear();
      return fail(Step::open, "cannot make a temporary file in the folder of '" + masked(path) +
                                  "': " + std::strerror(error));
    }
  }
  if (!temp_.empty()) cleanup_slot_ = arm_cleanup(folder_fd_, temp_);
  if (exists && target == Target::replace) {
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
  if (!reason_.empty() || !is_open()) return false;
  if (unnamed_) {
    // The file gets its name while it is still open: /proc is the way to it.
    if (!flush()) return false;
    if (::fsync(fd_) != 0) return fail_errno(Step::sync, errno);
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0;; ++attempt) {
      const std::string name = target_ == Target::replace ? temporary_name(name_) : name_;
      if (::linkat(AT_FDCWD, self.c_str(), folder_fd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        if (target_ == Target::new_name) {
          unnamed_ = false;
          return finish();
        }
        temp_ = name;
        cleanup_slot_ = arm_cleanup(folder_fd_, temp_);
        unnamed_ = false;
        break;
      }
      if (errno == EEXIST && target_ == Target::new_name) {
        name_taken_ = true;
        return false;
      }
      if (errno != EEXIST || attempt == 100) return fail_errno(Step::rename, errno);
    }
  }
  if (!finish()) return false;
  if (temp_.empty()) return true;
  if (target_ == Target::replace) {
    if (::renameat(folder_fd_, temp_.c_str(), folder_fd_, name_.c_str()) != 0) {
      return fail_errno(Step::rename, errno);
    }
  } else {
    // The name is taken only if free. A hard link refuses an existing name as well, on file
    // systems without the no-replace rename.
    int renamed = -1;
    errno = EINVAL;
#ifdef RENAME_NOREPLACE
    renamed = ::renameat2(folder_fd_, temp_.c_str(), folder_fd_, name_.c_str(), RENAME_NOREPLACE);
#endif
    if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) {
      renamed = ::linkat(folder_fd_, temp_.c_str(), folder_fd_, name_.c_str(), 0);
      if (renamed == 0) ::unlinkat(folder_fd_, temp_.c_str(), 0);
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
  unnamed_ = false;
  if (!temp_.empty()) ::unlinkat(folder_fd_, temp_.c_str(), 0);  // ours: made by open()
  disarm_cleanup(cleanup_slot_);
  cleanup_slot_ = -1;
  temp_.clear();
  buffer_.clear();
  if (folder_fd_ >= 0) ::close(folder_fd_);
  folder_fd_ = -1;
}

void remove_temporary_files_on_signals() {
#ifndef __EMSCRIPTEN__
  struct sigaction action {};
  action.sa_handler = remove_temporary_files;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  // Every signal whose default action ends the process, but the faults of the program itself
  // (and SIGABRT): those are left to whoever reports them.
  std::vector<int> signals = {SIGINT,  SIGTERM, SIGHUP,    SIGPIPE, SIGQUIT, SIGALRM,
                              SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ};
#ifdef SIGIO
  signals.push_back(SIGIO);
#endif
#ifdef SIGRTMIN
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) signals.push_back(signal);
#endif
  for (int signal : signals) {
    struct sigaction old {};
    // A signal the caller's caller ignores stays ignored.
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
#endif
}

}  // namespace fpu::files
