#!/usr/bin/env bash
# The viewer scenario (tests/viewer/scenario.bash) on the Windows viewer: the program and the
# viewer it starts under openbox (Wine's windows managed by it), at 100 % on the shared
# screen and at 200 % (LogPixels 192) on a screen and Wine server of its own. A click into
# the viewer, once it stopped refusing the keyboard, gives it the keyboard.
# shellcheck source=common.bash
source "$(dirname "$0")/common.bash"
# shellcheck source=../viewer/scenario.bash
source "$(dirname "$0")/../viewer/scenario.bash"

command -v openbox >/dev/null || fail "no openbox"
probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
WORK=$work
wm_pid="" xvfb_pid=""
shared_prefix=$WINEPREFIX shared_display=$DISPLAY
# Wine hands its windows to the window manager only while Managed is on; the other tests
# run without one.
managed() { wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$1" /f >/dev/null; }
stop_wm() {
  [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null || true
  wm_pid=""
}
restore() {
  stop_wm
  if [[ -n "$xvfb_pid" ]]; then
    wineserver -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
  fi
  WINEPREFIX=$shared_prefix DISPLAY=$shared_display managed N || true
  WINEPREFIX=$shared_prefix DISPLAY=$shared_display cleanup
}
trap restore EXIT
start_wm() {
  managed Y
  openbox --sm-disable >/dev/null 2>&1 &
  wm_pid=$!
  for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
}

start_demo() {
  start_program "$WIN_BUILD"
  DEMO=$window
  xdotool windowactivate --sync "$DEMO" 2>/dev/null || true
  sleep 0.5
}
find_viewer() {
  VIEWER=""
  for _ in $(seq 50); do
    VIEWER=$(xdotool search --name "$VIEWER_TITLE_REGEX" 2>/dev/null | head -1 || true)
    [[ -n "$VIEWER" ]] && break
    sleep 0.2
  done
  [[ -n "$VIEWER" ]] || fail "no viewer window within 10 s"
  VIEWER_PID=$(xdotool getwindowpid "$VIEWER")
  viewer_opened=$SECONDS
}
focus_viewer() {
  # The viewer refuses the keyboard for its first 2 s.
  while ((SECONDS - viewer_opened < 3)); do sleep 0.2; done
  xdotool mousemove --window "$VIEWER" $((200 * SCALE)) $((100 * SCALE)) click 1
  for _ in $(seq 20); do
    [[ $(xdotool getactivewindow) == "$VIEWER" ]] && return
    sleep 0.1
  done
  fail "a click into the viewer did not give it the keyboard"
}
wait_lines() {
  local text n
  for _ in $(seq 20); do
    text=$(probe viewer-text "$1" 10000 | tr -d '\r') || fail "the viewer does not hold $1 lines"
    n=$(grep -c . <<<"$text") || true
    [[ "$n" == "$1" ]] && return
    sleep 0.5
  done
  fail "the viewer holds $n lines, not $1"
}
send_lines() { probe viewer-send || fail "lines not delivered"; }
# The file the title names, CR LF after every line; copied with LF.
save_text() {
  xdotool key ctrl+s
  local title file=""
  for _ in $(seq 50); do
    title=$(xdotool getwindowname "$VIEWER")
    if [[ "$title" == "$FPU_WIN_VIEWER_TITLE - saved to "* ]]; then
      file=$(wine winepath -u "${title#"$FPU_WIN_VIEWER_TITLE - saved to "}" 2>/dev/null | tr -d '\r')
      [[ -f "$file" ]] && break
    fi
    file=""
    sleep 0.1
  done
  [[ -n "$file" ]] || fail "Ctrl+S saved nothing (title: $title)"
  [[ "$title" != *'/'* ]] || fail "the title's path mixes separators: $title"
  [[ "$(basename "$file")" =~ ^fpu-trace-[0-9]{8}-[0-9]{6}(-[0-9]+)?\.txt$ ]] ||
    fail "saved under $(basename "$file")"
  sleep 0.2
  [[ $(grep -c $'\r$' "$file") == $(wc -l <"$file") ]] || fail "the saved lines do not each end in CR LF"
  tr -d '\r' <"$file" >"$1"
  rm -f "$file" # a later save is told by its file appearing again
}
highlight_rules() {
  cat "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/fpu-trace-viewer/highlight.conf 2>/dev/null || true
}
stop_demo() {
  probe viewer-close 3000 >/dev/null || fail "the viewer cannot be closed"
  xdotool windowactivate --sync "$DEMO" 2>/dev/null || true
  xdotool key Escape
  wait_exit 10
  [[ "$exit_status" == 0 ]] || fail "exit status $exit_status"
}

SCALE=1 SCROLL_BAR=20
start_wm
run_scenario
stop_wm
managed N

# 200 %: a copy of the prefix with its own Wine server, on a screen twice as large. Hard links,
# but the registry files copied: a server that lives this long rewrites them in place.
cp -al "$shared_prefix" "$work/prefix" 2>/dev/null || cp -a "$shared_prefix" "$work/prefix"
for registry in "$work/prefix"/*.reg; do cp --remove-destination "$shared_prefix/${registry##*/}" "$registry"; done
export WINEPREFIX="$work/prefix"
start_screen_at_200 3840x2160
SCALE=2 SCROLL_BAR=40
start_wm
run_scenario
