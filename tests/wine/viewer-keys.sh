#!/usr/bin/env bash
# The Windows viewer's own keys: F1 lists the keys and closes the list again, Ctrl+S writes
# the text (CR LF kept) to the file its title names, Delete and Ctrl+L clear the text.
source "$(dirname "$0")/common.bash"

probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
start_program "$WIN_BUILD"
xdotool key w
text=$(probe viewer-text 9 10000) || fail "the viewer did not get the dump's 9 lines"
viewer=$(xdotool search --name "$VIEWER_TITLE_REGEX" | head -1)
[[ -n "$viewer" ]] || fail "no viewer window"

focus_program() {
  xdotool mousemove --window "$window" 300 8 click 1
  sleep 0.3
}
# A click into the viewer's text gives it the keyboard.
focus_viewer() {
  xdotool mousemove --window "$viewer" 200 100 click 1
  sleep 0.3
}
viewer_shot() {
  sleep 0.5
  import -window "$viewer" "$1"
}
differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

focus_viewer
viewer_shot "$work/plain.png"
xdotool key F1
viewer_shot "$work/list.png"
[[ $(differing "$work/plain.png" "$work/list.png") != 0 ]] || fail "F1 showed nothing"
xdotool key F1
viewer_shot "$work/closed.png"
[[ $(differing "$work/plain.png" "$work/closed.png") == 0 ]] || fail "F1 again did not close the list"
ok "F1 lists the keys and F1 again closes the list"

xdotool key ctrl+s
saved=""
for _ in $(seq 30); do
  title=$(xdotool getwindowname "$viewer")
  if [[ "$title" == "$FPU_WIN_VIEWER_TITLE - saved to "* ]]; then
    saved=$(wine winepath -u "${title#"$FPU_WIN_VIEWER_TITLE - saved to "}" 2>/dev/null | tr -d '\r')
    break
  fi
  sleep 0.1
done
[[ -n "$saved" && -f "$saved" ]] || fail "Ctrl+S wrote no file (title: $title)"
trap 'rm -f "$saved"; cleanup' EXIT
[[ "$(basename "$saved")" =~ ^fpu-trace-[0-9]{8}-[0-9]{6}(-[0-9]+)?\.txt$ ]] ||
  fail "saved under $(basename "$saved")"
[[ $(tr -d '\r' <"$saved") == "$text" ]] || fail "the saved text differs from the viewer's:
$(cat "$saved")"
[[ $(grep -c $'\r$' "$saved") == 9 ]] || fail "the saved lines do not each end in CR LF"
[[ "$title" != *'/'* ]] || fail "the title's path mixes separators: $title"
ok "Ctrl+S writes the viewer's text, CR LF after every line, to the file its title names"

xdotool key Delete
sleep 0.5
[[ -z $(probe viewer-text 0 100) ]] || fail "Delete left text in the viewer"
focus_program
xdotool key w
probe viewer-text 9 10000 >/dev/null || fail "no lines after Delete"
focus_viewer
xdotool key ctrl+l
sleep 0.5
[[ -z $(probe viewer-text 0 100) ]] || fail "Ctrl+L left text in the viewer"
ok "Delete and Ctrl+L clear the text, and new lines arrive after"

focus_program
xdotool key Escape
wait_exit 10
[[ "$exit_status" == 0 ]] || fail "exit status $exit_status"
