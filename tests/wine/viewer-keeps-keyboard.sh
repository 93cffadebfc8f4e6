#!/usr/bin/env bash
# Under a window manager (openbox, Wine's windows managed by it) the viewer that a key of the
# program opens never takes the keyboard: the program stays the active window and its next
# keys reach it, not the viewer; a click into the viewer later gives the viewer the keyboard.
source "$(dirname "$0")/common.bash"

command -v openbox >/dev/null || {
  echo "SKIP ${TEST_NAME}: no openbox"
  exit 0
}
probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"

# Wine hands its windows to the window manager only while Managed is on; the other tests
# run without one.
wm_pid=""
managed() { wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$1" /f >/dev/null; }
restore() {
  [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null || true
  managed N || true
  cleanup
}
trap restore EXIT
managed Y
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

start_program "$WIN_BUILD"
xdotool windowactivate --sync "$window" 2>/dev/null || true
sleep 0.5
[[ $(xdotool getactivewindow) == "$window" ]] || fail "the program is not active to begin with"
xdotool key w
probe viewer-text 9 10000 >/dev/null || fail "the viewer did not get the dump's 9 lines"
viewer=$(xdotool search --name '^FPU SAMPLE trace$' | head -1)
[[ -n "$viewer" ]] || fail "no viewer window"
sleep 1  # the window manager has mapped and offered the focus by now
active=$(xdotool getactivewindow)
[[ "$active" == "$window" ]] ||
  fail "the viewer's opening took the keyboard (active: $(xdotool getwindowname "$active"))"
# The program's next key dumps again: 18 lines reach the viewer only if the key reached it.
xdotool key w
probe viewer-text 18 10000 >/dev/null || fail "the program's next key did not reach it"
ok "the program keeps the keyboard when its viewer opens"

# The viewer refuses the keyboard for its first 2 s; a click after that is an ordinary one.
sleep 2
xdotool mousemove --window "$viewer" 200 100 click 1
for _ in $(seq 20); do
  [[ $(xdotool getactivewindow) == "$viewer" ]] && break
  sleep 0.1
done
active=$(xdotool getactivewindow)
[[ "$active" == "$viewer" ]] ||
  fail "a click into the viewer did not activate it (active: $(xdotool getwindowname "$active"))"
ok "a click into the viewer gives it the keyboard"

xdotool windowactivate --sync "$window" 2>/dev/null || true
xdotool key Escape
wait_exit 10
[[ "$exit_status" == 0 ]] || fail "exit status $exit_status"
