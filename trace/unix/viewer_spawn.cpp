#include "trace/unix/viewer_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace fpu::viewer {

pid_t spawn_viewer(const std::string& program_path, const std::string& endpoint_dir,
                   std::vector<std::string> arguments) {
  // Everything the child needs is prepared here: after fork only async-signal-safe calls.
  std::string program = program_path;
  std::string dir_flag = "--dir";
  std::string dir = endpoint_dir;
  std::vector<char*> argv = {program.data(), dir_flag.data(), dir.data()};
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  sigset_t no_signals;
  ::sigemptyset(&no_signals);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  int pid_pipe[2];
  if (::pipe2(pid_pipe, O_CLOEXEC) != 0) return -1;

  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pid_pipe[0]);
    ::close(pid_pipe[1]);
    return -1;
  }
  if (child == 0) {
    // Detach: a new session, and the viewer is a grandchild so nobody has to reap it. Its
    // process id goes back through the pipe so that the starter can watch it.
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) {
      if (grandchild > 0) (void)!::write(pid_pipe[1], &grandchild, sizeof grandchild);
      ::_exit(grandchild < 0 ? 1 : 0);
    }
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      ::dup2(null_fd, 0);
      ::dup2(null_fd, 1);
      ::dup2(null_fd, 2);
    }
    ::close_range(3, ~0U, 0);
    ::sigprocmask(SIG_SETMASK, &no_signals, nullptr);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
      ::sigaction(signal_number, &default_action, nullptr);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pid_pipe[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  pid_t viewer = -1;
  while (::read(pid_pipe[0], &viewer, sizeof viewer) < 0 && errno == EINTR) {
  }
  ::close(pid_pipe[0]);
  return viewer;
}

}  // namespace fpu::viewer
