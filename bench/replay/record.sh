#!/usr/bin/env bash
# Times --record on 100 painted frames of string art in auto mode (the densest frames the
# demo draws) against the same script run without recording, and against writing each
# frame as a PNG. Prints the median wall time of RUNS runs, the ratio to the baseline, the
# time per frame and the output size.
#   bench/replay/record.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build/default}
runs=${2:-7}
replay="$build/fpu-sample-replay"
[[ -x "$replay" ]] || { echo "no $replay: build first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf 'key V\nkey B\nkey S\nkey T\nrepeat 100\ntick\npaint\nend\n' >"$work/frames.txt"
{
  printf 'key V\nkey B\nkey S\nkey T\n'
  for i in $(seq 100); do printf 'tick\npaint\npng %s/f%03d.png\n' "$work" "$i"; done
} >"$work/pngs.txt"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# time_case NAME SCRIPT OUTPUT ARGS...: median seconds of RUNS runs
time_case() {
  local script=$1
  shift
  for ((r = 0; r < runs; r++)); do
    local start end
    start=$(date +%s.%N)
    "$replay" --trace none "$@" "$script" >/dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN {print b - a}'
  done | median
}

base=$(time_case "$work/frames.txt")
printf '%-28s %10s %8s %12s %12s\n' case median_s ratio ms_per_frame output_kb
report() {  # NAME MEDIAN OUTPUT_BYTES
  printf '%-28s %10.4f %8.2f %12.2f %12d\n' "$1" "$2" "$(awk -v t="$2" -v b="$base" 'BEGIN {print t / b}')" \
    "$(awk -v t="$2" 'BEGIN {print t * 1000 / 101}')" "$(($3 / 1024))"
}
report "100 frames, no output" "$base" 0
t=$(time_case "$work/frames.txt" --record "$work/out.gif")
report "--record" "$t" "$(stat -c %s "$work/out.gif")"
t=$(time_case "$work/frames.txt" --record "$work/out2.gif" --scale 2)
report "--record --scale 2" "$t" "$(stat -c %s "$work/out2.gif")"
t=$(time_case "$work/pngs.txt")
report "png after every paint" "$t" "$(du -cb "$work"/f*.png | tail -1 | cut -f1)"
