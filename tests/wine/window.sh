#!/usr/bin/env bash
# The window under Wine: exact title and class, placement, keys and mouse act, and the
# program ends with status 0 on Escape and on the close button. The first key starts the
# trace viewer, which must stand beside the window and leave it the keyboard: the keys
# after it still act, and the picture equals the replay's for all of them. Without a
# display the program says why it has no window and exits non-zero. --help and --version
# answer with status 0, a wrong argument with 2.
source "$(dirname "$0")/common.bash"

start_program "$WIN_BUILD"
info=$(probe main-window 2000 | tr -d '\r')
grep -qxF "class=$FPU_WINDOW_CLASS" <<<"$info" || fail "window class: $info"
grep -qxF "title=$FPU_WINDOW_TITLE" <<<"$info" || fail "window title: $info"
ok "found by its exact title and class"
# 1920 x 1080 screen: half the screen less (350, 327).
grep -qx 'window=610,213,700,680' <<<"$info" || fail "placement: $info"
ok "placed at (610, 213), 700 x 680"

# F1 has no command: it repeats the start-up turn about all three axes, whose Z step sends a
# trace line, which starts the viewer.
probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
xdotool key F1
probe viewer-text 1 10000 >/dev/null || fail "F1 did not start the trace viewer"
viewer=$(xdotool search --onlyvisible --name "$VIEWER_TITLE_REGEX" | head -1 || true)
[[ -n "$viewer" ]] || fail "the trace viewer's window is not visible"
eval "$(xdotool getwindowgeometry --shell "$viewer" | grep -E '^(X|Y|WIDTH|HEIGHT)=-?[0-9]+$')"
# The program's window: 700 x 680 at (610, 213).
if ((X < 1310 && 610 < X + WIDTH && Y < 893 && 213 < Y + HEIGHT)); then
  fail "the viewer (${WIDTH}x$HEIGHT at $X,$Y) covers the program's window"
fi
ok "F1 starts the viewer beside the window (${WIDTH}x$HEIGHT at $X,$Y)"
changes_after xdotool key Left || fail "after the viewer opened, the Left key does not act"
xdotool key Up
ok "keys still turn the scene after the viewer opened"

# The window shows what the replay tool draws for the same keys, pixel for pixel, outside
# the counter's text (Wine draws that with a font of its own).
printf 'key F1\npaint\nkey LEFT\npaint\nkey UP\npaint\npng %s\n' "$work/replay.png" |
  "$FPU_LINUX_REPLAY" --trace none >/dev/null || fail "the replay tool failed"
client=$(sed -n 's/^client=//p' <<<"$info")
origin=$(sed -n 's/^client_origin=//p' <<<"$info")
hide_text=(-fill black -draw 'rectangle 0,0 63,17')
convert "$work/replay.png" -crop "${client}+0+0" +repage "${hide_text[@]}" "$work/expected.png"
differing=unknown
for _ in $(seq 20); do
  shot "$work/window.png"
  convert "$work/window.png" -crop "${client}+${origin/,/+}" +repage "${hide_text[@]}" \
    "$work/client.png"
  differing=$(compare -metric AE "$work/client.png" "$work/expected.png" null: 2>&1 || true)
  [[ "$differing" == 0 ]] && break
  sleep 0.2
done
[[ "$differing" == 0 ]] || fail "the window differs from the replay frame in $differing pixels"
ok "the window's client area equals the replay frame after F1, Left, Up (${client})"
probe viewer-close 3000 >/dev/null || true
# A right-button drag moves the whole picture (positions are relative to the window).
drag_right() {
  xdotool mousemove --window "$window" 300 300 mousedown 3 mousemove --window "$window" 360 340 \
    mouseup 3
}
changes_after drag_right || fail "a right-button drag does not move the picture"
ok "the mouse drags the picture"

xdotool key Escape
wait_exit 10
[[ "$exit_status" == 0 ]] || fail "Escape: exit status $exit_status"
ok "Escape ends the program with status 0"

start_program "$WIN_BUILD"
# The close button is the rightmost of Wine's own caption buttons.
xdotool mousemove --window "$window" 686 12 click 1
wait_exit 10
[[ "$exit_status" == 0 ]] || fail "close button: exit status $exit_status"
ok "the close button ends the program with status 0"

# No display: the window cannot be created; the reason goes to standard error.
status=0
message=$(cd "$WIN_BUILD" && env -u DISPLAY timeout 60 wine fpu-sample.exe 2>&1 >/dev/null) ||
  status=$?
[[ $status -ne 0 && $status -ne 124 ]] || fail "without a display: exit status $status"
grep -q 'fpu-sample: creating the window failed (error [0-9]' <<<"$message" ||
  fail "without a display the program does not say why: $message"
ok "without a display it exits with status $status: $(grep -m1 'fpu-sample:' <<<"$message")"

for program in fpu-sample fpu-trace-viewer; do
  out=$(cd "$WIN_BUILD" && timeout 60 wine "$program.exe" --version | tr -d '\r') ||
    fail "$program --version failed"
  [[ "$out" =~ ^$program\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "$program --version: $out"
  out=$(cd "$WIN_BUILD" && timeout 60 wine "$program.exe" --help | tr -d '\r') ||
    fail "$program --help failed"
  [[ "$out" == "usage: $program"* ]] || fail "$program --help: $out"
done
ok "--help and --version answer with status 0"

# A wrong argument is refused on standard error (a message box without a console).
status=0
message=$(cd "$WIN_BUILD" && timeout 60 wine fpu-sample.exe --bogus 2>&1 >/dev/null) || status=$?
[[ $status == 2 && "$message" == "fpu-sample: unknown option '--bogus'"* ]] ||
  fail "--bogus: exit status $status: $message"
ok "--bogus is refused with exit status 2"
