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

#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/harness/viewer_harness.h"
#include "trace/trace.h"
#include "trace/unix/viewer_trace_sink.h"

namespace fpu {
namespace {

using namespace std::chrono_literals;
using testing::PrivateDir;

constexpr std::uint64_t kSent = 280000;

// What a headless viewer wrote: lines shown, and lines counted in its drop lines.
struct Tally {
  std::uint64_t shown = 0;
  std::uint64_t announced = 0;
};

std::optional<std::uint64_t> dropped_count(const std::string& line) {
  const std::string head = "[";
  const std::string tail = " trace lines dropped]";
  if (!line.starts_with(head) || !line.ends_with(tail)) return std::nullopt;
  const std::string digits = line.substr(1, line.size() - 1 - tail.size());
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return std::stoull(digits);
}

// Reads the viewer's output until shown and announced lines make up `sent`. The poll limit
// only keeps a broken build from hanging: each wait ends with the viewer's next line.
Tally tally_until(int out, std::uint64_t sent) {
  Tally tally;
  std::string pending;
  char buffer[1 << 16];
  while (tally.shown + tally.announced < sent) {
    pollfd pfd{out, POLLIN, 0};
    if (::poll(&pfd, 1, 30000) != 1) break;
    const ssize_t n = ::read(out, buffer, sizeof buffer);
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t begin = 0;
    for (std::size_t end; (end = pending.find('\n', begin)) != std::string::npos; begin = end + 1) {
      const auto count = dropped_count(pending.substr(begin, end - begin));
      if (count) {
        tally.announced += *count;
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

  PrivateDir dir;
  PrivateDir programs;
};

// A viewer the test starts, or one the sink starts (the lines are held meanwhile).
enum class Start { by_test, by_sink };

TEST_F(ViewerCount, EveryLineIsShownOrCounted) {
  struct Case {
    const char* name;
    Start start;
    // Stop (odd) or continue (even) the viewer after each of these many lines.
    std::vector<std::uint64_t> toggles;
  };
  const Case cases[] = {
      {"stopped throughout, continued after the sender ended", Start::by_test, {0}},
      {"stopped and continued under way, live at the end",
       Start::by_test,
       {20000, 60000, 100000, 140000}},
      {"held for the viewer the sender starts, sender ends at once", Start::by_sink, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int out = -1;
    pid_t pid = -1;
    std::string program_dir;
    if (c.start == Start::by_test) {
      pid = testing::start_headless_viewer(dir.path(), &out);
    } else {
      // The viewer the sink starts writes its lines to a FIFO the test reads; opened for
      // reading and writing, it never blocks the viewer's open nor shows an end.
      const std::string fifo = programs.path() + "/out";
      ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
      out = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
      const std::string script = programs.path() + "/fpu-trace-viewer";
      std::ofstream(script) << "#!/bin/sh\nexec '" << testing::viewer_program()
                            << "' --headless \"$@\" >'" << fifo << "'\n";
      ::chmod(script.c_str(), 0700);
      program_dir = programs.path();
    }
    ASSERT_GE(out, 0);
    Tally tally;
    std::thread reader([&] { tally = tally_until(out, kSent); });
    std::string loss;
    {
      UnixViewerTraceSink sink(program_dir, dir.path());
      sink.set_loss_handler([&](const std::string& text) { loss = text; });
      std::size_t toggle = 0;
      for (std::uint64_t i = 0; i < kSent; ++i) {
        if (toggle < c.toggles.size() && c.toggles[toggle] == i) {
          ::kill(pid, toggle % 2 == 0 ? SIGSTOP : SIGCONT);
          ++toggle;
        }
        emit_trace(sink, TraceLabel::rol1, static_cast<std::int32_t>(i));
      }
    }
    if (pid > 0) ::kill(pid, SIGCONT);
    reader.join();

    EXPECT_EQ(tally.shown + tally.announced, kSent)
        << tally.shown << " shown + " << tally.announced << " announced";
    EXPECT_EQ(loss, "") << "every loss reached the viewer";
    std::printf("[ figures  ] %s: %llu shown + %llu announced = %llu of %llu sent\n", c.name,
                static_cast<unsigned long long>(tally.shown),
                static_cast<unsigned long long>(tally.announced),
                static_cast<unsigned long long>(tally.shown + tally.announced),
                static_cast<unsigned long long>(kSent));
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

// Idle connections filling the viewer do not lock out a program with lines to show.
TEST_F(ViewerCount, IdleClientsMakeRoomForASender) {
  int out = -1;
  int err = -1;
  testing::start_headless_viewer(dir.path(), &out, &err);
  std::vector<int> idle;
  // The viewer's limit, then more: each is answered once, so the viewer has taken it.
  for (int i = 0; i < 512 + 40; ++i) {
    const int fd = testing::connect_viewer(dir.path());
    ASSERT_GE(fd, 0) << i;
    const char ping = 'P';
    char reply = 0;
    ASSERT_EQ(::send(fd, &ping, 1, MSG_NOSIGNAL), 1);
    ASSERT_EQ(::recv(fd, &reply, 1, 0), 1) << "client " << i << " was not served";
    idle.push_back(fd);
  }
  std::string loss;
  {
    UnixViewerTraceSink sink("", dir.path());
    sink.set_loss_handler([&](const std::string& text) { loss = text; });
    for (int i = 0; i < 1000; ++i) emit_trace(sink, TraceLabel::rol1, i);
    EXPECT_TRUE(sink.wait_until_read(10s));
    EXPECT_EQ(sink.delivered_lines(), 1000u);
  }
  EXPECT_EQ(loss, "");
  const Tally tally = tally_until(out, 1000);
  EXPECT_EQ(tally.shown, 1000u);
  for (int fd : idle) ::close(fd);
  EXPECT_TRUE(testing::stop_viewer(dir.path()));

  std::string said;
  char buffer[4096];
  for (ssize_t n; (n = ::read(err, buffer, sizeof buffer)) > 0;) said.append(buffer, n);
  const auto lines = std::count(said.begin(), said.end(), '\n');
  EXPECT_GE(lines, 1) << "closing idle clients is said";
  EXPECT_LE(lines, 3) << said;
  ::close(out);
  ::close(err);
}

}  // namespace
}  // namespace fpu
