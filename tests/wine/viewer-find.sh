#!/usr/bin/env bash
# The Windows viewer under a long stream: 20,000 lines arrive through the program's trace
# delivery; Ctrl+F finds a line near the start and scrolls to it; a filter keeps exactly the
# lines holding its text (Ctrl+S saves what is shown, compared with grep of what was sent); a
# pause holds the view while 1,000 more lines arrive, loses none of them, and resuming
# follows the end again.
source "$(dirname "$0")/common.bash"

probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
(cd "$WIN_BUILD" && exec wine fpu-trace-viewer.exe) &
program_pid=$!
viewer=""
for _ in $(seq 100); do
  viewer=$(xdotool search --name "$(name_prefix "$FPU_WIN_VIEWER_TITLE")" 2>/dev/null | head -1 || true)
  [[ -n "$viewer" ]] && break
  sleep 0.2
done
[[ -n "$viewer" ]] || fail "no viewer window on the display"

# send FIRST COUNT: lines FIRST.. into sent.txt and to the viewer, which has them all when
# this returns.
send() {
  python3 - "$1" "$2" <<'PY' | tee -a "$work/sent.txt" | probe viewer-send || fail "lines $1.. not delivered"
import sys
first, count = int(sys.argv[1]), int(sys.argv[2])
for i in range(first, first + count):
    print(f"{i:05d} xopc = {i % 251}" if i % 7 == 3 else f"{i:05d} rot1 = {i * 37 % 1009}")
PY
}

# save NAME: Ctrl+S, the file its title names moved to NAME with LF line breaks and a final one.
save() {
  xdotool key ctrl+s
  local title file=""
  for _ in $(seq 50); do
    title=$(xdotool getwindowname "$viewer")
    if [[ "$title" == *" - saved to "* ]]; then
      file=$(wine winepath -u "${title#* - saved to }" 2>/dev/null | tr -d '\r')
      [[ -f "$file" ]] && break
    fi
    file=""
    sleep 0.1
  done
  [[ -n "$file" ]] || fail "Ctrl+S saved nothing (title: $title)"
  sleep 0.2
  tr -d '\r' <"$file" | sed -e '$a\' >"$work/$1"
  rm -f "$file"  # a later save is told by its file appearing again
}

send 0 20000
# A click into the text gives the viewer the keyboard.
xdotool mousemove --window "$viewer" 200 100 click 1
sleep 0.3

xdotool key ctrl+f
xdotool type "00042 rot"
sleep 0.5
top=$(probe viewer-top | tr -d '\r') || fail "no viewer view"
((top <= 42)) || fail "Ctrl+F did not scroll to line 42: the top line is $top"
# The current match (drawn on orange) is in the window's picture.
import -window "$viewer" -depth 8 "ppm:$work/find.ppm"
orange=$(python3 -c 'import sys; d=open(sys.argv[1],"rb").read().split(maxsplit=4)[4]; print(sum(d[i:i+3]==bytes((255,150,50)) for i in range(0,len(d),3)))' "$work/find.ppm")
((orange > 50)) || fail "Ctrl+F scrolled to line $top, but no current match is shown"
xdotool key Escape
ok "Ctrl+F finds a line near the start of 20000 and shows it"

xdotool key ctrl+i
xdotool type "XOPC"
xdotool key Return
save filtered.txt
grep -i xopc "$work/sent.txt" >"$work/expected.txt"
cmp -s "$work/filtered.txt" "$work/expected.txt" ||
  fail "the filter shows $(wc -l <"$work/filtered.txt") lines, not the $(wc -l <"$work/expected.txt") sent with xopc"
ok "the filter shows exactly the $(wc -l <"$work/expected.txt") lines holding its text"

# End follows the newest lines; the pause holds the view there while lines arrive.
xdotool key ctrl+i BackSpace BackSpace BackSpace BackSpace Return End space
sleep 0.3
before=$(probe viewer-top | tr -d '\r')
send 20000 1000
[[ $(probe viewer-top | tr -d '\r') == "$before" ]] || fail "the paused view moved"
xdotool key space
sleep 0.3
(($(probe viewer-top | tr -d '\r') >= before + 1000)) || fail "resuming did not follow the end"
save all.txt
cmp -s "$work/all.txt" "$work/sent.txt" ||
  fail "the save after the pause holds $(wc -l <"$work/all.txt") lines, not the 21000 sent"
ok "paused while 1000 lines arrived, resumed: all 21000 lines kept"
