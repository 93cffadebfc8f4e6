// Trace delivery when things go wrong: viewers that never come up, folders that are missing
// or not ours, descriptors that run out.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/harness/viewer_harness.h"
#include "trace/unix/viewer_trace_sink.h"

namespace fpu {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PrivateDir;

std::size_t entries(const char* folder) {
  std::size_t count = 0;
  if (DIR* d = ::opendir(folder)) {
    while (::readdir(d) != nullptr) ++count;
    ::closedir(d);
  }
  return count;
}
std::size_t open_descriptors() {
  return entries("/proc/self/fd");
}
std::size_t threads() {
  return entries("/proc/self/task");
}

// Notices a sink gives, collected.
struct Notices {
  std::vector<std::string> said;
  void attach(UnixViewerTraceSink& sink) {
    sink.set_notice_handler([this](const std::string& text) { said.push_back(text); });
  }
};

class HostileDelivery : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::prepare_process(); }
  void TearDown() override {
    testing::stop_viewer(dir.path());
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
  }
  // A stand-in for the viewer program, named as the sink looks for it.
  std::string fake_viewer(const std::string& body) {
    const std::string path = programs.path() + "/fpu-trace-viewer";
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0700);
    return programs.path();
  }

  PrivateDir dir;
  PrivateDir programs;
};

TEST_F(HostileDelivery, SinksGiveBackTheirDescriptorsAndThreads) {
  testing::start_headless_viewer(dir.path());
  const std::size_t fds = open_descriptors();
  for (int i = 0; i < 40; ++i) {
    UnixViewerTraceSink sink("", dir.path());
    ASSERT_NE(sink.send_trace_line("line"), 0);
  }
  EXPECT_EQ(open_descriptors(), fds);
  testing::stop_viewer(dir.path());

  // A sink that started a viewer and went away at once.
  const std::size_t task_count = threads();
  {
    UnixViewerTraceSink sink(testing::viewer_program_dir(), dir.path());
    sink.send_trace_line("started");
  }
  EXPECT_EQ(open_descriptors(), fds);
  EXPECT_EQ(threads(), task_count);
  // The line held while the viewer started was handed over before the sink went.
  EXPECT_EQ(testing::wait_for_text(dir.path(), "started"), "started");
}

// Viewer programs that never open an endpoint: the caller never waits for them, and is told
// once why delivery is off. The second one stays blocked until the test lets it go, so
// lines sent before that could not have waited for it (they would hang the test).
TEST_F(HostileDelivery, ViewerThatDoesNotComeUpCostsTheCallerNothing) {
  const std::string gate = programs.path() + "/gate";
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
  struct Case {
    std::string script;
    const char* notice;
  };
  const Case cases[] = {
      {"exit 1", "exited at once"},
      {"read line < '" + gate + "'", "did not open"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    UnixViewerTraceSink sink(fake_viewer(c.script), dir.path());
    Notices notices;
    notices.attach(sink);
    for (int i = 0; i < 1400; ++i) sink.send_trace_line("xopc = 5, ---- Z");
    EXPECT_EQ(sink.viewer_starts(), 1u);
    EXPECT_FALSE(sink.wait_until_read(3s));
    for (int i = 0; i < 100; ++i) sink.send_trace_line("later");
    EXPECT_EQ(sink.dropped_lines(), 1500u);
    ASSERT_EQ(notices.said.size(), 1u);
    EXPECT_NE(notices.said[0].find(c.notice), std::string::npos) << notices.said[0];
  }
  // Lets the blocked viewer go, if it still waits.
  const int release = ::open(gate.c_str(), O_WRONLY | O_NONBLOCK);
  if (release >= 0) ::close(release);
}

TEST_F(HostileDelivery, UnusableFolderIsSaidOnceAndCostsNoStart) {
  struct Case {
    const char* name;
    std::function<std::string(const std::string&)> prepare;  // the endpoint folder
    const char* notice;
  };
  const Case cases[] = {
      {"missing parent", [](const std::string& d) { return d + "/missing/fpu-trace"; },
       "/missing is missing"},
      {"open to others",
       [](const std::string& d) {
         ::chmod(d.c_str(), 0755);
         return d;
       },
       "open to other users"},
      {"another user's",
       [](const std::string& d) {
         // Root stands in for the other user: the folder is handed to nobody.
         return ::chown(d.c_str(), 65534, 65534) == 0 ? d : std::string();
       },
       "belongs to user 65534"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PrivateDir base;
    const std::string folder = c.prepare(base.path());
    // The last case: the others have run.
    if (folder.empty()) GTEST_SKIP() << "not root: cannot give a folder to another user";
    UnixViewerTraceSink sink(testing::viewer_program_dir(), folder);
    Notices notices;
    notices.attach(sink);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(sink.send_trace_line("rol1 = 1"), 0);
    EXPECT_EQ(sink.viewer_starts(), 0u);
    ASSERT_EQ(notices.said.size(), 1u);
    EXPECT_NE(notices.said[0].find(c.notice), std::string::npos) << notices.said[0];
  }
}

TEST_F(HostileDelivery, ViewerSaysAMissingFolderIsMissing) {
  int err[2];
  ASSERT_EQ(::pipe(err), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(err[1], 2);
    const std::string folder = dir.path() + "/missing/fpu-trace";
    ::execl(testing::viewer_program().c_str(), "fpu-trace-viewer", "--headless", "--dir",
            folder.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(err[1]);
  std::string text(4096, '\0');
  text.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(err[0], text.data(), 4096))));
  ::close(err[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_NE(text.find(dir.path() + "/missing is missing"), std::string::npos) << text;
}

TEST_F(HostileDelivery, ViewerOutOfDescriptorsWaitsQuietly) {
  int err[2];
  ASSERT_EQ(::pipe2(err, O_CLOEXEC), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit few{32, 32};
    ::setrlimit(RLIMIT_NOFILE, &few);
    ::dup2(err[1], 2);
    const int null_fd = ::open("/dev/null", O_WRONLY);
    ::dup2(null_fd, 1);
    ::execl(testing::viewer_program().c_str(), "fpu-trace-viewer", "--headless", "--dir",
            dir.path().c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(err[1]);
  for (auto until = Clock::now() + 10s; testing::viewer_pid(dir.path()) != pid;) {
    ASSERT_LT(Clock::now(), until) << "the viewer did not come up";
    std::this_thread::sleep_for(5ms);
  }
  std::vector<int> clients;
  for (int i = 0; i < 40; ++i) clients.push_back(testing::connect_viewer(dir.path()));
  // It says so once it runs out (how much CPU it then uses is bench/ material).
  std::string text;
  char buffer[4096];
  for (ssize_t n; text.find("cannot accept") == std::string::npos &&
                  (n = ::read(err[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, n);
  }
  ASSERT_NE(text.find("cannot accept"), std::string::npos) << text;

  // Clients leave; the ones that waited are served.
  for (std::size_t i = 0; i < 20; ++i) ::close(clients[i]);
  {
    UnixViewerTraceSink sink("", dir.path());
    EXPECT_NE(sink.send_trace_line("served"), 0);
    EXPECT_TRUE(sink.wait_until_read(5s));
  }
  for (std::size_t i = 20; i < clients.size(); ++i) ::close(clients[i]);
  EXPECT_TRUE(testing::stop_viewer(dir.path()));

  for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  ::close(err[0]);
  std::size_t said = 0;
  for (std::size_t at = 0; (at = text.find("cannot accept", at)) != std::string::npos; ++at) {
    ++said;
  }
  EXPECT_EQ(said, 1u) << text;
}

}  // namespace
}  // namespace fpu
