#include "trace/win32/viewer_sink.h"

#include <windows.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

namespace fpu {

namespace {

constexpr const char* viewer_file = "fpu-trace-viewer.exe";
// Lines in one insertion at most, which bounds the size of one message.
constexpr std::size_t max_batch_lines = 16384;
// A system edit control (Wine's spends about 0.2 ms on each new line) is given this much
// more time for an insertion per line in it.
constexpr std::uint64_t lines_per_extra_ms = 4;

}  // namespace

std::string default_viewer_path() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return viewer_file;  // no module name: fall back to the working directory
    if (n < path.size()) {
      std::string full(path.data(), n);
      std::size_t slash = full.find_last_of("\\/");
      return slash == std::string::npos ? std::string(viewer_file)
                                        : full.substr(0, slash + 1) + viewer_file;
    }
    path.resize(path.size() * 2);  // truncated: try again with room for a long path
  }
}

// A queued line, with the count of lines refused just before it (the queue was full).
struct QueuedLine {
  std::string text;
  std::uint64_t refused_before = 0;
};

struct ViewerSinkShared {
  explicit ViewerSinkShared(ViewerSinkOptions o) : options(std::move(o)) {}

  const ViewerSinkOptions options;
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;  // a line was queued, or stop
  CONDITION_VARIABLE idle = CONDITION_VARIABLE_INIT;  // the queue ran empty
  std::deque<QueuedLine> lines;
  std::uint64_t refused = 0;  // refused since the last queued line
  std::size_t in_hand = 0;    // lines the worker took off the queue and is delivering
  bool stopping = false;
  DWORD stop_deadline = 0;
  ViewerSinkStats stats;
  HANDLE thread = nullptr;
};

namespace {

enum class Outcome { delivered, no_viewer, failed };

// One message to the edit control, given up after the time-out (or at once when the
// viewer is hung). Returns whether it was answered.
bool send(HWND edit, UINT message, WPARAM wparam, LPARAM lparam, DWORD timeout_ms,
          DWORD_PTR* result = nullptr) {
  DWORD_PTR r = 0;
  LRESULT ok = SendMessageTimeoutA(edit, message, wparam, lparam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                   timeout_ms, &r);
  if (result) *result = r;
  return ok != 0;
}

// Lines taken off the queue together, with a "[N trace lines dropped]" line wherever lines
// were lost before the next one.
struct Batch {
  std::vector<std::string> pieces;
  std::uint64_t lines = 0;  // queued lines in it, not counting notices
  std::uint64_t lost = 0;   // lines lost before or among them
};

Batch take_batch(std::deque<QueuedLine>& queue, std::uint64_t lost) {
  Batch batch;
  const std::size_t count = std::min(queue.size(), max_batch_lines);
  batch.pieces.reserve(count + 1);
  for (std::size_t i = 0; i < count; ++i) {
    QueuedLine& line = queue[i];
    lost += line.refused_before;
    batch.lost += lost;
    if (lost != 0) batch.pieces.push_back(dropped_lines_notice(lost));
    lost = 0;
    batch.pieces.push_back(std::move(line.text));
  }
  batch.lines = count;
  queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(count));
  return batch;
}

// The text of one insertion that leaves the edit control as one insertion per line would:
// "\r\n" before each line while the control holds text (an empty first line leaves it empty).
std::string joined(const std::vector<std::string>& pieces, bool has_text) {
  std::size_t size = 0;
  for (const auto& piece : pieces) size += piece.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& piece : pieces) {
    if (has_text) text += "\r\n";
    text += piece;
    has_text = has_text || !piece.empty();
  }
  return text;
}

// `start_attempts` null: a missing viewer is not started.
Outcome deliver(const ViewerSinkOptions& options, const Batch& batch, std::uint64_t* start_attempts,
                DWORD timeout_ms) {
  HWND viewer = FindWindowA(viewer_window_class, nullptr);
  if (!viewer && !start_attempts) return Outcome::no_viewer;
  if (!viewer) {
    // WinExec returns once the viewer waits for input, by which time its window exists.
    ++*start_attempts;
    const std::string arguments = options.viewer_arguments ? options.viewer_arguments() : "";
    const std::string command =
        arguments.empty() ? options.viewer_path : '"' + options.viewer_path + "\" " + arguments;
    WinExec(command.c_str(), SW_SHOWNORMAL);
    viewer = FindWindowA(viewer_window_class, nullptr);
    if (!viewer) return Outcome::no_viewer;
  }
  HWND edit = FindWindowExA(viewer, nullptr, "Edit", nullptr);
  if (!edit) return Outcome::failed;
  const DWORD t = timeout_ms;
  DWORD_PTR length = 0;
  if (!send(edit, WM_GETTEXTLENGTH, 0, 0, t, &length)) return Outcome::failed;
  // Put the caret at the end explicitly: after a click into the viewer it may be anywhere,
  // and the insertion below goes in at the caret.
  if (!send(edit, EM_SETSEL, length, static_cast<LPARAM>(length), t)) return Outcome::failed;
  // All the lines in one insertion: a visible edit control repaints after each one.
  const std::string text = joined(batch.pieces, length != 0);
  const DWORD insert_timeout = t + static_cast<DWORD>(batch.lines / lines_per_extra_ms);
  if (!send(edit, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()), insert_timeout)) {
    return Outcome::failed;
  }
  if (!send(edit, EM_SCROLLCARET, 0, 0, t)) return Outcome::failed;
  return Outcome::delivered;
}

bool deadline_passed(DWORD deadline) {
  return static_cast<LONG>(GetTickCount() - deadline) >= 0;
}

// At the end, the viewer is told about the lines lost since its last insertion, within
// what is left of the drain time (a little at least); no viewer is started for it.
void tell_lost_at_end(const ViewerSinkOptions& options, std::uint64_t lost, DWORD deadline) {
  if (lost == 0) return;
  const LONG left = static_cast<LONG>(deadline - GetTickCount());
  const DWORD timeout =
      std::min<DWORD>(options.send_timeout_ms, static_cast<DWORD>(std::max<LONG>(left, 100)));
  Batch notice;
  notice.pieces.push_back(dropped_lines_notice(lost));
  deliver(options, notice, nullptr, timeout);
}

// How often lines lost are offered to the viewer again while no line comes.
constexpr DWORD kRetellMs = 500;

DWORD WINAPI worker(void* param) {
  auto& s = *static_cast<ViewerSinkShared*>(param);
  // Lines the viewer window did not take (a message timed out), told with the next lines.
  std::uint64_t unreported = 0;
  AcquireSRWLockExclusive(&s.lock);
  for (;;) {
    while (s.lines.empty() && !s.stopping) {
      const std::uint64_t lost = unreported + s.refused;
      if (lost == 0) {
        SleepConditionVariableSRW(&s.wake, &s.lock, INFINITE, 0);
        continue;
      }
      // Lines were lost and none came since: the viewer is told as soon as it answers
      // again, not only with a next line (no viewer is started for it).
      if (SleepConditionVariableSRW(&s.wake, &s.lock, kRetellMs, 0) || !s.lines.empty() ||
          s.stopping) {
        continue;
      }
      s.refused = 0;
      ReleaseSRWLockExclusive(&s.lock);
      Batch notice;
      notice.pieces.push_back(dropped_lines_notice(lost));
      const bool told =
          deliver(s.options, notice, nullptr, s.options.send_timeout_ms) == Outcome::delivered;
      AcquireSRWLockExclusive(&s.lock);
      unreported = told ? 0 : lost;
    }
    if (s.stopping && (s.lines.empty() || deadline_passed(s.stop_deadline))) {
      // Lines never delivered: the ones not taken, those refused before them and at the end.
      std::uint64_t lost = unreported + s.refused + s.lines.size();
      for (const QueuedLine& line : s.lines) lost += line.refused_before;
      s.stats.abandoned += s.lines.size();
      s.lines.clear();
      s.refused = 0;
      WakeAllConditionVariable(&s.idle);
      const DWORD deadline = s.stop_deadline;
      ReleaseSRWLockExclusive(&s.lock);
      tell_lost_at_end(s.options, lost, deadline);
      return 0;
    }
    const Batch batch = take_batch(s.lines, unreported);
    s.in_hand = batch.lines;
    std::uint64_t starts = 0;
    ReleaseSRWLockExclusive(&s.lock);

    Outcome outcome = deliver(s.options, batch, &starts, s.options.send_timeout_ms);

    AcquireSRWLockExclusive(&s.lock);
    s.in_hand = 0;
    s.stats.start_attempts += starts;
    switch (outcome) {
      case Outcome::delivered:
        s.stats.delivered += batch.lines;
        unreported = 0;
        break;
      case Outcome::no_viewer:
        // Told to a viewer that comes later.
        s.stats.no_viewer += batch.lines;
        unreported = batch.lost + batch.lines;
        break;
      case Outcome::failed:
        s.stats.failed += batch.lines;
        unreported = batch.lost + batch.lines;
        break;
    }
    if (s.lines.empty()) WakeAllConditionVariable(&s.idle);
  }
}

}  // namespace

Win32ViewerTraceSink::Win32ViewerTraceSink(ViewerSinkOptions options)
    : shared_(new ViewerSinkShared(std::move(options))) {
  shared_->thread = CreateThread(nullptr, 0, worker, shared_, 0, nullptr);
}

Win32ViewerTraceSink::~Win32ViewerTraceSink() {
  ViewerSinkShared& s = *shared_;
  AcquireSRWLockExclusive(&s.lock);
  s.stopping = true;
  s.stop_deadline = GetTickCount() + s.options.drain_ms;
  WakeAllConditionVariable(&s.wake);
  ReleaseSRWLockExclusive(&s.lock);
  if (!s.thread) {
    delete shared_;
    return;
  }
  // The worker stops taking lines at the drain deadline; the line in hand may still need
  // its five sends and a viewer start, and the count of lost lines four more sends.
  DWORD limit = s.options.drain_ms + 9 * s.options.send_timeout_ms + 1000;
  if (WaitForSingleObject(s.thread, limit) == WAIT_OBJECT_0) {
    CloseHandle(s.thread);
    delete shared_;
  }
  // Otherwise the worker is stuck in a call it cannot leave; it keeps the shared state,
  // which is left alive for it, and ends with the process.
}

std::intptr_t Win32ViewerTraceSink::send_trace_line(const char* text) {
  if (!text) text = "";  // no text is an empty line, not a crash
  ViewerSinkShared& s = *shared_;
  AcquireSRWLockExclusive(&s.lock);
  // The lines in the worker's hands count: they are waiting too.
  bool room = s.thread != nullptr && s.lines.size() + s.in_hand < s.options.capacity;
  if (room) {
    s.lines.push_back({text, s.refused});
    s.refused = 0;
    ++s.stats.queued;
    WakeConditionVariable(&s.wake);
  } else {
    ++s.stats.dropped;
    ++s.refused;
  }
  ReleaseSRWLockExclusive(&s.lock);
  return room ? 1 : 0;
}

ViewerSinkStats Win32ViewerTraceSink::stats() const {
  AcquireSRWLockExclusive(&shared_->lock);
  ViewerSinkStats copy = shared_->stats;
  ReleaseSRWLockExclusive(&shared_->lock);
  return copy;
}

bool Win32ViewerTraceSink::wait_idle(std::uint32_t timeout_ms) const {
  ViewerSinkShared& s = *shared_;
  const DWORD start = GetTickCount();
  AcquireSRWLockExclusive(&s.lock);
  bool done;
  while (!(done = s.lines.empty() && s.in_hand == 0)) {
    DWORD spent = GetTickCount() - start;
    if (spent >= timeout_ms) break;
    SleepConditionVariableSRW(&s.idle, &s.lock, timeout_ms - spent, 0);
  }
  ReleaseSRWLockExclusive(&s.lock);
  return done;
}

}  // namespace fpu
