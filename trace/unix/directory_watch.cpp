#include "trace/unix/directory_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

namespace fpu::viewer {

DirectoryWatch::~DirectoryWatch() {
  if (fd_ >= 0) ::close(fd_);
}

bool DirectoryWatch::changed() {
  if (!watching_) return true;
  alignas(inotify_event) char events[4096];
  bool changed = false;
  for (;;) {
    const ssize_t n = ::read(fd_, events, sizeof events);
    if (n <= 0) break;
    changed = true;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      if ((event->mask & (IN_IGNORED | IN_Q_OVERFLOW)) != 0) watching_ = false;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return changed;
}

void DirectoryWatch::watch(const std::string& dir) {
  if (fd_ < 0) fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return;  // without notifications every line looks at the files
  changed();
  watching_ =
      ::inotify_add_watch(fd_, dir.c_str(),
                          IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                              IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW | IN_ONLYDIR) >= 0;
}

}  // namespace fpu::viewer
