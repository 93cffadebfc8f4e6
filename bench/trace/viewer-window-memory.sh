#!/usr/bin/env bash
# The windowed viewer's resident memory once its window is up (3 s on a private Xvfb screen
# under openbox), its peak under a flood of string-art lines (FLOOD_SECONDS, default 60,
# sent by bench/trace/viewer_flood), and how long it takes to end after SIGTERM and after
# its window is closed, for each viewer given (e.g. a build of the commit before a change
# and this one, side by side in one run). Each figure is the median of RUNS runs (default 3).
#   viewer-window-memory.sh [VIEWER ...]   (default build/default/fpu-trace-viewer)
set -euo pipefail
root=$(realpath "$(dirname "$0")/../..")
[[ $# -gt 0 ]] || set -- "$root/build/default/fpu-trace-viewer"
flood=${FLOOD:-$root/build/default/bench/trace/viewer_flood}
seconds=${FLOOD_SECONDS:-60}
runs=${RUNS:-3}
source "$root/scripts/lib/xvfb.sh"
work=$(mktemp -d)
wm_pid=
trap '[[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null; stop_xvfb; rm -rf "$work"' EXIT
start_xvfb
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!

hwm() { sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$1/status"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
# Starts VIEWER on its own endpoint; sets pid and dir.
start() {
  dir=$(mktemp -d "$work/endpoint.XXXXXX")
  "$1" --dir "$dir" >/dev/null 2>&1 &
  pid=$!
}
# Milliseconds until process $pid ends (it is this shell's child).
ended_after() {
  local start=$1
  while kill -0 "$pid" 2>/dev/null; do sleep 0.005; done
  wait "$pid" || true
  echo $(($(now_ms) - start))
}

for viewer in "$@"; do
  idle=() peak=() term=() close=()
  for ((run = 0; run < runs; run++)); do
    start "$viewer"
    sleep 3
    idle+=("$(hwm "$pid")")
    if [[ "$seconds" -gt 0 ]]; then
      "$flood" art "$seconds" "$dir" >"$work/flood.txt"
      peak+=("$(hwm "$pid")")
    fi
    t=$(now_ms)
    kill -TERM "$pid"
    term+=("$(ended_after "$t")")
    # Closed as a user closes it: the window manager asks the window to close.
    start "$viewer"
    window=$(timeout 10 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -1)
    sleep 1
    t=$(now_ms)
    wmctrl -i -c "$window"
    close+=("$(ended_after "$t")")
  done
  echo "$viewer ($runs runs, medians): peak $(median "${idle[@]}") kB with its window up;" \
    "${peak:+peak $(median "${peak[@]}") kB under a ${seconds} s flood ($(cut -d, -f1 "$work/flood.txt"));}" \
    "ended $(median "${term[@]}") ms after SIGTERM, $(median "${close[@]}") ms after its window was closed"
  echo "  runs: idle ${idle[*]} kB; flood ${peak[*]:-} kB; SIGTERM ${term[*]} ms; close ${close[*]} ms"
done
