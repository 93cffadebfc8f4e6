// Every trace line sent either reaches the viewer or is counted in a line it shows, whatever
// the viewer does meanwhile and however many idle clients it has.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/harness/viewer_harness.h"
#include "trace/trace.h"
#include "trace/unix/viewer_trace_sink.h"

namespace fpu {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kSent = 280000;

// Lines a headless viewer wrote, and the lines counted in its drop lines.
struct Tally {
  std::uint64_t shown = 0;
  std::uint64_t announced = 0;
};

// Reads the viewer's output until shown and announced lines make up `sent`. The poll limit
// only keeps a broken build from hanging: each wait ends with the viewer's next line.
Tally tally_until(int out, std::uint64_t sent) {
  Tally tally;
  std::string pending;
  char buffer[1 << 16];
  pollfd pfd{out, POLLIN, 0};
  while (tally.shown + tally.announced < sent && ::poll(&pfd, 1, 30000) == 1) {
    const ssize_t n = ::read(out, buffer, sizeof buffer);
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t begin = 0;
    for (std::size_t end; (end = pending.find('\n', begin)) != std::string::npos; begin = end + 1) {
      std::uint64_t count = 0;
      char rest = 0;
      const std::string line = pending.substr(begin, end - begin);
      if (std::sscanf(line.c_str(), "[%" SCNu64 " trace lines dropped%c", &count, &rest) == 2 &&
          line.ends_with(" dropped]")) {
        tally.announced += count;
      } else {
        ++tally.shown;
      }
    }
    pending.erase(0, begin);
  }
  return tally;
}

class ViewerCount : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::prepare_process(); }
  void TearDown() override {
    testing::stop_viewer(dir.path());
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
  }
  testing::PrivateDir dir;
  testing::PrivateDir programs;
};

TEST_F(ViewerCount, EveryLineIsShownOrCounted) {
  struct Case {
    const char* name;
    bool started_by_sink;  // the lines are held while it starts
    // The viewer is stopped at the first of these lines, continued at the second, ...
    std::vector<std::uint64_t> toggles;
  };
  const Case cases[] = {
      {"stopped throughout, continued after the sender ended", false, {0}},
      {"stopped and continued under way", false, {20000, 60000, 100000, 140000}},
      {"started by the sender, which ends at once", true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int out = -1;
    pid_t pid = -1;
    std::string program_dir;
    if (!c.started_by_sink) {
      pid = testing::start_headless_viewer(dir.path(), &out);
    } else {
      // That viewer writes to a FIFO the test holds open both ways, so it never blocks.
      const std::string fifo = programs.path() + "/out";
      ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
      out = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
      const std::string script = programs.path() + "/fpu-trace-viewer";
      std::ofstream(script) << "#!/bin/sh\nexec '" << testing::viewer_program()
                            << "' --headless \"$@\" >'" << fifo << "'\n";
      ::chmod(script.c_str(), 0700);
      program_dir = programs.path();
    }
    Tally tally;
    std::thread reader([&] { tally = tally_until(out, kSent); });
    std::string loss;
    {
      UnixViewerTraceSink sink(program_dir, dir.path());
      sink.set_loss_handler([&](const std::string& text) { loss = text; });
      std::size_t toggle = 0;
      for (std::uint64_t i = 0; i < kSent; ++i) {
        if (toggle < c.toggles.size() && c.toggles[toggle] == i) {
          ::kill(pid, toggle++ % 2 == 0 ? SIGSTOP : SIGCONT);
        }
        emit_trace(sink, TraceLabel::rol1, static_cast<std::int32_t>(i));
      }
    }
    if (pid > 0) ::kill(pid, SIGCONT);
    reader.join();
    EXPECT_EQ(tally.shown + tally.announced, kSent);
    EXPECT_EQ(loss, "") << "every loss reached the viewer";
    std::printf("[ figures  ] %s: %" PRIu64 " shown + %" PRIu64 " announced of %" PRIu64 "\n",
                c.name, tally.shown, tally.announced, kSent);
    EXPECT_TRUE(testing::stop_viewer(dir.path()));
    ::close(out);
  }
}

TEST_F(ViewerCount, LossNoViewerWasToldAboutIsSaidAtTheEnd) {
  std::string loss;
  {
    UnixViewerTraceSink sink("", dir.path());  // no viewer, none to start
    sink.set_loss_handler([&](const std::string& text) { loss = text; });
    for (int i = 0; i < 5; ++i) sink.send_trace_line("rol1 = 1");
  }
  EXPECT_EQ(loss, "5 of 5 trace lines could not be delivered to the viewer");
}

TEST_F(ViewerCount, IdleClientsMakeRoomForASender) {
  int out = -1;
  int err = -1;
  testing::start_headless_viewer(dir.path(), &out, &err);
  // The viewer's limit, then more, each answered once so the viewer has taken it.
  std::vector<int> idle;
  for (int i = 0; i < 512 + 40; ++i) {
    idle.push_back(testing::connect_viewer(dir.path()));
    char reply = 'P';
    ASSERT_EQ(::send(idle.back(), &reply, 1, MSG_NOSIGNAL), 1);
    ASSERT_EQ(::recv(idle.back(), &reply, 1, 0), 1) << "client " << i << " was not served";
  }
  {
    UnixViewerTraceSink sink("", dir.path());
    for (int i = 0; i < 1000; ++i) emit_trace(sink, TraceLabel::rol1, i);
    EXPECT_TRUE(sink.wait_until_read(10s));
  }
  EXPECT_EQ(tally_until(out, 1000).shown, 1000u);
  for (int fd : idle) ::close(fd);
  EXPECT_TRUE(testing::stop_viewer(dir.path()));
  std::string said;
  char buffer[4096];
  for (ssize_t n; (n = ::read(err, buffer, sizeof buffer)) > 0;) said.append(buffer, n);
  const auto lines = std::count(said.begin(), said.end(), '\n');
  EXPECT_TRUE(lines >= 1 && lines <= 3) << said;
  ::close(out);
  ::close(err);
}

}  // namespace
}  // namespace fpu
