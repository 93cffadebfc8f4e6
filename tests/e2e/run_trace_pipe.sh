#!/usr/bin/env bash
# The demo's window never waits on its trace output. With --trace stdout into a pipe nobody
# reads, a flood of trace lines (string art, every index traced, auto mode) must leave the
# window answering: Escape ends it at once, and the lines it dropped are counted on standard
# error. When the reader goes (`| head -1`), tracing stops with one line on standard error
# and the demo goes on until Escape.
#   run_trace_pipe.sh FPU_SAMPLE
set -euo pipefail

sample=$(realpath "$1")
here=$(dirname "$(realpath "$0")")

WORK=$(mktemp -d)
SAMPLE_PID=
READER_PID=
cleanup() {
  if [[ -n "$SAMPLE_PID" ]]; then kill "$SAMPLE_PID" 2>/dev/null || true; fi
  if [[ -n "$READER_PID" ]]; then kill "$READER_PID" 2>/dev/null || true; fi
  stop_xvfb
  rm -rf "$WORK"
}
trap cleanup EXIT

# shellcheck source=x_session.sh
source "$here/x_session.sh"
load_names "$(dirname "$sample")"
require_tools Xvfb xdotool
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
start_xvfb

# run_case NAME READER...: the demo's standard output goes through a FIFO to READER.
run_case() {
  local name=$1
  shift
  mkfifo "$WORK/$name.fifo"
  "$@" <"$WORK/$name.fifo" >"$WORK/$name.read" &
  READER_PID=$!
  "$sample" --trace stdout >"$WORK/$name.fifo" 2>"$WORK/$name.err" &
  SAMPLE_PID=$!
  local window
  window=$(find_window)
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  # String art between offset rings, every index traced, redrawn every 50 ms.
  xdotool key v v b b s 1 y t
  sleep 3
  kill -0 "$SAMPLE_PID" 2>/dev/null || fail "$name: the demo ended before Escape: $(cat "$WORK/$name.err")"
  xdotool key Escape
  wait_exit_within "$SAMPLE_PID" 3
  SAMPLE_PID=
  [[ "$EXIT_STATUS" -eq 0 ]] || fail "$name: exit status $EXIT_STATUS: $(cat "$WORK/$name.err")"
}

run_case stalled sleep 1000
grep -qE '^fpu-sample: [0-9]+ of [0-9]+ trace lines were dropped: standard output was not read in time$' \
  "$WORK/stalled.err" || fail "stalled: no count of dropped lines: $(cat "$WORK/stalled.err")"
kill "$READER_PID" 2>/dev/null || true
READER_PID=
echo "a reader that never reads: Escape still ends the demo, and the dropped lines are counted"

run_case closed head -n 1
READER_PID=
[[ $(grep -c 'standard output was closed: trace lines are no longer written' "$WORK/closed.err") == 1 ]] ||
  fail "closed: want one line saying tracing stopped: $(cat "$WORK/closed.err")"
[[ $(cat "$WORK/closed.read") == '{"trace":'* ]] || fail "closed: the reader got $(cat "$WORK/closed.read")"
echo "a reader that goes away: tracing stops with one line, the demo goes on until Escape"
