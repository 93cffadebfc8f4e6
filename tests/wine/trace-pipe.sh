#!/usr/bin/env bash
# With --trace stdout into a pipe nobody reads, a flood of trace lines leaves the window
# answering: Escape ends it at once and the dropped lines are counted on standard error.
# When the reader goes away (`| head -n 1`), tracing stops with one line and the demo goes on.
source "$(dirname "$0")/common.bash"

# run_piped NAME READER...: the program's standard output goes through a FIFO to READER.
run_piped() {
  local name=$1
  shift
  mkfifo "$work/$name.fifo"
  "$@" <"$work/$name.fifo" >"$work/$name.read" &
  reader_pid=$!
  (cd "$WIN_BUILD" && exec wine fpu-sample.exe --trace stdout >"$work/$name.fifo" 2>"$work/$name.err") &
  program_pid=$!
  wait_for_window
  # String art between offset rings, every index traced, redrawn every 50 ms.
  for key in v v b b s 1 y t; do xdotool key "$key"; done
  sleep 3
  changes_after xdotool key Left || fail "$name: the program stopped answering"
  xdotool key Escape
  wait_exit 5
  [[ "$exit_status" == 0 ]] || fail "$name: exit status $exit_status: $(cat "$work/$name.err")"
}

run_piped stalled sleep 1000
kill "$reader_pid" 2>/dev/null || true
grep -qE 'fpu-sample: [0-9]+ of [0-9]+ trace lines were dropped: standard output was not read in time' \
  "$work/stalled.err" || fail "stalled: no count of dropped lines: $(cat "$work/stalled.err")"
ok "a reader that never reads: the window answers, Escape ends it, the dropped lines are counted"

run_piped closed head -n 1
[[ $(grep -c 'standard output was closed: trace lines are no longer written' "$work/closed.err") == 1 ]] ||
  fail "closed: want one line saying tracing stopped: $(cat "$work/closed.err")"
[[ $(cat "$work/closed.read") == '{"trace":'* ]] || fail "closed: the reader got $(cat "$work/closed.read")"
ok "a reader that goes away: tracing stops with one line, the demo goes on until Escape"
