#!/usr/bin/env bash
# A saved session of 10 minutes of random mode (what fpu-sample --save-script writes: a
# tick with its tick count and three values, then a paint, 20 times a second) replays in
# bounded memory: its peak resident memory is that of a 1-minute session, give or take
# what the parsed script itself takes (a few bytes a line).
#   run_long_session.sh REPLAY
set -euo pipefail
replay=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# session MINUTES > FILE: random mode on, then the ticks, then Escape.
session() {
  awk -v ticks=$(($1 * 60 * 20)) 'BEGIN {
    srand(7); t = 4000000000
    print "# fpu-sample session (--save-script)"; printf "start %.0f\n", t
    print "key R"; print "paint"
    for (i = 0; i < ticks; i++) {
      t = (t + 48 + int(rand() * 5)) % 4294967296
      printf "tick %.0f %d %d %d\npaint\n", t, int(rand() * 65536), int(rand() * 65536), int(rand() * 65536)
    }
    print "key ESCAPE"
  }'
}

peak_kb() {
  /usr/bin/time -o "$work/time.txt" -f %M "$replay" --trace none "$1" >"$work/out.txt" ||
    { echo "FAIL: $1 did not replay: $(head -c 300 "$work/out.txt")"; exit 1; }
  [[ "$(cat "$work/out.txt")" == '{"quit":0}' ]] || { echo "FAIL: $1 printed $(head -c 200 "$work/out.txt")"; exit 1; }
  tail -n 1 "$work/time.txt"
}

session 1 >"$work/1.txt"
session 10 >"$work/10.txt"
one=$(peak_kb "$work/1.txt")
ten=$(peak_kb "$work/10.txt")
echo "1 minute: $(wc -c <"$work/1.txt") bytes, peak ${one} KB; 10 minutes: $(wc -c <"$work/10.txt") bytes, peak ${ten} KB"
# The parsed form of 9 more minutes (21,600 lines) is well under 1 MB.
((ten - one < 2048)) || { echo "FAIL: 10 minutes peak at ${ten} KB, 1 minute at ${one} KB"; exit 1; }
