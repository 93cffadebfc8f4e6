#!/usr/bin/env bash
# A string-art frame with tracing on (S, then Y: 1,400 index lines and the Z steps of the two
# keys) reaches the visible viewer complete and in order, as the replay tool prints it.
source "$(dirname "$0")/common.bash"

probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
replay_script=$'key S\npaint\nkey Y\npaint\n'
expected=$("$FPU_LINUX_REPLAY" --trace stdout <<<"$replay_script" |
  sed -n 's/^{"trace":"\(.*\)"}$/\1/p')
[[ -n "$expected" ]] || fail "the replay tool printed no trace lines"

start_program "$WIN_BUILD"
# S turns Z, whose trace line starts the viewer; the viewer takes the keyboard focus when it
# appears, and a click on the program's caption gives it back.
xdotool key s
probe viewer-text 1 10000 >/dev/null || fail "the viewer did not start"
xdotool mousemove --window "$window" 300 8 click 1
sleep 0.3
xdotool key y
text=$(probe viewer-text 1402 30000 | tr -d '\r') || fail "the viewer did not get 1,402 lines"
lines=$(wc -l <<<"$text")
((lines == 1402)) || fail "the viewer has $lines lines, not 1,402"
[[ $(grep -c '^rol[12] = ' <<<"$text") == 1400 ]] || fail "not 1,400 index lines:
$(head -5 <<<"$text")"
[[ "$text" == "$expected" ]] || fail "the lines differ from the replay tool's:
$(diff <(echo "$expected") <(echo "$text") | head -10)"
grep -q 'trace lines dropped' <<<"$text" && fail "lines were dropped"
ok "a traced string-art frame arrives complete: $lines lines, as the replay tool prints them"

xdotool key Escape
wait_exit 10
[[ "$exit_status" == 0 ]] || fail "exit status $exit_status"
