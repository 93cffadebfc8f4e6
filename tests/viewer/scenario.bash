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
#   highlight_rules     prints the viewer's kept highlight rules
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

# lines FIRST COUNT: trace lines numbered from FIRST, every seventh an xopc line.
lines() {
  awk -v first="$1" -v count="$2" 'BEGIN { for (i = first; i < first + count; i++)
    if (i % 7 == 3) printf "%05d xopc = %d\n", i, i % 251; else printf "%05d rot1 = %d\n", i, i * 37 % 1009 }'
}
# Saves until the save holds N lines (at most about 10 s); leaves it in all.txt.
wait_saved() {
  for _ in $(seq 20); do
    save_text "$WORK/all.txt"
    (($(wc -l <"$WORK/all.txt") == $1)) && return
    sleep 0.5
  done
  fail "scale $SCALE: the viewer holds $(wc -l <"$WORK/all.txt") lines, not $1"
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
  if ((${#after[@]} != ${#words[@]} + 2)) || [[ "${after[*]:1:4}" != "${words[*]:1:4}" ]]; then
    fail "$at: Alt+C changed the query (words ${words[*]} -> ${after[*]})"
  fi
  xdotool key alt+c Escape
  ok "$at: Alt+C turns match case on and types nothing"

  # A long stream: find near its start, a filter, a highlight, a pause while lines arrive.
  xdotool key Delete
  wait_lines 0
  lines 0 20000 | tee "$WORK/sent.txt" | send_lines
  wait_saved 20000
  xdotool key ctrl+f
  xdotool type "00042 rot"
  read -r first _ <<<"$(find_bar)"
  ((first >= 0)) || fail "$at: Ctrl+F did not bring line 42's match into view"
  xdotool key Escape
  ok "$at: Ctrl+F finds a line near the start of 20000 and shows it"
  xdotool key ctrl+i
  xdotool type "XOPC"
  xdotool key Return
  save_text "$WORK/filtered.txt"
  grep -i xopc "$WORK/sent.txt" >"$WORK/expected.txt"
  cmp -s "$WORK/filtered.txt" "$WORK/expected.txt" ||
    fail "$at: the filter shows $(wc -l <"$WORK/filtered.txt") lines, not the $(wc -l <"$WORK/expected.txt") sent with xopc"
  ok "$at: the filter shows exactly the $(wc -l <"$WORK/expected.txt") lines holding its text"
  xdotool key ctrl+h
  xdotool type "xopc yellow"
  xdotool key Return
  shot yellow
  local yellow
  yellow=$(python3 "$here_scenario/scenario_shot.py" colour "$WORK/yellow.ppm" 255 245 140)
  ((yellow > 2000 * SCALE * SCALE)) || fail "$at: Ctrl+H xopc yellow coloured $yellow pixels"
  highlight_rules | grep -qx "xopc yellow" || fail "$at: the rule was not kept"
  xdotool key ctrl+h
  xdotool type "xopc off"
  xdotool key Return
  sleep 0.5
  ! highlight_rules | grep -q xopc || fail "$at: xopc off kept the rule"
  ok "$at: Ctrl+H colours the matching lines and keeps the rule; TEXT off removes it"
  xdotool key ctrl+i BackSpace BackSpace BackSpace BackSpace Return End space
  shot paused
  lines 20000 1000 | tee -a "$WORK/sent.txt" | send_lines
  sleep 1
  shot paused_after
  python3 "$here_scenario/scenario_shot.py" same-text "$WORK/paused.ppm" "$WORK/paused_after.ppm" "$SCROLL_BAR" ||
    fail "$at: the paused view moved"
  xdotool key space
  wait_saved 21000
  cmp -s "$WORK/all.txt" "$WORK/sent.txt" || fail "$at: the save after the pause differs from what was sent"
  ok "$at: paused while 1000 lines arrived, resumed: all 21000 lines kept"

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
