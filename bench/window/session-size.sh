#!/usr/bin/env bash
# What --save-script costs on disk: the real window on its own Xvfb screen plays SECONDS
# (default 60) of random mode with string art on, then Escape; prints the saved script's
# bytes, lines and ticks, and the bytes per minute (not a ctest).
#   session-size.sh [FPU_SAMPLE] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sample=$(realpath "${1:-$here/../../build/default/fpu-sample}")
seconds=${2:-60}
WORK=$(mktemp -d)
SAMPLE_PID=
# shellcheck source=../../tests/e2e/x_session.sh
source "$here/../../tests/e2e/x_session.sh"
load_names "$(dirname "$sample")"
trap 'if [[ -n "$SAMPLE_PID" ]]; then kill "$SAMPLE_PID" 2>/dev/null || true; fi; stop_xvfb; rm -rf "$WORK"' EXIT
start_xvfb
"$sample" --trace none --save-script "$WORK/session.txt" &
SAMPLE_PID=$!
window=$(find_window)
xdotool mousemove --window "$window" 350 327 key s key v key b key r
sleep "$seconds"
xdotool key Escape
wait "$SAMPLE_PID"
SAMPLE_PID=
bytes=$(wc -c <"$WORK/session.txt")
echo "$seconds s of random mode: $bytes bytes, $(wc -l <"$WORK/session.txt") lines," \
  "$(grep -c '^tick [0-9]' "$WORK/session.txt") ticks with their values;" \
  "$((bytes * 60 / seconds)) bytes a minute"
