#!/usr/bin/env bash
# Bench of the Linux window on its own Xvfb screen (not a ctest). Per run:
#   start-up   time from starting fpu-sample until its window is visible (xdotool search,
#              polled back to back, a few ms apart), and until a screenshot of it is no
#              longer all black, i.e. the first presented frame has arrived (an upper bound:
#              one screenshot takes about 40 ms);
#   idle CPU   share of one core over IDLE_SECONDS with auto mode off (nothing to do: shows
#              the loop sleeps);
#   busy CPU   share of one core over BUSY_SECONDS in auto + string-art mode (keys Left, T,
#              S: Left first so that no frame turns about Z and no trace line is sent), from
#              utime + stime in /proc/PID/stat; the target is under 2 %;
#   memory     peak resident set (VmHWM) at the end.
# Baselines measured in the same run: xlogo (a minimal X client from x11-apps) for start-up
# and memory; for CPU, the same auto + string-art frames drawn headless by fpu-sample-replay
# (so the ratio is what showing a frame costs on top of drawing it). Prints the median of
# RUNS runs and the ratios.
#   measure.sh [BUILD ...]   each BUILD a build folder holding fpu-sample and
#                            fpu-sample-replay, or the fpu-sample program itself (default:
#                            build/default). With several, their runs take turns within each
#                            round, so a before/after pair sees the same machine; each figure
#                            is printed once per build, in the order given.
set -euo pipefail

root=$(realpath "$(dirname "$0")/../..")
[[ $# -gt 0 ]] || set -- "$root/build/default"
samples=()
replays=()
for build in "$@"; do
  if [[ -d "$build" ]]; then build="$build/fpu-sample"; fi
  samples+=("$(realpath "$build")")
  replays+=("$(dirname "${samples[-1]}")/fpu-sample-replay")
done
for program in "${samples[@]}" "${replays[@]}"; do
  [[ -x "$program" ]] || {
    echo "no program at $program; build it first" >&2
    exit 1
  }
done
RUNS=${RUNS:-3}
IDLE_SECONDS=${IDLE_SECONDS:-5}
BUSY_SECONDS=${BUSY_SECONDS:-10}

WORK=$(mktemp -d)
PID=
cleanup() {
  if [[ -n "$PID" ]]; then kill "$PID" 2>/dev/null || true; fi
  stop_xvfb
  rm -rf "$WORK"
}
trap cleanup EXIT

# shellcheck source=../../tests/e2e/x_session.sh
source "$root/tests/e2e/x_session.sh"
load_names "$(dirname "${samples[0]}")"
require_tools Xvfb xdotool import convert xlogo

export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
start_xvfb

now_ms() { echo $(($(date +%s%N) / 1000000)); }

cpu_ns() {  # CPU time of every thread of PID so far, in ns (schedstat: exact, not ticks)
  local total=0 task ns
  for task in /proc/"$1"/task/*/schedstat; do
    read -r ns _ <"$task" 2>/dev/null || continue
    total=$((total + ns))
  done
  echo "$total"
}

percent() {  # CPU ns over SECONDS as a share of one core
  awk -v t="$1" -v s="$2" 'BEGIN {printf "%.3f\n", 100 * t / 1e9 / s}'
}

peak_kb() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status"; }

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

non_black() {  # true when a screenshot of the window has a pixel that is not black
  local max
  max=$(import -window "$1" -format '%[fx:maxima.r + maxima.g + maxima.b]' info: 2>/dev/null) ||
    return 1
  [[ "$max" != 0 ]]
}

run_sample() {  # run_sample BUILD_INDEX
  local b=$1 start mapped shown
  start=$(now_ms)
  "${samples[b]}" 2>>"$WORK/sample.err" &
  PID=$!
  local window=""
  local i
  for ((i = 0; i < 2000; i++)); do
    # Polled here: `xdotool search --sync` looks only every 500 ms.
    window=$(xdotool search --onlyvisible --name "$(name_pattern "$FPU_WINDOW_TITLE")" 2>/dev/null) && break
  done
  [[ -n "$window" ]] || fail "the window did not appear"
  mapped=$(now_ms)
  for ((i = 0; i < 500; i++)); do
    non_black "$window" && break
    sleep 0.01
  done
  shown=$(now_ms)
  echo $((mapped - start)) >>"$WORK/mapped.$b"
  echo $((shown - start)) >>"$WORK/shown.$b"

  xdotool mousemove 960 540  # keys follow the pointer without a window manager
  local before after
  before=$(cpu_ns "$PID")
  sleep "$IDLE_SECONDS"
  after=$(cpu_ns "$PID")
  percent "$((after - before))" "$IDLE_SECONDS" >>"$WORK/idle.$b"

  xdotool key Left t s
  sleep 0.5  # let the first string-art frames settle
  before=$(cpu_ns "$PID")
  sleep "$BUSY_SECONDS"
  after=$(cpu_ns "$PID")
  percent "$((after - before))" "$BUSY_SECONDS" >>"$WORK/busy.$b"
  peak_kb "$PID" >>"$WORK/peak.$b"

  xdotool key Escape
  wait_exit_within "$PID" 2
  PID=
}

run_baseline() {
  local start
  start=$(now_ms)
  xlogo 2>/dev/null &
  PID=$!
  local i
  for ((i = 0; i < 2000; i++)); do
    xdotool search --onlyvisible --classname '^xlogo$' >/dev/null 2>&1 && break
  done
  echo $(($(now_ms) - start)) >>"$WORK/base_mapped"
  sleep 0.2
  peak_kb "$PID" >>"$WORK/base_peak"
  kill "$PID"
  wait "$PID" 2>/dev/null || true
  PID=
}

# CPU milliseconds per frame headless: the same keys, then one tick and one paint per frame
# (the child's user + system time, to the microsecond).
frames=${HEADLESS_FRAMES:-1000}
{
  printf 'key LEFT\npaint\nkey T\npaint\nkey S\npaint\nrepeat %d\ntick\npaint\nend\n' "$frames"
} >"$WORK/frames.txt"
run_headless() {  # run_headless BUILD_INDEX
  local b=$1
  python3 - "${replays[b]}" "$WORK/frames.txt" "$frames" >>"$WORK/headless.$b" <<'PY'
import os, resource, subprocess, sys
subprocess.run([sys.argv[1], "--trace", "none", sys.argv[2]], stdout=subprocess.DEVNULL, check=True)
used = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.4f" % (1000 * (used.ru_utime + used.ru_stime) / int(sys.argv[3])))
PY
}

for ((run = 0; run < RUNS; run++)); do
  run_baseline
  for ((b = 0; b < ${#samples[@]}; b++)); do
    run_headless "$b"
    run_sample "$b"
  done
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
base_mapped=$(median <"$WORK/base_mapped")
base_peak=$(median <"$WORK/base_peak")
echo "fpu-sample window bench, median of $RUNS runs ($(nproc) cores, Xvfb 1920x1080x24)"
for ((b = 0; b < ${#samples[@]}; b++)); do
  mapped=$(median <"$WORK/mapped.$b")
  shown=$(median <"$WORK/shown.$b")
  idle=$(median <"$WORK/idle.$b")
  busy=$(median <"$WORK/busy.$b")
  peak=$(median <"$WORK/peak.$b")
  headless=$(median <"$WORK/headless.$b")
  # 20 frames a second in auto mode: busy % of a core -> CPU ms per frame.
  windowed=$(awk -v p="$busy" 'BEGIN {printf "%.4f", p / 100 * 1000 / 20}')
  echo "${samples[b]}"
  echo "  start -> window mapped:        ${mapped} ms   (xlogo ${base_mapped} ms, ratio $(ratio "$mapped" "$base_mapped"))"
  echo "  start -> first frame on screen: <= ${shown} ms (screenshot polling)"
  echo "  CPU idle, auto mode off:       ${idle} % of one core over ${IDLE_SECONDS} s"
  echo "  CPU auto + string-art:         ${busy} % of one core over ${BUSY_SECONDS} s (target < 2 %)"
  echo "    per frame: ${windowed} ms windowed, ${headless} ms drawn headless (ratio $(ratio "$windowed" "$headless"))"
  echo "  peak memory (VmHWM):           ${peak} kB  (xlogo ${base_peak} kB, ratio $(ratio "$peak" "$base_peak"))"
  echo "  per-run values: mapped [$(paste -sd' ' "$WORK/mapped.$b")] busy [$(paste -sd' ' "$WORK/busy.$b")] headless [$(paste -sd' ' "$WORK/headless.$b")] peak [$(paste -sd' ' "$WORK/peak.$b")]"
done
