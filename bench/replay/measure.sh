#!/usr/bin/env bash
# Times fpu-sample-replay on generated scripts of mixed lines (keys, mouse moves, ticks and
# paints in string-art mode) and reports the median wall time and the peak memory per size,
# so that memory can be seen not to grow with script length.
#   bench/replay/measure.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build/default}
runs=${2:-5}
replay="$build/fpu-sample-replay"
[[ -x "$replay" ]] || { echo "no $replay: build first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two set-up lines, then blocks of 10 lines; string art on, auto mode on.
make_script() {
  local lines=$1
  {
    echo "key S"
    echo "key T"
    local blocks=$(((lines - 2) / 10))
    for ((i = 0; i < blocks; i++)); do
      printf 'key F1\nmouse ldown 100 100 1\nmouse move 110 100 1\nmouse move 110 115 1\ntick\npaint\nkey OEM_COMMA\nmouse move 300 300 2\nkey LEFT\npaint\n'
    done
  } >"$work/script-$lines.txt"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

printf '%-8s %12s %14s %12s\n' lines median_s us_per_line peak_rss_kb
for lines in 1002 10002 100002; do
  make_script "$lines"
  : >"$work/times"
  : >"$work/rss"
  for ((r = 0; r < runs; r++)); do
    /usr/bin/time -f '%e %M' -o "$work/t" "$replay" --trace none "$work/script-$lines.txt" >/dev/null
    read -r secs rss <"$work/t"
    echo "$secs" >>"$work/times"
    echo "$rss" >>"$work/rss"
  done
  t=$(median <"$work/times")
  m=$(median <"$work/rss")
  printf '%-8s %12s %14.2f %12s\n' "$lines" "$t" "$(awk -v t="$t" -v n="$lines" 'BEGIN { print t * 1000000 / n }')" "$m"
done
