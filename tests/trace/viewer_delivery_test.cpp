#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <thread>

#include "tests/harness/viewer_harness.h"
#include "trace/trace.h"
#include "trace/unix/viewer_endpoint.h"
#include "trace/unix/viewer_trace_sink.h"

namespace fpu {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PrivateDir;

class ViewerDelivery : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::prepare_process(); }
  void TearDown() override {
    EXPECT_TRUE(testing::stop_viewer(dir.path())) << "the viewer did not end cleanly";
    // Anything else we started (or that was handed to us as reaper) goes too.
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
  }
  // True when no child process of ours exists.
  static bool no_children() { return ::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD; }

  PrivateDir dir;
};

// The eight lines of the W key, with values as a scene would have them.
void emit_dump(TraceSink& sink) {
  emit_trace(sink, TraceLabel::rot1, 25);
  emit_trace(sink, TraceLabel::rot2, 5);
  emit_trace(sink, TraceLabel::rol1, 0);
  emit_trace(sink, TraceLabel::rol2, -1);
  emit_trace(sink, TraceLabel::rayon1, 241);
  emit_trace(sink, TraceLabel::rayon2, 150);
  emit_trace(sink, TraceLabel::eAX, -200);
  emit_trace(sink, TraceLabel::separator, 0);
}

const std::vector<std::string> kDumpLines = {
    "rot1 = 25",    "rot2 = 5",     "rol1 = 0",           "rol2 = -1",
    "rayon1 = 241", "rayon2 = 150", "eAX = -200, Dist Z", std::string(40, '-')};

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += (text.empty() ? "" : "\r\n") + line;
  return text;
}

TEST_F(ViewerDelivery, DumpArrivesExactlyAtALiveViewer) {
  int out = -1;
  testing::start_headless_viewer(dir.path(), &out);
  UnixViewerTraceSink sink("", dir.path());
  emit_dump(sink);
  EXPECT_EQ(sink.delivered_lines(), 8u);
  EXPECT_EQ(testing::read_lines(out, 8), kDumpLines);
  // The first line of the empty viewer has no "\r\n" before it; every later one has.
  EXPECT_EQ(testing::wait_for_text(dir.path(), joined(kDumpLines)), joined(kDumpLines));
  ::close(out);
}

TEST_F(ViewerDelivery, FirstLineStartsTheViewer) {
  UnixViewerTraceSink sink(testing::viewer_program_dir(), dir.path());
  EXPECT_NE(sink.send_trace_line("xopc = 5, ---- Z"), 0);
  EXPECT_EQ(sink.viewer_starts(), 1u);
  EXPECT_NE(sink.send_trace_line("xopc = 10, ---- Z"), 0);
  EXPECT_EQ(sink.viewer_starts(), 1u);
  EXPECT_EQ(testing::wait_for_text(dir.path(), "xopc = 5, ---- Z\r\nxopc = 10, ---- Z"),
            "xopc = 5, ---- Z\r\nxopc = 10, ---- Z");
}

TEST_F(ViewerDelivery, MissingProgramDropsLinesWithoutStartingAnything) {
  UnixViewerTraceSink sink(dir.path(), dir.path());  // no viewer program in there
  // What such a line costs: bench_trace's BM_LineWithoutViewerProgram.
  for (int i = 0; i < 200; ++i) EXPECT_EQ(sink.send_trace_line("rol1 = 1"), 0);
  EXPECT_EQ(sink.dropped_lines(), 200u);
  EXPECT_EQ(sink.viewer_starts(), 0u);
  EXPECT_TRUE(no_children());
}

TEST_F(ViewerDelivery, KilledViewerIsStartedAgainByTheNextLine) {
  UnixViewerTraceSink sink(testing::viewer_program_dir(), dir.path());
  ASSERT_NE(sink.send_trace_line("before"), 0);
  ASSERT_TRUE(sink.wait_until_read(5s));  // the viewer starts in the background
  const auto pid = testing::viewer_pid(dir.path());
  ASSERT_TRUE(pid.has_value());
  ::kill(*pid, SIGKILL);
  ASSERT_TRUE(testing::reap(*pid));

  EXPECT_NE(sink.send_trace_line("after"), 0);
  EXPECT_EQ(sink.viewer_starts(), 2u);
  EXPECT_NE(testing::viewer_pid(dir.path()), pid);
  EXPECT_EQ(testing::wait_for_text(dir.path(), "after"), "after");
}

TEST_F(ViewerDelivery, ViewerThatExitedIsFoundAgain) {
  testing::start_headless_viewer(dir.path());
  UnixViewerTraceSink sink("", dir.path());
  ASSERT_NE(sink.send_trace_line("to the first"), 0);
  testing::stop_viewer(dir.path());
  EXPECT_EQ(sink.send_trace_line("nobody listens"), 0);
  testing::start_headless_viewer(dir.path());
  EXPECT_NE(sink.send_trace_line("to the second"), 0);
  // The line nobody took is counted where the next viewer shows lines.
  const std::string expected = "[1 trace lines dropped]\r\nto the second";
  EXPECT_EQ(testing::wait_for_text(dir.path(), expected), expected);
}

TEST_F(ViewerDelivery, ReplacedEndpointIsFollowed) {
  const pid_t first = testing::start_headless_viewer(dir.path());
  UnixViewerTraceSink sink("", dir.path());
  ASSERT_NE(sink.send_trace_line("to the first"), 0);
  // The first viewer, frozen, loses its endpoint and its lock to a second one.
  ::kill(first, SIGSTOP);
  ASSERT_EQ(::rename(dir.socket().c_str(), (dir.socket() + ".old").c_str()), 0);
  ASSERT_EQ(::unlink(viewer::lock_path(dir.path()).c_str()), 0);
  const pid_t second = testing::start_headless_viewer(dir.path());

  EXPECT_NE(sink.send_trace_line("to the second"), 0);
  EXPECT_EQ(testing::wait_for_text(dir.path(), "to the second"), "to the second");
  ::kill(first, SIGCONT);
  ::kill(first, SIGTERM);
  int status = -1;
  EXPECT_TRUE(testing::reap(first, 5s, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // The first viewer leaves the second one's endpoint in place.
  EXPECT_EQ(testing::viewer_pid(dir.path()), second);
}

TEST_F(ViewerDelivery, ViewerPutsBackADeletedEndpoint) {
  testing::start_headless_viewer(dir.path());
  ASSERT_EQ(::unlink(dir.socket().c_str()), 0);
  UnixViewerTraceSink sink("", dir.path());
  const auto deadline = Clock::now() + 5s;
  while (sink.send_trace_line("found again") == 0 && Clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  // The tries that found no endpoint are counted before the line.
  const std::uint64_t missed = sink.dropped_lines();
  const std::string expected =
      (missed > 0 ? dropped_lines_notice(missed) + "\r\n" : std::string()) + "found again";
  EXPECT_EQ(testing::wait_for_text(dir.path(), expected), expected);
}

// What a frame costs meanwhile is bench_trace's BM_FrameOfLinesToStoppedViewer (no timed
// unit tests): here every line is counted, as delivered or dropped, and delivery resumes.
TEST_F(ViewerDelivery, StoppedViewerDropsCountedLinesAndDeliveryResumes) {
  const pid_t pid = testing::start_headless_viewer(dir.path());
  UnixViewerTraceSink sink("", dir.path());
  ASSERT_NE(sink.send_trace_line("first"), 0);
  ::kill(pid, SIGSTOP);

  // String-art frames with tracing on, until the socket buffer is full and lines are dropped.
  std::uint64_t sent = 1;
  for (int frame = 0; frame < 100 && sink.dropped_lines() == 0; ++frame) {
    for (int i = 0; i < 1400; ++i) emit_trace(sink, TraceLabel::rol1, i);
    sent += 1400;
  }
  EXPECT_GT(sink.dropped_lines(), 0u);
  for (int i = 0; i < 1400; ++i) emit_trace(sink, TraceLabel::rol1, i);
  sent += 1400;
  EXPECT_EQ(sink.delivered_lines() + sink.dropped_lines(), sent);

  ::kill(pid, SIGCONT);
  const auto deadline = Clock::now() + 5s;
  while (sink.send_trace_line("resumed") == 0 && Clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  std::string text;
  for (auto until = Clock::now() + 5s; Clock::now() < until; std::this_thread::sleep_for(5ms)) {
    text = testing::viewer_text(dir.path()).value_or("");
    if (text.ends_with("\r\nresumed")) break;
  }
  EXPECT_TRUE(text.starts_with("first\r\nrol1 = 0\r\n"));
  EXPECT_TRUE(text.ends_with("\r\nresumed"));
}

TEST_F(ViewerDelivery, ViewerSaysHowManyLinesWereDroppedBeforeTheNextLine) {
  int out = -1;
  const pid_t pid = testing::start_headless_viewer(dir.path(), &out);
  // The viewer's output is read all along, so only the stop makes it fall behind.
  std::vector<std::string> shown;
  std::thread reader([&] {
    for (;;) {
      auto lines = testing::read_lines(out, 1, 10s);
      if (lines.empty()) return;
      shown.push_back(lines.front());
      if (lines.front() == "resumed") return;
    }
  });
  UnixViewerTraceSink sink("", dir.path());
  ASSERT_NE(sink.send_trace_line("first"), 0);
  ASSERT_TRUE(sink.wait_until_read(5s));
  ::kill(pid, SIGSTOP);
  std::uint64_t sent = 1;
  for (int frame = 0; frame < 100 && sink.dropped_lines() < 1000; ++frame) {
    for (int i = 0; i < 1400; ++i) emit_trace(sink, TraceLabel::rol1, i);
    sent += 1400;
  }
  ::kill(pid, SIGCONT);
  const auto deadline = Clock::now() + 5s;
  while (sink.send_trace_line("resumed") == 0 && Clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  reader.join();
  ::close(out);

  ASSERT_GE(shown.size(), 3u);
  EXPECT_EQ(shown.front(), "first");
  EXPECT_EQ(shown.back(), "resumed");
  const std::string notice = "[" + std::to_string(sink.dropped_lines()) + " trace lines dropped]";
  EXPECT_EQ(shown[shown.size() - 2], notice) << "the notice comes just before the next line";
  EXPECT_EQ(std::count(shown.begin(), shown.end(), notice), 1);
  // Every line sent is either shown or counted in the notice ("resumed" may have been
  // dropped a few times before it got through).
  EXPECT_EQ(shown.size() - 1, sink.delivered_lines());
  EXPECT_GE(sink.delivered_lines() + sink.dropped_lines(), sent + 1);
}

TEST_F(ViewerDelivery, ViewerIsToldOfDroppedLinesWhenItReadsAgainWithoutANextLine) {
  int out = -1;
  const pid_t pid = testing::start_headless_viewer(dir.path(), &out);
  UnixViewerTraceSink sink("", dir.path());
  ASSERT_NE(sink.send_trace_line("first"), 0);
  ASSERT_TRUE(sink.wait_until_read(5s));
  ASSERT_EQ(testing::read_lines(out, 1, 5s), std::vector<std::string>{"first"});
  ::kill(pid, SIGSTOP);
  for (int frame = 0; frame < 100 && sink.dropped_lines() < 1000; ++frame) {
    for (int i = 0; i < 1400; ++i) emit_trace(sink, TraceLabel::rol1, i);
  }
  ASSERT_GT(sink.dropped_lines(), 0u);
  EXPECT_EQ(sink.catch_up(), UnixViewerTraceSink::kCatchUpMs) << "the stopped viewer is not told";
  ::kill(pid, SIGCONT);
  // What the program's wait does: no new line, only the sink's catching up when it asks.
  const std::string notice = dropped_lines_notice(sink.dropped_lines());
  bool told = false;
  std::vector<std::string> shown;
  for (const auto deadline = Clock::now() + 10s; !told && Clock::now() < deadline;) {
    const int again = sink.catch_up();
    for (auto& line : testing::read_lines(out, 1, again < 0 ? 1000ms : 1ms * again)) {
      told = told || line == notice;
      shown.push_back(std::move(line));
    }
  }
  EXPECT_TRUE(told) << "after " << shown.size() << " lines, the last "
                    << (shown.empty() ? "" : shown.back());
  EXPECT_EQ(sink.catch_up(), -1) << "nothing left to tell";
  ::close(out);
}

// Demos on two displays each get a viewer of their own, in the same folder.
TEST_F(ViewerDelivery, EachDisplayHasItsOwnViewer) {
  struct Display {
    const char* name;
    std::unique_ptr<UnixViewerTraceSink> sink;
  };
  Display displays[] = {{":61", nullptr}, {":62.0", nullptr}};
  for (auto& d : displays) {
    ::setenv("DISPLAY", d.name, 1);
    testing::start_headless_viewer(dir.path());
    d.sink = std::make_unique<UnixViewerTraceSink>("", dir.path());
  }
  for (auto& d : displays) EXPECT_NE(d.sink->send_trace_line(d.name), 0);
  for (auto& d : displays) {
    ::setenv("DISPLAY", d.name, 1);
    EXPECT_EQ(testing::wait_for_text(dir.path(), d.name), d.name);
  }
  ::setenv("DISPLAY", ":61", 1);
  EXPECT_TRUE(testing::stop_viewer(dir.path()));
  ::setenv("DISPLAY", ":62", 1);
  EXPECT_TRUE(testing::stop_viewer(dir.path())) << "\":62.0\" and \":62\" are one display";
  ::unsetenv("DISPLAY");
}

TEST(ViewerEndpoint, NameCarriesTheDisplay) {
  struct Case {
    const char* x;
    const char* wayland;
    const char* name;
  };
  const Case cases[] = {
      {nullptr, nullptr, "fpu-trace-viewer"},
      {"", "", "fpu-trace-viewer"},
      {":61", nullptr, "fpu-trace-viewer-_61"},
      {":61.0", nullptr, "fpu-trace-viewer-_61"},
      {"localhost:10.2", "wayland-0", "fpu-trace-viewer-localhost_10"},
      {"host.example:0", nullptr, "fpu-trace-viewer-host.example_0"},
      {nullptr, "wayland-1", "fpu-trace-viewer-wayland-1"},
      {"../../x:1", nullptr, "fpu-trace-viewer-.._.._x_1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(viewer::endpoint_name(c.x, c.wayland), c.name) << (c.x ? c.x : "(unset)");
  }
  // Long names stay short enough for a socket address and distinct.
  const std::string a = "/one/" + std::string(200, 'a') + ":0";
  const std::string b = "/two/" + std::string(200, 'a') + ":0";
  EXPECT_LE(viewer::endpoint_name(a.c_str(), nullptr).size(), 70u);
  EXPECT_NE(viewer::endpoint_name(a.c_str(), nullptr), viewer::endpoint_name(b.c_str(), nullptr));
}

TEST_F(ViewerDelivery, RegularFileAtTheEndpointIsNoViewer) {
  { std::ofstream(dir.socket()) << "not a socket"; }
  UnixViewerTraceSink sink(testing::viewer_program_dir(), dir.path());
  EXPECT_EQ(sink.send_trace_line("line"), 0);
  EXPECT_EQ(sink.viewer_starts(), 0u);

  // The viewer itself leaves such a file alone and refuses to start.
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl(testing::viewer_program().c_str(), "fpu-trace-viewer", "--headless", "--dir",
            dir.path().c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  struct stat st {};
  ASSERT_EQ(::lstat(dir.socket().c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST_F(ViewerDelivery, EndpointOfAnotherUserIsNoViewer) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the endpoint to another user";
  testing::start_headless_viewer(dir.path());
  ASSERT_EQ(::chown(dir.socket().c_str(), 65534, 65534), 0);
  UnixViewerTraceSink sink(testing::viewer_program_dir(), dir.path());
  EXPECT_EQ(sink.send_trace_line("line"), 0);
  EXPECT_EQ(sink.viewer_starts(), 0u);
  EXPECT_EQ(testing::viewer_text(dir.path()), "");
}

TEST_F(ViewerDelivery, DirectoryOthersCanEnterIsNotUsed) {
  testing::start_headless_viewer(dir.path());
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  UnixViewerTraceSink sink(testing::viewer_program_dir(), dir.path());
  EXPECT_EQ(sink.send_trace_line("line"), 0);
  EXPECT_EQ(sink.viewer_starts(), 0u);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);
  EXPECT_EQ(testing::viewer_text(dir.path()), "");
}

TEST_F(ViewerDelivery, GarbageDoesNotStopTheViewer) {
  int out = -1;
  testing::start_headless_viewer(dir.path(), &out);
  const int fd = testing::connect_viewer(dir.path());
  ASSERT_GE(fd, 0);
  const std::string garbage[] = {
      "?unknown tag", std::string("Lline\nwith break"), std::string("Lnul\0inside", 11),
      "T with extra", "L" + std::string(100000, 'x'),   std::string(1, '\xff')};
  for (const auto& message : garbage) {
    ASSERT_EQ(::send(fd, message.data(), message.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(message.size()));
  }
  ::close(fd);
  // A client of the wrong socket type, and one that leaves at once.
  const int stream = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ::close(stream);
  ::close(testing::connect_viewer(dir.path()));

  UnixViewerTraceSink sink("", dir.path());
  EXPECT_NE(sink.send_trace_line("still here"), 0);
  EXPECT_EQ(testing::read_lines(out, 1), std::vector<std::string>{"still here"});
  EXPECT_EQ(testing::wait_for_text(dir.path(), "still here"), "still here");
  ::close(out);
}

TEST_F(ViewerDelivery, RawMessagesShowAsTheirLinesOnATerminalSafely) {
  // Each case from a client of its own; the last message shows the client is still served.
  struct Case {
    const char* name;
    std::vector<std::string> messages;
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {"an empty message is an empty line", {"Lbefore", "", "Lafter"}, {"before", "", "after"}},
      {"a drop count", {"D5"}, {"[5 trace lines dropped]"}},
      {"a drop count no sender could reach",
       {"D18446744073709551615", "Lafter"},
       {"[protocol error: a sender announced 18446744073709551615 dropped lines, more than it "
        "could have sent]",
        "after"}},
      {"ESC and C0 controls",
       {"La\x1b[31mb\x07"
        "c\td"},
       {"a?[31mb?c\td"}},
      {"C1 controls, raw and in UTF-8",
       {"L\x9b"
        "2J \xc2\x9b"
        "2J"},
       {"?2J ?2J"}},
      // A lone byte past 0x7F may be CSI to a terminal reading Latin-1.
      {"UTF-8 passes, Latin-1 and overlong forms do not",
       {"L\xc3\xa9 \xe2\x82\xac \xe9t\xe9 \xe0\x82\x9b"},
       {"\xc3\xa9 \xe2\x82\xac ?t? ???"}},
  };
  int out = -1;
  testing::start_headless_viewer(dir.path(), &out);
  for (const auto& c : cases) {
    const int fd = testing::connect_viewer(dir.path());
    ASSERT_GE(fd, 0);
    for (const auto& message : c.messages) {
      ASSERT_EQ(::send(fd, message.data(), message.size(), MSG_NOSIGNAL),
                static_cast<ssize_t>(message.size()))
          << c.name;
    }
    EXPECT_EQ(testing::read_lines(out, c.shown.size()), c.shown) << c.name;
    ::close(fd);
  }
  ::close(out);
}

TEST_F(ViewerDelivery, LinesFromManySendersStayWhole) {
  testing::start_headless_viewer(dir.path());
  constexpr int kSenders = 4;
  constexpr int kLines = 300;
  std::vector<std::thread> senders;
  for (int s = 0; s < kSenders; ++s) {
    senders.emplace_back([&, s] {
      UnixViewerTraceSink sink("", dir.path());
      for (int i = 0; i < kLines; ++i) {
        emit_trace(sink, TraceLabel::rayon1, s * 100000 + i);
      }
    });
  }
  for (auto& sender : senders) sender.join();

  std::string text;
  const auto expected_lines = static_cast<std::size_t>(kSenders * kLines);
  for (auto until = Clock::now() + 5s; Clock::now() < until; std::this_thread::sleep_for(5ms)) {
    text = testing::viewer_text(dir.path()).value_or("");
    if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1 ==
        expected_lines) {
      break;
    }
  }
  const std::regex line("rayon1 = [0-9]+");
  std::size_t count = 0;
  std::size_t begin = 0;
  for (;;) {
    const auto end = text.find("\r\n", begin);
    EXPECT_TRUE(std::regex_match(text.substr(begin, end - begin), line));
    ++count;
    if (end == std::string::npos) break;
    begin = end + 2;
  }
  EXPECT_EQ(count, expected_lines);
}

TEST(ViewerEndpoint, RuntimeDirectoryIsUsedOnlyWhenPrivate) {
  PrivateDir runtime;
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_value = saved != nullptr ? saved : "";
  const char* tmp = std::getenv("TMPDIR");
  const std::string fallback = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") +
                               "/fpu-trace-" + std::to_string(::geteuid());

  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  EXPECT_EQ(viewer::default_endpoint_dir(), runtime.path());
  ::chmod(runtime.path().c_str(), 0755);
  EXPECT_EQ(viewer::default_endpoint_dir(), fallback);
  ::setenv("XDG_RUNTIME_DIR", "relative/dir", 1);
  EXPECT_EQ(viewer::default_endpoint_dir(), fallback);

  if (saved != nullptr) {
    ::setenv("XDG_RUNTIME_DIR", saved_value.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST(ViewerEndpoint, SymlinkToAPrivateDirectoryIsNotPrivate) {
  PrivateDir real;
  const std::string link = real.path() + "/link";
  const std::string target = real.path() + "/target";
  ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  EXPECT_TRUE(viewer::is_private_dir(target));
  EXPECT_FALSE(viewer::is_private_dir(link));
  EXPECT_FALSE(viewer::ensure_private_dir(link));
}

}  // namespace
}  // namespace fpu
