# Shared by the Wine tests (sourced, not run). The caller sets:
#   FPU_WIN_BUILD  a Windows build folder (build/mingw32 or build/mingw64)
#   FPU_LINUX_REPLAY  the Linux fpu-sample-replay, whose pictures and lines the tests compare
#   WINEPREFIX, DISPLAY  a prepared Wine prefix and a running X server
# (.ci/extra/50-windows.sh sets all of them up.)
set -euo pipefail

: "${FPU_WIN_BUILD:?set FPU_WIN_BUILD to a Windows build folder}"
: "${FPU_LINUX_REPLAY:?set FPU_LINUX_REPLAY to the Linux fpu-sample-replay}"
: "${WINEPREFIX:?set WINEPREFIX to a prepared Wine prefix}"
: "${DISPLAY:?set DISPLAY to a running X server}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

WIN_BUILD=$(cd "$FPU_WIN_BUILD" && pwd)
FPU_LINUX_REPLAY=$(realpath "$FPU_LINUX_REPLAY")
TEST_NAME=$(basename "$0" .sh)
# The windows' titles, matched exactly, from the names the build read from the code.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/names.sh"
load_names "$WIN_BUILD"
TITLE_REGEX=$(name_pattern "$FPU_WINDOW_TITLE")
VIEWER_TITLE_REGEX=$(name_pattern "$FPU_WIN_VIEWER_TITLE")

work=$(mktemp -d)
program_pid=""

ok() { echo "ok   ${TEST_NAME}: $*"; }
fail() {
  echo "FAIL ${TEST_NAME}: $*" >&2
  exit 1
}

probe() { wine "$WIN_BUILD/fpu-wine-probe.exe" "$@"; }

cleanup() {
  if [[ -n "$program_pid" ]] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
  fi
  probe viewer-close 3000 >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# start_program DIR: runs DIR/fpu-sample.exe in the background and waits for its window;
# sets program_pid and window (the X window id).
start_program() {
  local dir=$1
  if xdotool search --name "$TITLE_REGEX" >/dev/null 2>&1; then
    fail "a program window from before is still open"
  fi
  (cd "$dir" && exec wine fpu-sample.exe) &
  program_pid=$!
  wait_for_window
}

# wait_for_window: waits up to 20 s for the program's window and its first paint; sets window.
wait_for_window() {
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --name "$TITLE_REGEX" 2>/dev/null | head -1 || true)
    [[ -n "$window" ]] && break
    sleep 0.2
  done
  [[ -n "$window" ]] || fail "the program's window did not appear"
  sleep 0.5  # the first paint
}

# wait_exit SECONDS: waits for the program to end and sets exit_status, or fails.
# (Not run in a command substitution: only this shell can wait for its own child.)
wait_exit() {
  local limit=$1
  for _ in $(seq $((limit * 10))); do
    if ! kill -0 "$program_pid" 2>/dev/null; then
      exit_status=0
      wait "$program_pid" || exit_status=$?
      program_pid=""
      return 0
    fi
    sleep 0.1
  done
  fail "the program did not exit within ${limit} s"
}

# shot FILE: a screenshot of the program's window.
# A screen of this test's own, SIZE (e.g. 3840x2160), at 200 % (LogPixels 192) in the
# current prefix: sets DISPLAY and xvfb_pid (the test stops it).
start_screen_at_200() {
  Xvfb -displayfd 3 -screen 0 "$1x24" -noreset -nolisten tcp 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [[ -s "$work/display" ]] || sleep 0.1; done
  [[ -s "$work/display" ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(cat "$work/display")"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null
}

shot() { import -window "$window" "$1"; }

# changes_after ACTION...: runs the action and succeeds if the window's picture changes
# within 3 s.
changes_after() {
  local before="$work/before.png" after="$work/after.png"
  shot "$before"
  "$@"
  for _ in $(seq 15); do
    sleep 0.2
    shot "$after"
    local differing
    differing=$(compare -metric AE "$before" "$after" null: 2>&1 || true)
    [[ "$differing" != "0" ]] && return 0
  done
  return 1
}
