// Delivers trace lines to the trace viewer, a separate program listening on a Unix-domain
// socket in a directory private to the user. Starts the viewer when none is listening.
// One sink serves one thread (the user-interface thread).
//
// Lines travel as one SOCK_SEQPACKET message each over a connection kept open, without a
// reply, so a frame of 1,400 lines costs a few milliseconds. The connection is dropped as
// soon as the endpoint on disk changes, so delivery behaves as if the viewer were looked up
// for every line. A viewer that stops reading costs the caller at most 50 ms of waiting at
// once (and a tenth of the time in the long run); meanwhile lines are dropped and counted.
// A missing viewer is started (waiting up to 1 s for its endpoint); a missing viewer
// program costs a stat.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "trace/trace.h"

namespace fpu {

class UnixViewerTraceSink : public TraceSink {
 public:
  // `program_dir` holds the viewer program (normally the running executable's directory,
  // see viewer::running_executable_dir); empty means never start a viewer. `endpoint_dir`
  // replaces the per-user directory (tests); empty means viewer::default_endpoint_dir().
  explicit UnixViewerTraceSink(std::string program_dir, std::string endpoint_dir = {});
  ~UnixViewerTraceSink() override;
  UnixViewerTraceSink(const UnixViewerTraceSink&) = delete;
  UnixViewerTraceSink& operator=(const UnixViewerTraceSink&) = delete;

  // Returns 1 when the line was handed to a viewer, 0 when it was dropped.
  std::intptr_t send_trace_line(const char* text) override;

  // Waits until the viewer has taken every line delivered so far (it answers a ping sent
  // behind them). False when there is no viewer or it did not answer within `timeout`.
  bool wait_until_read(std::chrono::milliseconds timeout);

  std::uint64_t delivered_lines() const { return delivered_; }
  std::uint64_t dropped_lines() const { return dropped_; }
  // How many times a viewer program was started.
  std::uint64_t viewer_starts() const { return starts_; }
  const std::string& endpoint_dir() const { return endpoint_dir_; }

 private:
  using Clock = std::chrono::steady_clock;

  bool connected_endpoint_unchanged() const;
  bool directory_changed();
  void watch_directory();
  // found: connected; absent: no viewer, start one; refused: the endpoint is unusable now.
  enum class Lookup { found, absent, refused };
  Lookup look_up();
  bool start_viewer();
  bool send_message(const char* data, std::size_t size);
  void disconnect();

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

  std::uint64_t delivered_ = 0;
  std::uint64_t dropped_ = 0;
  std::uint64_t starts_ = 0;
};

}  // namespace fpu
