#!/usr/bin/env bash
# The Windows viewer's text view: after Home it stays on the first lines while a traced
# frame arrives, End goes back to the newest lines, and the text is the lines sent.
source "$(dirname "$0")/common.bash"

probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
start_program "$WIN_BUILD"
xdotool key s
probe viewer-text 1 10000 >/dev/null || fail "the viewer did not start"
viewer=$(xdotool search --name "$VIEWER_TITLE_REGEX" | head -1)
[[ -n "$viewer" ]] || fail "no viewer window"

focus_program() {
  xdotool mousemove --window "$window" 300 8 click 1
  sleep 0.3
}
# viewer_key KEY: a click into the viewer's text gives it the keyboard, then KEY.
viewer_key() {
  xdotool mousemove --window "$viewer" 200 200 click 1
  sleep 0.3
  xdotool key "$1"
}
# view FILE: the viewer's text area (its scroll bar left out) as FILE.
view() {
  sleep 0.5
  import -window "$viewer" "$work/full.png"
  convert "$work/full.png" -crop 400x500+10+30 +repage "$1"
}

focus_program
xdotool key y
probe viewer-text 1402 30000 >/dev/null || fail "the first traced frame did not arrive"
viewer_key Home
view "$work/home.png"
focus_program
xdotool key Left
text=$(probe viewer-text 2802 30000 | tr -d '\r') || fail "the second traced frame did not arrive"
view "$work/after.png"
differing=$(compare -metric AE "$work/home.png" "$work/after.png" null: 2>&1 || true)
[[ "$differing" == 0 ]] || fail "new lines moved the view away from the first lines ($differing pixels)"
ok "after Home the view stays on the first lines while a traced frame arrives"

viewer_key End
view "$work/end.png"
differing=$(compare -metric AE "$work/home.png" "$work/end.png" null: 2>&1 || true)
[[ "$differing" != 0 ]] || fail "End did not move the view"
ok "End goes back to the newest lines"
[[ $(grep -c '^rol[12] = ' <<<"$text") == 2800 ]] || fail "not 2 x 1,400 index lines"
ok "both frames are in the viewer's text"

focus_program
xdotool key Escape
wait_exit 10
[[ "$exit_status" == 0 ]] || fail "exit status $exit_status"
