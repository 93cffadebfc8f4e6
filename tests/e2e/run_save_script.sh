#!/usr/bin/env bash
# End-to-end test of --save-script: the real fpu-sample under a window manager (openbox) on
# its own Xvfb screen, driven with xdotool for about 20 s (keys, drags with each button,
# random mode, auto mode, string art), then Escape. The saved script, replayed, must end on
# the frame the window showed and print the trace lines the demo printed (--trace stdout);
# `--record` makes the GIF. A second session ended by SIGTERM must be saved the same way,
# and a FILE that cannot be written is refused before any window opens.
#   run_save_script.sh FPU_SAMPLE FPU_SAMPLE_REPLAY
set -euo pipefail

sample=$(realpath "$1")
replay=$(realpath "$2")
here=$(dirname "$(realpath "$0")")

WORK=$(mktemp -d)
SAMPLE_PID='' OPENBOX_PID=''
cleanup() {
  for pid in "$SAMPLE_PID" "$OPENBOX_PID"; do
    if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi
  done
  stop_xvfb
  if [[ "${KEEP_E2E_WORK:-}" == 1 ]]; then echo "work files kept in $WORK" >&2; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# shellcheck source=x_session.sh
source "$here/x_session.sh"
load_names "$(dirname "$sample")"
require_tools Xvfb openbox xdotool xprop import compare identify
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset GDK_SCALE

# --- a file that cannot be written: said at once, with no window and no display needed ---
status=0
env -u DISPLAY "$sample" --save-script "$WORK/no/such/folder/s.txt" 2>"$WORK/refused.err" || status=$?
[[ $status -eq 1 ]] || fail "unwritable --save-script: exit status $status, want 1"
grep -q "^fpu-sample: cannot write '.*s.txt': " "$WORK/refused.err" ||
  fail "unwritable --save-script: $(head -c 300 "$WORK/refused.err")"

start_xvfb
openbox --sm-disable 2>"$WORK/openbox.log" &
OPENBOX_PID=$!
for ((i = 0; i < 100; i++)); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
((i < 100)) || fail "openbox did not start: $(tail -3 "$WORK/openbox.log")"

# Starts the demo saving to $1 with trace lines in $2; sets SAMPLE_PID and window.
start_sample() {
  "$sample" --trace stdout --save-script "$1" >"$2" 2>>"$WORK/sample.err" &
  SAMPLE_PID=$!
  window=$(find_window)
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  xdotool mousemove --window "$window" 350 327
}

# Presses BUTTON at the first client point X,Y, moves through the others, releases.
drag() {
  local button=$1 point first=1
  shift
  for point in "$@"; do
    xdotool mousemove --window "$window" "${point%,*}" "${point#*,}"
    if ((first)); then xdotool mousedown "$button"; first=0; fi
    sleep 0.05
  done
  xdotool mouseup "$button"
}

keys() {
  local k
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.15
  done
}

# The client area now, once two shots 0.3 s apart agree (the picture has come to rest).
settled_shot() {
  local out=$1 i
  for ((i = 0; i < 30; i++)); do
    screenshot "$window" "$WORK/shot-a.png"
    sleep 0.3
    screenshot "$window" "$out"
    compare -metric AE "$WORK/shot-a.png" "$out" /dev/null 2>/dev/null && return 0
  done
  fail "the window did not come to rest"
}

# Replays SCRIPT with a png line after it; the frame must equal SHOT, the trace lines the
# demo's (the replay adds one quit line after them).
expect_replay() {
  local script=$1 shot=$2 trace=$3 label=$4
  { cat "$script"; echo "png $WORK/$label-replay.png"; } |
    "$replay" --trace stdout - >"$WORK/$label-replay.out"
  local differing
  differing=$(compare -metric AE "$shot" "$WORK/$label-replay.png" "$WORK/$label-diff.png" 2>&1 >/dev/null) || {
    cp "$shot" "$WORK/$label-replay.png" "$WORK/$label-diff.png" "$PWD/" 2>/dev/null || true
    fail "$label: the replayed frame differs from the window's in $differing pixels"
  }
  [[ "$(tail -n 1 "$WORK/$label-replay.out")" == '{"quit":0}' ]] ||
    fail "$label: the replay did not end with the quit line"
  head -n -1 "$WORK/$label-replay.out" | cmp -s - "$trace" ||
    fail "$label: the replay printed $(($(wc -l <"$WORK/$label-replay.out") - 1)) trace lines, the demo $(wc -l <"$trace")"
}

# --- session 1: about 20 s of play, ended with Escape ---

start_sample "$WORK/session.txt" "$WORK/trace1.out"
keys F1 a a d q e e z c Left Up x
drag 1 350,327 380,327 420,330 420,380 300,400 200,300
drag 3 350,327 330,310 300,300
drag 2 350,327 390,327 400,360
keys p h h r
sleep 5
keys r t
sleep 3
drag 1 350,327 200,327 150,200
keys t s v v b b
sleep 1
keys n f g j k comma period
keys t
sleep 3
keys t w y y minus l l
sleep 2
settled_shot "$WORK/session1.png"
xdotool key Escape
wait_exit_within "$SAMPLE_PID" 2
SAMPLE_PID=
[[ "$EXIT_STATUS" -eq 0 ]] || fail "Escape: exit status $EXIT_STATUS"
[[ -s "$WORK/session.txt" ]] || fail "no script saved"
grep -q '^start [0-9]' "$WORK/session.txt" || fail "the script has no start line"
grep -q '^tick [0-9]* [0-9]* [0-9]* [0-9]*$' "$WORK/session.txt" || fail "no tick with its values"
grep -q '^mouse move ' "$WORK/session.txt" || fail "no mouse moves"
[[ "$(tail -n 1 "$WORK/session.txt")" == "key ESCAPE" ]] || fail "the script does not end with Escape"
[[ -s "$WORK/trace1.out" ]] || fail "the session printed no trace lines"
expect_replay "$WORK/session.txt" "$WORK/session1.png" "$WORK/trace1.out" escape
# The animation of the whole session.
"$replay" --trace none --record "$WORK/session.gif" "$WORK/session.txt" >/dev/null
frames=$(identify "$WORK/session.gif" | wc -l)
((frames > 100)) || fail "the GIF has $frames frames"
echo "session 1: $(wc -c <"$WORK/session.txt") bytes, $(wc -l <"$WORK/trace1.out") trace lines, $frames GIF frames; the replay ends on the window's frame with the same trace lines"

# --- session 2: random mode ended by SIGTERM ---

start_sample "$WORK/term.txt" "$WORK/trace2.out"
keys s v b r
sleep 2
keys r
settled_shot "$WORK/session2.png"
kill -TERM "$SAMPLE_PID"
wait_exit_within "$SAMPLE_PID" 2
SAMPLE_PID=
[[ "$EXIT_STATUS" -eq 0 ]] || fail "SIGTERM: exit status $EXIT_STATUS"
[[ "$(tail -n 1 "$WORK/term.txt")" == "close" ]] || fail "the script does not end with close"
expect_replay "$WORK/term.txt" "$WORK/session2.png" "$WORK/trace2.out" sigterm
echo "session 2: ended by SIGTERM, saved, and replayed to the window's frame"
