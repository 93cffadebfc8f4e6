# One scenario for both viewer windows (sourced): the Linux one (tests/viewer/scenario_linux.sh,
# Xvfb + openbox) and the Windows one (tests/wine/viewer-scenario.sh, Wine + openbox) each
# define these, then call run_scenario once per desktop scale:
#   SCALE, SCROLL_BAR   the desktop's scale; the width of the scroll bar at the viewer's right
#   WORK                a scratch folder
#   ok TEXT, fail TEXT  report
#   start_demo          starts the demo, its window active; sets DEMO (its X window)
#   find_viewer         waits for the viewer the demo started; sets VIEWER and VIEWER_PID
#   focus_viewer        gives the viewer the keyboard as a user does
#   wait_lines N        waits until the viewer holds N lines; fails after 10 s
#   send_lines          each line of the input to the viewer as a trace line
#   save_text FILE      Ctrl+S in the viewer; the file it wrote, copied to FILE (LF line breaks)
#   stop_demo           ends the demo (Escape) and the viewer
here_scenario=$(dirname "${BASH_SOURCE[0]}")

shot() {
  sleep 0.5
  import -window "$VIEWER" -depth 8 "ppm:$WORK/$1.ppm" 2>>"$WORK/import.log" || fail "no picture of the viewer"
}
# "MARK_Y WORD..." of the viewer's find bar now.
find_bar() {
  shot bar
  python3 "$here_scenario/scenario_shot.py" bar "$WORK/bar.ppm" "$SCALE"
}
# expect_count WHICH MARK_Y: the mark on the first (1) or second (2) match, at MARK_Y, and the
# bar's counter saying so: "2 of 2" has the same word twice at its end, "1 of 2" has not.
expect_count() {
  local which=$1 mark=$2 label=$3 words
  read -r -a words <<<"$(find_bar)"
  local n=${#words[@]} said=1
  [[ "${words[n - 1]}" != "${words[n - 3]}" ]] || said=2
  [[ "${words[0]}" == "$mark" ]] || fail "$label: the mark is at y=${words[0]}, not on match $which (y=$mark)"
  [[ "$said" == "$which" ]] ||
    fail "$label: with the mark on match $which of 2 the counter says the other one (${words[*]})"
}

run_scenario() {
  local at="scale $SCALE" words first second
  start_demo
  # The demo's dump key (to whichever window has the keyboard) starts the viewer.
  xdotool key w
  find_viewer
  wait_lines 9
  sleep 1 # the window manager has mapped the viewer and offered it the keyboard by now
  local active
  active=$(xdotool getactivewindow)
  [[ "$active" == "$DEMO" ]] || fail "$at: the viewer's opening took the keyboard ($(xdotool getwindowname "$active"))"
  xdotool key w
  wait_lines 18
  ok "$at: the demo keeps the keyboard when its viewer opens"

  focus_viewer
  save_text "$WORK/saved.txt"
  (($(wc -l <"$WORK/saved.txt") == 18)) || fail "$at: Ctrl+S wrote $(wc -l <"$WORK/saved.txt") lines of 18"
  ok "$at: Ctrl+S writes as many lines as the viewer shows"

  shot plain
  xdotool key F1
  shot list
  python3 "$here_scenario/scenario_shot.py" box "$WORK/plain.ppm" "$WORK/list.ppm" "$SCROLL_BAR" >"$WORK/box.txt" ||
    fail "$at: the F1 list is cut or its text leaves it (changed: $(cat "$WORK/box.txt"))"
  xdotool key F1
  shot closed
  cmp -s "$WORK/plain.ppm" "$WORK/closed.ppm" || fail "$at: F1 again did not close the list"
  ok "$at: the F1 list fits the window, F1 again closes it"

  xdotool key Delete
  wait_lines 0
  printf '%s\n' "rol1 = 25" "xopc = 8" "rol2 = 7" "xopc = 8" "rol1 = 26" | send_lines
  wait_lines 5
  ok "$at: Delete clears the text, new lines arrive after"
  xdotool key ctrl+f
  xdotool type "xopc = 8"
  read -r first _ <<<"$(find_bar)"
  ((first >= 0)) || fail "$at: typing the query marks no match"
  xdotool key Return
  read -r second _ <<<"$(find_bar)"
  ((second > first)) || fail "$at: Enter did not move the mark down to the second match"
  expect_count 2 "$second" "$at, Enter"
  xdotool key F3
  expect_count 1 "$first" "$at, F3 (wraps)"
  xdotool key shift+F3
  expect_count 2 "$second" "$at, Shift+F3 (wraps)"
  xdotool key shift+Return
  expect_count 1 "$first" "$at, Shift+Enter"
  ok "$at: the find counter follows the mark (Enter, F3, Shift+F3, Shift+Enter)"

  read -r -a words <<<"$(find_bar)"
  xdotool key alt+c
  local after
  read -r -a after <<<"$(find_bar)"
  # "[match case]" is two words more; the query's words ("xopc", "=", "8") are unchanged.
  ((${#after[@]} == ${#words[@]} + 2)) && [[ "${after[*]:1:4}" == "${words[*]:1:4}" ]] ||
    fail "$at: Alt+C changed the query (words ${words[*]} -> ${after[*]})"
  xdotool key alt+c Escape
  ok "$at: Alt+C turns match case on and types nothing"

  # Lines the demo cannot deliver while the viewer is stopped are announced within 1 s of
  # the viewer answering again, with no line after them.
  xdotool key ctrl+l
  wait_lines 0
  xdotool windowactivate --sync "$DEMO" 2>/dev/null || true
  kill -STOP "$VIEWER_PID"
  # String art, every index traced, redrawn every 50 ms; then both off.
  xdotool key s y t
  sleep 3
  xdotool key t y s
  sleep 0.5
  kill -CONT "$VIEWER_PID"
  sleep 1
  focus_viewer
  save_text "$WORK/flood.txt"
  tail -1 "$WORK/flood.txt" | grep -Eqx '\[[0-9]+ trace lines dropped\]' ||
    fail "$at: 1 s after the viewer went on, its last line is not the dropped lines' count: $(tail -1 "$WORK/flood.txt")"
  ok "$at: Ctrl+L cleared the text; the count of dropped lines came within 1 s, no new line" \
    "needed ($(tail -1 "$WORK/flood.txt"))"
  stop_demo
}
