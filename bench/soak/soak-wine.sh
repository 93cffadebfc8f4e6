#!/usr/bin/env bash
# The soak of soak.sh for the Windows build under Wine (not a ctest): fpu-sample.exe on its
# own Xvfb screen and Wine prefix in random mode with string art and a trace line for every
# index (keys R, S, Y) for SOAK_SECONDS (default 300). Every KILL_EVERY seconds the viewer
# (fpu-trace-viewer.exe) is killed; the program starts a new one. Every SAMPLE_EVERY seconds
# the program's resident memory, open descriptors and threads (of its Wine process) are
# recorded.
#   soak-wine.sh [WINDOWS_BUILD]   (default build/mingw32; build it with its preset first)
set -euo pipefail

root=$(realpath "$(dirname "$0")/../..")
build=$(realpath "${1:-$root/build/mingw32}")
[[ -f "$build/fpu-sample.exe" && -f "$build/fpu-trace-viewer.exe" ]] || {
  echo "no fpu-sample.exe and fpu-trace-viewer.exe in $build; build them first" >&2
  exit 1
}
SOAK_SECONDS=${SOAK_SECONDS:-300}
KILL_EVERY=${KILL_EVERY:-30}
SAMPLE_EVERY=${SAMPLE_EVERY:-10}

WORK=$(mktemp -d)
JOB=
cleanup() {
  stop_wine_prefix
  if [[ -n "$JOB" ]]; then kill "$JOB" 2>/dev/null || true; fi
  stop_xvfb
  rm -rf "$WORK"
}
trap cleanup EXIT

# shellcheck source=../../tests/e2e/x_session.sh
source "$root/tests/e2e/x_session.sh"
load_names "$build"
# shellcheck source=sampling.sh
source "$root/bench/soak/sampling.sh"
# shellcheck source=../../scripts/lib/wine.sh
source "$root/scripts/lib/wine.sh"
require_tools Xvfb xdotool wine wineserver

# The process running NAME in this run's prefix (other Wine sessions may run the same names).
wine_pid() {
  local pid
  for pid in $(pgrep -f -- "$1" || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
      return
    fi
  done
}
program_viewer() { wine_pid 'fpu-trace-viewer\.exe'; }

start_xvfb
start_wine_prefix "$WORK/prefix" 60

(cd "$build" && exec wine fpu-sample.exe) >"$WORK/sample.out" 2>"$WORK/sample.err" &
JOB=$!
window=$(find_window)
sleep 1
program=$(wine_pid 'fpu-sample\.exe')
[[ -n "$program" ]] || fail "no Wine process runs fpu-sample.exe"
xdotool key r s y

soak_samples "$program" fpu-sample.exe program_viewer

# The viewer may hold the keyboard focus: a click on the program's caption gives it back.
xdotool mousemove --window "$window" 300 8 click 1
sleep 0.3
xdotool key Escape
wait_exit_within "$JOB" 20
JOB=
soak_summary "$EXIT_STATUS"
