// Where the trace viewer listens, and the messages it understands. Shared by the delivery in
// the program and by the viewer itself.
#pragma once

#include <cstddef>
#include <string>

namespace fpu::viewer {

// File names inside the endpoint directory.
inline constexpr const char kSocketName[] = "fpu-trace-viewer.sock";
inline constexpr const char kLockName[] = "fpu-trace-viewer.lock";
// The viewer program, looked for beside the running executable.
inline constexpr const char kProgramName[] = "fpu-trace-viewer";

// Every message on the viewer's SOCK_SEQPACKET endpoint starts with one tag byte.
inline constexpr char kTagLine = 'L';   // the rest is one line of text: append it
inline constexpr char kTagText = 'T';   // query: the viewer replies kTagText + its whole text
inline constexpr char kTagPing = 'P';   // query: the viewer replies kTagPing
inline constexpr char kTagError = 'E';  // reply: the query could not be answered
// Longest message the viewer accepts, tag included; longer ones are dropped.
inline constexpr std::size_t kMaxMessage = 4096;
// Longest text reply; a longer text is answered with kTagError.
inline constexpr std::size_t kMaxTextReply = 200000;

// The per-user directory: $XDG_RUNTIME_DIR when it is usable (absolute, a real directory of
// ours, closed to others), else <TMPDIR or /tmp>/fpu-trace-<uid>. The latter is not created here.
std::string default_endpoint_dir();

// True when `dir` is a directory (not a symlink) owned by us with mode 0700.
bool is_private_dir(const std::string& dir);

// Why `dir` is not such a directory, in words for a message; "" when it is one.
std::string private_dir_problem(const std::string& dir);

// Creates `dir` with mode 0700 when missing, then checks it with is_private_dir. On failure
// `why` (when given) says what is wrong, naming a missing parent folder as missing.
bool ensure_private_dir(const std::string& dir, std::string* why = nullptr);

// dir + "/" + kSocketName, or "" when it does not fit in a socket address.
std::string socket_path(const std::string& dir);

// The directory of the running executable (from /proc/self/exe), or "" when unknown.
std::string running_executable_dir();

}  // namespace fpu::viewer
