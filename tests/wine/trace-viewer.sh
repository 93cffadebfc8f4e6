#!/usr/bin/env bash
# Trace lines under Wine: the first line starts the viewer beside the program, lines arrive
# in its edit control in order with CR LF only between them, and they are appended at the
# end even after the caret was moved to the start (as a click into the text does).
source "$(dirname "$0")/common.bash"

probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
[[ -f "$WIN_BUILD/fpu-trace-viewer.exe" ]] || fail "no fpu-trace-viewer.exe beside the program"

dump_lines="rot1 = 0
rot2 = 0
rol1 = 0
rol2 = 0
rayon1 = 240
rayon2 = 240
eAX = -200, Dist Z
----------------------------------------"

start_program "$WIN_BUILD"
xdotool key w
text=$(probe viewer-text 9 10000 | tr -d '\r') || fail "the viewer did not get 9 lines: $text"
expected="$dump_lines
xopc = 62, ---- Z"
[[ "$text" == "$expected" ]] || fail "viewer text after W:
$text"
ok "W starts the viewer and its 9 lines arrive in order, none blank before the first"

probe viewer-caret-home || fail "no viewer edit control"
# The viewer took the keyboard focus when it appeared; a click on the program's caption
# gives it back (a click in the client area would be mouse input to the program).
xdotool mousemove --window "$window" 300 8 click 1
sleep 0.3
xdotool key w
text=$(probe viewer-text 18 10000 | tr -d '\r') || fail "the viewer did not get 18 lines"
head -9 <<<"$text" | cmp -s - <(echo "$expected") || fail "the first lines changed:
$text"
tail -9 <<<"$text" | head -8 | cmp -s - <(echo "$dump_lines") || fail "lines not appended:
$text"
tail -1 <<<"$text" | grep -q '^xopc = ' || fail "last line: $(tail -1 <<<"$text")"
ok "lines sent after the caret moved to the start are appended at the end"

xdotool key Escape
wait_exit 10
[[ "$exit_status" == 0 ]] || fail "exit status $exit_status"
ok "the program ends with status 0 while the viewer stays"
