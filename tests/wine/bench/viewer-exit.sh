#!/usr/bin/env bash
# How long the Windows viewer takes to end under Wine + openbox once its window is closed
# (as a user closes it, through the window manager) and once its process gets SIGTERM:
# medians of RUNS runs (default 3). Same environment as the Wine tests. Not run by CI.
source "$(dirname "$0")/../common.bash"

command -v openbox >/dev/null || fail "no openbox"
probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
wm_pid=""
managed() { wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$1" /f >/dev/null; }
restore() {
  [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null || true
  managed N || true
  cleanup
}
trap restore EXIT
managed Y
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!

now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
# Opens the viewer with the program's dump key; sets viewer (its X window) and viewer_pid.
open_viewer() {
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  xdotool key w
  probe viewer-text 9 10000 >/dev/null || fail "the viewer did not get the dump's lines"
  viewer=$(xdotool search --name "$VIEWER_TITLE_REGEX" | head -1)
  viewer_pid=$(xdotool getwindowpid "$viewer")
  [[ -n "$viewer_pid" ]] || fail "no viewer process"
  sleep 1
}
# Milliseconds until the viewer's process has ended: gone, or a zombie (Wine's processes
# are reparented to the first process, whose reaping is no part of the viewer's exit).
gone_after() {
  local start=$1 state
  while state=$(awk '{print $3}' "/proc/$viewer_pid/stat" 2>/dev/null) && [[ "$state" != Z ]]; do
    sleep 0.005
  done
  echo $(($(now_ms) - start))
}

start_program "$WIN_BUILD"
closed=() termed=()
for ((run = 0; run < ${RUNS:-3}; run++)); do
  open_viewer
  t=$(now_ms)
  wmctrl -i -c "$viewer"
  closed+=("$(gone_after "$t")")
  open_viewer
  t=$(now_ms)
  kill -TERM "$viewer_pid"
  termed+=("$(gone_after "$t")")
done
echo "viewer under Wine: ended $(median "${closed[@]}") ms after its window was closed" \
  "(${closed[*]}), $(median "${termed[@]}") ms after SIGTERM (${termed[*]})"
xdotool windowactivate --sync "$window" 2>/dev/null || true
xdotool key Escape
wait_exit 10
