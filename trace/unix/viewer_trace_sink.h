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
// does not start), the sink says so once through its notice handler. Every line is either
// shown or counted: before the next line that goes out after some were dropped (to this
// viewer or while none answered), the viewer is told how many (it shows "[N trace lines
// dropped]"), and at the end the sink tells it about the last ones through room every
// connection keeps for that, so a viewer that stopped reading still gets the count. Lines
// no viewer could be told about are counted through the loss handler at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trace/trace.h"
#include "trace/unix/directory_watch.h"
#include "trace/unix/endpoint_probe.h"
#include "trace/unix/send_budget.h"
#include "trace/unix/viewer_starter.h"

namespace fpu {

class UnixViewerTraceSink : public TraceSink {
 public:
  // Receives a one-line reason why delivery is off; each reason is given at most once.
  using NoticeHandler = std::function<void(const std::string&)>;

  // `program_dir` holds the viewer program (normally the running executable's directory,
  // see viewer::running_executable_dir); empty means never start a viewer. `endpoint_dir`
  // replaces the per-user directory (tests); empty means viewer::default_endpoint_dir().
  explicit UnixViewerTraceSink(std::string program_dir, std::string endpoint_dir = {});
  // Gives a viewer that is still starting up to its start time to take the held lines, then
  // tells the viewer how many lines were dropped since it was last told.
  ~UnixViewerTraceSink() override;
  UnixViewerTraceSink(const UnixViewerTraceSink&) = delete;
  UnixViewerTraceSink& operator=(const UnixViewerTraceSink&) = delete;

  // Returns 1 when the line was handed to a viewer (or held for one that is starting),
  // 0 when it was dropped.
  std::intptr_t send_trace_line(const char* text) override;
  // Lines dropped while the viewer did not read are told to it once it reads again,
  // whether or not a line comes: tried every kCatchUpMs while some are untold.
  int catch_up() override;
  static constexpr int kCatchUpMs = 250;

  // Waits until the viewer has taken every line delivered so far (it answers a ping sent
  // behind them). False when there is no viewer or it did not answer within `timeout`.
  bool wait_until_read(std::chrono::milliseconds timeout);

  // Replaces the default handler, which writes "<program>: trace delivery is off: ..." to
  // standard error.
  void set_notice_handler(NoticeHandler handler) { notice_ = std::move(handler); }
  // Replaces the default handler of the line said at the end when lines were lost that no
  // viewer was told about ("<program>: N of M trace lines could not be delivered ..." on
  // standard error).
  void set_loss_handler(NoticeHandler handler) { loss_ = std::move(handler); }

  // Arguments added to the viewer's command line when one is started, asked for on the
  // caller's thread at that moment (the program's window frame, where the viewer goes).
  using ViewerArguments = std::function<std::vector<std::string>()>;
  void set_viewer_arguments(ViewerArguments arguments) { viewer_arguments_ = std::move(arguments); }

  std::uint64_t delivered_lines() const { return counts_.delivered; }
  std::uint64_t dropped_lines() const { return counts_.dropped; }
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

  bool connected_endpoint_unchanged() const;
  Lookup look_up();
  bool start_viewer();
  // Takes over what a finished start left: the connection, or the pause before the next.
  void finish_start();
  bool send_message(const char* data, std::size_t size);
  // Tells the viewer about lines dropped since the last one it got; false when it cannot
  // take the message now.
  bool report_drops();
  void disconnect();
  // Counts lines lost, to be told to the next viewer reached.
  void drop(std::uint64_t count = 1);
  std::string drop_message() const;
  void say_once(Notice which, const std::string& text);

  std::string program_path_;
  std::string endpoint_dir_;
  std::string socket_path_;
  viewer::Connection connection_;
  viewer::DirectoryWatch watch_;
  // Time the user-interface thread may still spend waiting for a viewer that does not read.
  viewer::SendBudget budget_;
  // After a refused look-up, look-ups pause until next_look_up_; after a start that gave no
  // endpoint, starts pause until next_start_.
  Clock::time_point next_look_up_{};
  Clock::time_point next_start_{};

  NoticeHandler notice_;
  NoticeHandler loss_;
  ViewerArguments viewer_arguments_;
  std::string hint_;  // what the user can do about a folder that is not theirs
  unsigned said_ = 0;

  viewer::DeliveryCounts counts_;
  viewer::ViewerStarter starter_{counts_};
  // Dropped since a viewer was last told (user-interface thread only).
  std::uint64_t unreported_ = 0;
  std::uint64_t starts_ = 0;
};

}  // namespace fpu
