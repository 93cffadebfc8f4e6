// The viewer's endpoint: a SOCK_SEQPACKET Unix socket in the private directory. Each message
// is one line (or a query); lines from any number of clients are appended whole.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/viewer/viewer_text.h"

namespace fpu::viewer {

class ViewerServer {
 public:
  using LineHandler = std::function<void(std::string_view)>;
  // `on_line` is called for every line after it was appended to `text`.
  ViewerServer(ViewerText& text, LineHandler on_line);
  ~ViewerServer();
  ViewerServer(const ViewerServer&) = delete;
  ViewerServer& operator=(const ViewerServer&) = delete;

  // Takes the endpoint in `dir` (created 0700 when missing). Refuses when the directory is
  // not private, another viewer holds it, or the endpoint path is something else than a
  // stale socket. On failure `error` says why.
  bool open(const std::string& dir, std::string& error);

  // Handles what arrives within `timeout_ms` (-1: until something arrives). Returns true when
  // `stop_fd` became readable.
  bool serve(int timeout_ms, int stop_fd);

 private:
  using Clock = std::chrono::steady_clock;
  struct Client {
    int fd;
    Clock::time_point last_message;  // or when it was accepted
  };

  bool bind_endpoint(std::string& error);
  void accept_clients();
  // When full, the client that has sent nothing for the longest time makes room.
  void close_longest_idle();
  void say_closed_idle(Clock::time_point now);
  // Returns false when the client is to be closed; counts the messages in `handled`.
  bool read_client(int fd, int& handled);
  void handle_message(int fd, const char* data, std::size_t size);
  void check_endpoint();

  ViewerText& text_;
  LineHandler on_line_;
  std::string socket_path_;
  int lock_fd_ = -1;
  int listen_fd_ = -1;
  dev_t endpoint_dev_ = 0;
  ino_t endpoint_ino_ = 0;
  std::vector<Client> clients_;
  // Idle clients closed to make room and not yet said; said at most once per second.
  std::size_t closed_idle_ = 0;
  Clock::time_point next_idle_notice_{};
  std::chrono::steady_clock::time_point next_check_{};
  // While out of descriptors, accepting pauses until then (or until a client leaves).
  std::chrono::steady_clock::time_point accept_resume_{};
  bool accept_pause_said_ = false;
  bool rebind_failed_ = false;
};

}  // namespace fpu::viewer
