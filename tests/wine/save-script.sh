#!/usr/bin/env bash
# --save-script under Wine: the Windows program is played with keys, drags and random mode,
# then Escape; the script it saved, replayed by the Linux replay tool, ends on the frame the
# Windows window showed last (outside the counter's text, which Wine draws with a font of
# its own). Needs FPU_LINUX_REPLAY; skipped visibly without it.
source "$(dirname "$0")/common.bash"
source "$(dirname "$0")/../../scripts/lib/names.sh"
load_names "$WIN_BUILD"

if [[ -z "${FPU_LINUX_REPLAY:-}" ]]; then
  echo "SKIP ${TEST_NAME}: FPU_LINUX_REPLAY (the Linux replay tool) is not set"
  exit 0
fi
replay=$(realpath "$FPU_LINUX_REPLAY")

if xdotool search --name "$TITLE_REGEX" >/dev/null 2>&1; then
  fail "a program window from before is still open"
fi
saved=$(winepath -w "$work/session.txt" 2>/dev/null | tr -d '\r')
(cd "$WIN_BUILD" && exec wine fpu-sample.exe --trace none --save-script "$saved") &
program_pid=$!
wait_for_window
info=$(probe main-window 2000 | tr -d '\r')
client=$(sed -n 's/^client=//p' <<<"$info")
origin=$(sed -n 's/^client_origin=//p' <<<"$info")
[[ -n "$client" && -n "$origin" ]] || fail "no client area: $info"

keys() {
  local k
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.15
  done
}
# Positions relative to the X window, which holds Wine's caption too.
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

keys F1 a d q e z Left Up p
drag 1 350,340 390,340 420,380 300,420
drag 3 350,340 320,320
keys s v v b b r
sleep 3
keys r l
drag 2 350,340 400,340 410,370
keys t
sleep 2
keys t

# The window's client area once it has come to rest, the counter's text blacked out.
hide_text=(-fill black -draw 'rectangle 0,0 63,17')
client_shot() {
  shot "$work/window.png"
  convert "$work/window.png" -crop "${client}+${origin/,/+}" +repage "${hide_text[@]}" "$1"
}
for ((i = 0; i < 30; i++)); do
  client_shot "$work/a.png"
  sleep 0.3
  client_shot "$work/last.png"
  [[ "$(compare -metric AE "$work/a.png" "$work/last.png" null: 2>&1 || true)" == 0 ]] && break
done
((i < 30)) || fail "the window did not come to rest"

xdotool key Escape
wait_exit 10
[[ "$exit_status" == 0 ]] || fail "Escape: exit status $exit_status"
[[ -s "$work/session.txt" ]] || fail "no script saved at $saved"
grep -q '^tick [0-9]* [0-9]* [0-9]* [0-9]*' "$work/session.txt" || fail "no tick with its values"
ok "the session is saved ($(wc -c <"$work/session.txt") bytes, $(grep -c . "$work/session.txt") lines)"

{ cat "$work/session.txt"; echo "png $work/replay.png"; } | "$replay" --trace none - >/dev/null ||
  fail "the replay tool refused the saved script"
convert "$work/replay.png" -crop "${client}+0+0" +repage "${hide_text[@]}" "$work/expected.png"
differing=$(compare -metric AE "$work/last.png" "$work/expected.png" null: 2>&1 || true)
[[ "$differing" == 0 ]] || {
  cp "$work/last.png" "$work/expected.png" "$PWD/" 2>/dev/null || true
  fail "the replayed frame differs from the window's last in $differing pixels"
}
ok "the Linux replay of the saved script ends on the Windows window's last frame (${client})"

# A file that cannot be written is refused before the window opens.
status=0
message=$(cd "$WIN_BUILD" && timeout 60 wine fpu-sample.exe --save-script 'Z:\no\such\folder\s.txt' 2>&1 >/dev/null) ||
  status=$?
[[ $status == 1 && "$message" == "fpu-sample: cannot write "* ]] ||
  fail "an unwritable --save-script: exit status $status: $message"
ok "an unwritable --save-script is refused with exit status 1: ${message%%$'\r'*}"
