#include "trace/win32/stdout_sink.h"

#include <windows.h>

#include <algorithm>

#include "trace/stream_trace_sinks.h"

namespace fpu {

namespace {

// Lines waiting for a reader: several frames of string art with every index traced.
constexpr std::size_t kMaxBacklog = 1 << 20;
// At the end, the longest wait for a reader to take what is still waiting.
constexpr DWORD kFinalWaitMs = 300;

std::uint64_t line_count(const std::string& text) {
  return static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

// (The Windows build's C++ runtime has no std::mutex: the system's own locks.)
struct Win32StdoutTraceSink::Shared {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
  CONDITION_VARIABLE idle = CONDITION_VARIABLE_INIT;
  std::string backlog;
  bool writing = false;
  bool stopping = false;
  bool closed = false;
  bool said_closed = false;
  std::uint64_t unreported = 0;
  std::uint64_t dropped = 0;
  std::uint64_t lines = 0;
  HANDLE out = INVALID_HANDLE_VALUE;
};

namespace {

DWORD WINAPI write_lines(void* parameter) {
  // The thread holds its own reference: it may outlive the sink when a write never returns.
  auto* held = static_cast<std::shared_ptr<Win32StdoutTraceSink::Shared>*>(parameter);
  const std::shared_ptr<Win32StdoutTraceSink::Shared> shared = *held;
  delete held;
  AcquireSRWLockExclusive(&shared->lock);
  for (;;) {
    while (shared->backlog.empty() && !shared->stopping) {
      SleepConditionVariableSRW(&shared->wake, &shared->lock, INFINITE, 0);
    }
    if (shared->backlog.empty()) break;
    std::string chunk;
    chunk.swap(shared->backlog);
    shared->writing = true;
    ReleaseSRWLockExclusive(&shared->lock);
    std::size_t done = 0;
    while (done < chunk.size()) {
      DWORD n = 0;
      if (!WriteFile(shared->out, chunk.data() + done,
                     static_cast<DWORD>(std::min<std::size_t>(chunk.size() - done, 1 << 16)), &n,
                     nullptr) ||
          n == 0) {
        break;
      }
      done += n;
    }
    AcquireSRWLockExclusive(&shared->lock);
    shared->writing = false;
    if (done < chunk.size()) {
      // A reader that went away (or an output that failed): tracing ends here.
      shared->closed = true;
      const std::uint64_t lost = line_count(chunk.substr(done)) + line_count(shared->backlog);
      shared->dropped += lost;
      shared->unreported += lost;
      shared->backlog.clear();
    }
    WakeAllConditionVariable(&shared->idle);
  }
  ReleaseSRWLockExclusive(&shared->lock);
  return 0;
}

}  // namespace

Win32StdoutTraceSink::Win32StdoutTraceSink(std::function<void(const std::string&)> say)
    : shared_(std::make_shared<Shared>()), say_(std::move(say)) {
  shared_->out = GetStdHandle(STD_OUTPUT_HANDLE);
  auto* held = new std::shared_ptr<Shared>(shared_);
  thread_ = CreateThread(nullptr, 0, write_lines, held, 0, nullptr);
  if (thread_ == nullptr) {
    delete held;
    shared_->closed = true;
  }
}

Win32StdoutTraceSink::~Win32StdoutTraceSink() {
  AcquireSRWLockExclusive(&shared_->lock);
  shared_->stopping = true;
  WakeAllConditionVariable(&shared_->wake);
  const DWORD until = GetTickCount() + kFinalWaitMs;
  while (!shared_->backlog.empty() || shared_->writing) {
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(until - now) <= 0) break;
    SleepConditionVariableSRW(&shared_->idle, &shared_->lock, until - now, 0);
  }
  if (!shared_->backlog.empty() || shared_->writing) {
    // The reader took nothing for a while: what waits is lost, and a write under way is
    // cancelled (the thread then ends, or is left to end with the process).
    const std::uint64_t lost = line_count(shared_->backlog);
    shared_->dropped += lost;
    shared_->unreported += lost;
    shared_->backlog.clear();
    if (thread_ != nullptr) CancelSynchronousIo(static_cast<HANDLE>(thread_));
  }
  const std::uint64_t unreported = shared_->unreported;
  const std::uint64_t total = shared_->lines;
  const bool closed = shared_->closed;
  ReleaseSRWLockExclusive(&shared_->lock);
  if (thread_ != nullptr) {
    WaitForSingleObject(static_cast<HANDLE>(thread_), kFinalWaitMs);
    CloseHandle(static_cast<HANDLE>(thread_));
  }
  if (unreported > 0) {
    say_(std::to_string(unreported) + " of " + std::to_string(total) +
         " trace lines were dropped: standard output was not read in time" +
         (closed ? " or was closed" : ""));
  }
}

std::intptr_t Win32StdoutTraceSink::send_trace_line(const char* text) {
  const std::string line = json_trace_line(text);
  bool say_closed = false;
  std::intptr_t result = 0;
  {
    AcquireSRWLockExclusive(&shared_->lock);
    ++shared_->lines;
    if (shared_->closed) {
      say_closed = !shared_->said_closed;
      shared_->said_closed = true;
    } else {
      if (shared_->unreported > 0) {
        const std::string notice =
            json_trace_line(dropped_lines_notice(shared_->unreported).c_str());
        if (shared_->backlog.size() + notice.size() + line.size() <= kMaxBacklog) {
          shared_->backlog += notice;
          shared_->unreported = 0;
        }
      }
      if (shared_->unreported == 0 && shared_->backlog.size() + line.size() <= kMaxBacklog) {
        shared_->backlog += line;
        WakeConditionVariable(&shared_->wake);
        result = 1;
      }
    }
    if (result == 0) {
      ++shared_->dropped;
      ++shared_->unreported;
    }
    ReleaseSRWLockExclusive(&shared_->lock);
  }
  if (say_closed) say_("standard output was closed: trace lines are no longer written");
  return result;
}

}  // namespace fpu
