// Where the trace viewer listens, and the messages it understands. Shared by the delivery in
// the program and by the viewer itself.
#pragma once

#include <cstddef>
#include <string>

namespace fpu::viewer {

// Names inside the endpoint directory begin with this; see endpoint_name.
inline constexpr const char kEndpointPrefix[] = "fpu-trace-viewer";
// The viewer program, looked for beside the running executable.
inline constexpr const char kProgramName[] = "fpu-trace-viewer";

// Every message on the viewer's SOCK_SEQPACKET endpoint starts with one tag byte.
inline constexpr char kTagLine = 'L';   // the rest is one line of text: append it
inline constexpr char kTagText = 'T';   // query: the viewer replies kTagText + its whole text
inline constexpr char kTagPing = 'P';   // query: the viewer replies kTagPing
inline constexpr char kTagError = 'E';  // reply: the query could not be answered
// The rest is a decimal count of lines the sender dropped since its last line reached the
// viewer; the viewer shows it as a line of its own (fpu::dropped_lines_notice).
inline constexpr char kTagDropped = 'D';
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

// The endpoint's name for a display, so that programs on different displays each get a
// viewer of their own: kEndpointPrefix, then "-" and the display name with the screen number
// dropped and anything but letters, digits, '.' and '-' made '_' (":61.0" gives
// "fpu-trace-viewer-_61"). The X display wins over a Wayland one; no display gives the
// prefix alone.
std::string endpoint_name(const char* x_display, const char* wayland_display);
// endpoint_name of this process's DISPLAY and WAYLAND_DISPLAY.
std::string endpoint_name();

// dir + "/" + endpoint_name() + ".sock", or "" when it does not fit in a socket address.
std::string socket_path(const std::string& dir);
// dir + "/" + endpoint_name() + ".lock": held by the viewer serving that endpoint.
std::string lock_path(const std::string& dir);

// The directory of the running executable (from /proc/self/exe), or "" when unknown.
std::string running_executable_dir();

}  // namespace fpu::viewer
