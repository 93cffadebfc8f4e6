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
#              utime + stime in /proc/PID/stat; the target is under 5 %;
#   memory     peak resident set (VmHWM) at the end.
# Baselines measured in the same run: xlogo (a minimal X client from x11-apps) for start-up
# and memory; for CPU, the same auto + string-art frames drawn headless by fpu-sample-replay
# (so the ratio is what showing a frame costs on top of drawing it). Prints the median of
# RUNS runs and the ratios.
#   measure.sh [FPU_SAMPLE [FPU_SAMPLE_REPLAY]]   (default: build/default/fpu-sample and
#                                                  the replay tool beside it)
set -euo pipefail

root=$(realpath "$(dirname "$0")/../..")
sample=$(realpath "${1:-$root/build/default/fpu-sample}")
replay=$(realpath "${2:-$(dirname "$sample")/fpu-sample-replay}")
for program in "$sample" "$replay"; do
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
load_names "$(dirname "$sample")"
require_tools Xvfb xdotool import convert xlogo

export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
start_xvfb
ticks_per_second=$(getconf CLK_TCK)

now_ms() { echo $(($(date +%s%N) / 1000000)); }

cpu_ticks() {  # utime + stime of PID, in clock ticks
  local stat
  stat=$(<"/proc/$1/stat")
  stat=${stat##*) }  # fields after the command name, which may hold blanks
  local fields
  read -ra fields <<<"$stat"
  echo $((fields[11] + fields[12]))
}

percent() {  # CPU ticks over SECONDS as a share of one core
  awk -v t="$1" -v hz="$ticks_per_second" -v s="$2" 'BEGIN {printf "%.2f\n", 100 * t / hz / s}'
}

peak_kb() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status"; }

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

non_black() {  # true when a screenshot of the window has a pixel that is not black
  local max
  max=$(import -window "$1" -format '%[fx:maxima.r + maxima.g + maxima.b]' info: 2>/dev/null) ||
    return 1
  [[ "$max" != 0 ]]
}

run_sample() {
  local start mapped shown
  start=$(now_ms)
  "$sample" 2>>"$WORK/sample.err" &
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
  echo $((mapped - start)) >>"$WORK/mapped"
  echo $((shown - start)) >>"$WORK/shown"

  xdotool mousemove 960 540  # keys follow the pointer without a window manager
  local before after
  before=$(cpu_ticks "$PID")
  sleep "$IDLE_SECONDS"
  after=$(cpu_ticks "$PID")
  percent "$((after - before))" "$IDLE_SECONDS" >>"$WORK/idle"

  xdotool key Left t s
  sleep 0.5  # let the first string-art frames settle
  before=$(cpu_ticks "$PID")
  sleep "$BUSY_SECONDS"
  after=$(cpu_ticks "$PID")
  percent "$((after - before))" "$BUSY_SECONDS" >>"$WORK/busy"
  peak_kb "$PID" >>"$WORK/peak"

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

# CPU milliseconds per frame headless: the same keys, then one tick and one paint per frame.
frames=200
{
  printf 'key LEFT\npaint\nkey T\npaint\nkey S\npaint\nrepeat %d\ntick\npaint\nend\n' "$frames"
} >"$WORK/frames.txt"
run_headless() {
  local before after
  before=$(awk '{print $14 + $15 + $16 + $17}' /proc/$$/stat)  # includes waited-for children
  "$replay" --trace none "$WORK/frames.txt" >/dev/null
  after=$(awk '{print $14 + $15 + $16 + $17}' /proc/$$/stat)
  awk -v t="$((after - before))" -v hz="$ticks_per_second" -v n="$frames" \
    'BEGIN {printf "%.3f\n", 1000 * t / hz / n}' >>"$WORK/headless"
}

for ((run = 0; run < RUNS; run++)); do
  run_baseline
  run_headless
  run_sample
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
mapped=$(median <"$WORK/mapped")
shown=$(median <"$WORK/shown")
base_mapped=$(median <"$WORK/base_mapped")
idle=$(median <"$WORK/idle")
busy=$(median <"$WORK/busy")
peak=$(median <"$WORK/peak")
headless=$(median <"$WORK/headless")
# 20 frames a second in auto mode: busy % of a core -> CPU ms per frame.
windowed=$(awk -v p="$busy" 'BEGIN {printf "%.3f", p / 100 * 1000 / 20}')
base_peak=$(median <"$WORK/base_peak")

echo "fpu-sample window bench, median of $RUNS runs ($(nproc) cores, Xvfb 1920x1080x24)"
echo "  start -> window mapped:        ${mapped} ms   (xlogo ${base_mapped} ms, ratio $(ratio "$mapped" "$base_mapped"))"
echo "  start -> first frame on screen: <= ${shown} ms (screenshot polling)"
echo "  CPU idle, auto mode off:       ${idle} % of one core over ${IDLE_SECONDS} s"
echo "  CPU auto + string-art:         ${busy} % of one core over ${BUSY_SECONDS} s (target < 5 %)"
echo "    per frame: ${windowed} ms windowed, ${headless} ms drawn headless (ratio $(ratio "$windowed" "$headless"))"
echo "  peak memory (VmHWM):           ${peak} kB  (xlogo ${base_peak} kB, ratio $(ratio "$peak" "$base_peak"))"
echo "  per-run values: mapped [$(paste -sd' ' "$WORK/mapped")] busy [$(paste -sd' ' "$WORK/busy")]"
