// Delivers trace lines to the trace viewer, a separate program listening on a Unix-domain
// socket in a directory private to the user. Starts the viewer when none is listening.
// One sink serves one thread (the user-interface thread).
//
// Lines travel as one SOCK_SEQPACKET message each over a connection kept open, without a
// reply, so a frame of 1,400 lines costs a few milliseconds. The connection is dropped as
// soon as the endpoint on disk changes, so delivery behaves as if the viewer were looked up
// for every line. A viewer that stops reading costs the caller at most 50 ms of waiting at
// once (and a tenth of the time in the long run); meanwhile lines are dropped and counted.
// A missing viewer is started on a thread of the sink's own, which waits up to 1 s for its
// endpoint; the caller never waits for it: lines sent meanwhile are held (up to 1 MiB) and
// go out first once the viewer answers. A missing viewer program costs a stat.
// When delivery cannot work (the directory is missing, belongs to someone else, the viewer
// does not start), the sink says so once through its notice handler. When lines could be
// sent again after some were dropped, the viewer is first told how many (it shows
// "[N trace lines dropped]").
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "trace/trace.h"

namespace fpu {

class UnixViewerTraceSink : public TraceSink {
 public:
  // Receives a one-line reason why delivery is off; each reason is given at most once.
  using NoticeHandler = std::function<void(const std::string&)>;

  // `program_dir` holds the viewer program (normally the running executable's directory,
  // see viewer::running_executable_dir); empty means never start a viewer. `endpoint_dir`
  // replaces the per-user directory (tests); empty means viewer::default_endpoint_dir().
  explicit UnixViewerTraceSink(std::string program_dir, std::string endpoint_dir = {});
  // Gives a viewer that is still starting up to its start time to take the held lines.
  ~UnixViewerTraceSink() override;
  UnixViewerTraceSink(const UnixViewerTraceSink&) = delete;
  UnixViewerTraceSink& operator=(const UnixViewerTraceSink&) = delete;

  // Returns 1 when the line was handed to a viewer (or held for one that is starting),
  // 0 when it was dropped.
  std::intptr_t send_trace_line(const char* text) override;

  // Waits until the viewer has taken every line delivered so far (it answers a ping sent
  // behind them). False when there is no viewer or it did not answer within `timeout`.
  bool wait_until_read(std::chrono::milliseconds timeout);

  // Replaces the default handler, which writes "<program>: trace delivery is off: ..." to
  // standard error.
  void set_notice_handler(NoticeHandler handler) { notice_ = std::move(handler); }

  // Arguments added to the viewer's command line when one is started, asked for on the
  // caller's thread at that moment (the program's window frame, where the viewer goes).
  using ViewerArguments = std::function<std::vector<std::string>()>;
  void set_viewer_arguments(ViewerArguments arguments) { viewer_arguments_ = std::move(arguments); }

  std::uint64_t delivered_lines() const { return delivered_; }
  std::uint64_t dropped_lines() const { return dropped_; }
  // How many times a viewer program was started.
  std::uint64_t viewer_starts() const { return starts_; }
  const std::string& endpoint_dir() const { return endpoint_dir_; }

 private:
  using Clock = std::chrono::steady_clock;
  // found: connected; absent: no viewer, start one; refused: the endpoint is unusable now;
  // starting: a viewer is being started, lines are held.
  enum class Lookup { found, absent, refused, starting };
  // Reasons said once each.
  enum Notice : unsigned {
    notice_folder = 1,
    notice_endpoint = 2,
    notice_start = 4,
  };

  struct Connection {
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    std::uint64_t dropped = 0;  // held lines that could not be sent on it
  };

  bool connected_endpoint_unchanged() const;
  bool directory_changed();
  void watch_directory();
  // Connects to the endpoint; `why` says why a refusal will last. Reads only what no thread
  // changes, unless `watch` (user-interface thread only) starts watching the directory.
  Lookup probe(Connection* connection, std::string* why, bool watch);
  Lookup look_up();
  bool start_viewer();
  // The starter thread's work, and the process it creates (the viewer's id, -1 on failure).
  void run_start();
  pid_t spawn_viewer();
  // Sends held lines on a new connection; returns how many it had to drop.
  std::uint64_t flush_held(int fd, const std::string& batch);
  // Takes over what a finished start left: the connection, or the pause before the next.
  void finish_start();
  // Keeps a line for the starting viewer; the caller holds mutex_.
  bool hold(const char* text, std::size_t length);
  bool send_message(const char* data, std::size_t size);
  // Tells the viewer about lines dropped since the last one it got; false when it cannot
  // take the message now.
  bool report_drops();
  void disconnect();
  void say_once(Notice which, const std::string& text);

  std::string program_path_;
  std::string endpoint_dir_;
  std::string socket_path_;
  int fd_ = -1;
  dev_t endpoint_dev_ = 0;
  ino_t endpoint_ino_ = 0;
  int watch_fd_ = -1;  // change notifications of the endpoint directory
  bool watching_ = false;

  // Time the user-interface thread may still spend waiting for a viewer that does not read.
  Clock::duration wait_budget_;
  Clock::time_point budget_time_;
  bool stalled_ = false;
  // After a refused look-up, look-ups pause until next_look_up_; after a start that gave no
  // endpoint, starts pause until next_start_.
  Clock::time_point next_look_up_{};
  Clock::time_point next_start_{};

  // The start in progress. The starter thread owns everything below mutex_ until
  // start_done_; the user-interface thread only appends to held_ meanwhile.
  std::thread starter_;
  std::mutex mutex_;
  std::condition_variable start_finished_;
  bool start_done_ = false;
  std::string held_;  // lines waiting for the starting viewer, each ended by a NUL
  Connection started_;
  std::string start_failure_;

  NoticeHandler notice_;
  ViewerArguments viewer_arguments_;
  std::vector<std::string> start_arguments_;  // for the start in progress
  std::string hint_;  // what the user can do about a folder that is not theirs
  unsigned said_ = 0;

  std::atomic<std::uint64_t> delivered_{0};
  std::atomic<std::uint64_t> dropped_{0};
  // Dropped on this connection since the last line sent (user-interface thread only).
  std::uint64_t unreported_ = 0;
  std::uint64_t starts_ = 0;
};

}  // namespace fpu
