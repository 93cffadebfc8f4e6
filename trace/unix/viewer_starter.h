// Starts a missing viewer on a thread of its own, which waits up to 1 s for its endpoint;
// the caller never waits for it. Lines sent meanwhile are held and go out first once the
// viewer answers.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "trace/unix/endpoint_probe.h"
#include "trace/unix/held_lines.h"

namespace fpu::viewer {

// Lines handed to a viewer and lines lost, counted by whichever thread handled them.
struct DeliveryCounts {
  std::atomic<std::uint64_t> delivered{0};
  std::atomic<std::uint64_t> dropped{0};
};

class ViewerStarter {
 public:
  // What a finished start leaves to the caller.
  struct Outcome {
    Connection connection;      // fd -1 when the viewer did not come up
    std::uint64_t dropped = 0;  // held lines that could not be sent on it
    std::string failure;        // why the viewer did not come up
    HeldLines rest;             // lines held while the first ones went out
  };
  enum class Hold { held, dropped, done };

  explicit ViewerStarter(DeliveryCounts& counts) : counts_(counts) {}
  // A start in progress ends within its own time limit; the lines it holds go out if the
  // viewer comes up.
  ~ViewerStarter();
  ViewerStarter(const ViewerStarter&) = delete;
  ViewerStarter& operator=(const ViewerStarter&) = delete;

  // True from start() until finish().
  bool active() const { return thread_.joinable(); }
  // `arguments` follow `--dir DIR` on the viewer's command line.
  void start(const std::string& program, const std::string& dir, const std::string& socket_path,
             std::vector<std::string> arguments = {});
  // Keeps the line while the start is in progress (dropped: the hold is full, the caller
  // counts the line); done once the start has finished, when the caller takes over with
  // finish().
  Hold hold_while_starting(const char* text, std::size_t length);
  // Keeps the line even if the start has just finished: finish() hands it back in `rest`.
  // False when the hold is full.
  bool hold(const char* text, std::size_t length);
  // False when the start has not finished by `deadline`.
  bool wait_until_done(std::chrono::steady_clock::time_point deadline);
  // Waits for the start to end and takes over what it left.
  Outcome finish();

 private:
  void run();
  // Sends held lines on a new connection; returns how many it had to drop.
  std::uint64_t flush(int fd, const HeldLines& batch);

  DeliveryCounts& counts_;
  std::string program_;
  std::string dir_;
  std::string socket_path_;
  std::vector<std::string> arguments_;
  // The thread owns everything below mutex_ until done_; the caller only adds to held_
  // meanwhile.
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;
  HeldLines held_;
  Connection started_;
  std::uint64_t started_dropped_ = 0;
  std::string failure_;
};

}  // namespace fpu::viewer
