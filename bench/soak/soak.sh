#!/usr/bin/env bash
# Soak of the Linux window (not a ctest): fpu-sample on its own Xvfb screen in random mode
# with string art and a trace line for every index (keys R, S, Y), for SOAK_SECONDS. Every
# KILL_EVERY seconds the trace viewer is killed; the program starts a new one with its next
# lines. Every SAMPLE_EVERY seconds the program's resident memory, open descriptors and
# threads are recorded. The curves must be flat: whatever grows is a leak.
#   soak.sh [FPU_SAMPLE]   (default build/default/fpu-sample; the viewer sits beside it)
# Prints one line per sample (seconds rss_kb fds threads viewer_pid viewer_rss_kb) and a
# summary: first and last values, the largest of each, and the number of viewers seen.
set -euo pipefail

root=$(realpath "$(dirname "$0")/../..")
sample=$(realpath "${1:-$root/build/default/fpu-sample}")
[[ -x "$sample" ]] || {
  echo "no program at $sample; build it first" >&2
  exit 1
}
SOAK_SECONDS=${SOAK_SECONDS:-600}
KILL_EVERY=${KILL_EVERY:-30}
SAMPLE_EVERY=${SAMPLE_EVERY:-10}

WORK=$(mktemp -d)
PID=
cleanup() {
  if [[ -n "$PID" ]]; then kill "$PID" 2>/dev/null || true; fi
  local viewer
  viewer=$(viewer_pid)
  if [[ -n "$viewer" ]]; then kill "$viewer" 2>/dev/null || true; fi
  stop_xvfb
  rm -rf "$WORK"
}
trap cleanup EXIT

# shellcheck source=../../tests/e2e/x_session.sh
source "$root/tests/e2e/x_session.sh"
load_names "$(dirname "$sample")"
# shellcheck source=sampling.sh
source "$root/bench/soak/sampling.sh"
require_tools Xvfb xdotool

# A folder of this run's own, so the viewer found is the one this program started.
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The viewer serving this run's folder, found by the folder it was started with.
viewer_pid() {
  local pid
  for pid in $(pgrep -f -- "fpu-trace-viewer --dir $XDG_RUNTIME_DIR\$" || true); do
    echo "$pid"
    return
  done
}

start_xvfb
"$sample" >"$WORK/sample.out" 2>"$WORK/sample.err" &
PID=$!
window=$(find_window)
sleep 0.5
xdotool key r s y

soak_samples "$PID" fpu-sample viewer_pid

xdotool windowfocus "$window" key Escape
wait_exit_within "$PID" 10
PID=
soak_summary "$EXIT_STATUS"
echo "stderr of fpu-sample: $(wc -l <"$WORK/sample.err") lines"
head -5 "$WORK/sample.err"
