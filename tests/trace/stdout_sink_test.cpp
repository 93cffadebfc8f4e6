#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "trace/unix/stdout_trace_sink.h"

namespace fpu {
namespace {

// Everything waiting in the pipe's read end.
std::string drain(int fd) {
  std::string out;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
    out.append(buffer, static_cast<std::size_t>(n));
  return out;
}

// A reader that stops, comes back, then goes away: no call waits for it, the gap is marked
// where it reads again, and the end of tracing is said once.
TEST(StdoutTraceSink, AStalledOrVanishedReaderCostsLinesNotTheCaller) {
  std::signal(SIGPIPE, SIG_IGN);
  int pipe_fds[2];
  ASSERT_EQ(::pipe2(pipe_fds, O_CLOEXEC), 0);
  ASSERT_EQ(::fcntl(pipe_fds[0], F_SETFL, O_NONBLOCK), 0);
  std::vector<std::string> said;
  {
    StdoutTraceSink sink(pipe_fds[1], [&](const std::string& text) { said.push_back(text); });
    // The write end itself stays blocking: the sink uses a description of its own.
    EXPECT_EQ(::fcntl(pipe_fds[1], F_GETFL) & O_NONBLOCK, 0);
    std::size_t sent = 0;
    for (; sent < 100000 && sink.send_trace_line("xopc = 8, ---- Z") == 1; ++sent) {
    }
    ASSERT_LT(sent, 100000u) << "a full pipe took every line";
    for (int i = 0; i < 4; ++i) EXPECT_EQ(sink.send_trace_line("lost"), 0);
    std::string text = drain(pipe_fds[0]);
    EXPECT_EQ(text.size(), sent * std::string("{\"trace\":\"xopc = 8, ---- Z\"}\n").size());
    EXPECT_EQ(sink.send_trace_line("back"), 1);
    EXPECT_EQ(drain(pipe_fds[0]),
              "{\"trace\":\"[5 trace lines dropped]\"}\n{\"trace\":\"back\"}\n");
    EXPECT_TRUE(said.empty());

    ::close(pipe_fds[0]);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(sink.send_trace_line("gone"), 0);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], "standard output was closed: trace lines are no longer written");
  }
  ASSERT_EQ(said.size(), 2u);
  EXPECT_NE(said[1].find("3 of "), std::string::npos) << said[1];
  ::close(pipe_fds[1]);
}

}  // namespace
}  // namespace fpu
