#!/usr/bin/env bash
# The window under Wine: exact title and class, placement, keys and mouse act, and the
# program ends with status 0 on Escape and on the close button.
source "$(dirname "$0")/common.bash"

start_program "$WIN_BUILD"
info=$(probe main-window 2000 | tr -d '\r')
grep -qx 'class=Win32asm_class' <<<"$info" || fail "window class: $info"
grep -qx 'title= FPU SAMPLE by JUX .:. Press any key for rotation Or use Mouse.:.' <<<"$info" ||
  fail "window title: $info"
ok "found by its exact title and class"
# 1920 x 1080 screen: half the screen less (350, 327).
grep -qx 'window=610,213,700,680' <<<"$info" || fail "placement: $info"
ok "placed at (610, 213), 700 x 680"

changes_after xdotool key Left || fail "the Left key does not turn the picture"
ok "keys turn the scene"

# The window shows what the replay tool draws for the same key, pixel for pixel, outside
# the counter's text (Wine draws that with a font of its own).
if [[ -n "${FPU_LINUX_REPLAY:-}" ]]; then
  printf 'key LEFT\npaint\npng %s\n' "$work/replay.png" |
    "$FPU_LINUX_REPLAY" --trace none >/dev/null || fail "the replay tool failed"
  client=$(sed -n 's/^client=//p' <<<"$info")
  origin=$(sed -n 's/^client_origin=//p' <<<"$info")
  shot "$work/window.png"
  hide_text=(-fill black -draw 'rectangle 0,0 63,17')
  convert "$work/window.png" -crop "${client}+${origin/,/+}" +repage "${hide_text[@]}" \
    "$work/client.png"
  convert "$work/replay.png" -crop "${client}+0+0" +repage "${hide_text[@]}" "$work/expected.png"
  differing=$(compare -metric AE "$work/client.png" "$work/expected.png" null: 2>&1 || true)
  [[ "$differing" == 0 ]] || fail "the window differs from the replay frame in $differing pixels"
  ok "the window's client area equals the replay frame (${client})"
fi
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
