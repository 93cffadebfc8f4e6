#!/usr/bin/env bash
# The windowed viewer under a long stream, on its own Xvfb screen: 20,000 lines arrive;
# Ctrl+F finds a line near the start and scrolls to it; a filter keeps exactly the lines
# holding its text (Ctrl+S saves what is shown, compared with grep of what was sent); a pause
# with 1,000 more lines arriving loses none of them; a highlight rule colours lines and is kept.
#   window_find_filter.sh FPU_TRACE_VIEWER
set -euo pipefail

viewer=$(realpath "$1")
here=$(dirname "$(realpath "$0")")

WORK=$(mktemp -d)
VIEWER_PID=
cleanup() {
  if [[ -n "$VIEWER_PID" ]]; then kill "$VIEWER_PID" 2>/dev/null || true; fi
  stop_xvfb
  if [[ "${KEEP_VIEWER_WORK:-}" == 1 ]]; then echo "work files kept in $WORK" >&2; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# shellcheck source=../e2e/x_session.sh
source "$here/../e2e/x_session.sh"
source "$here/../../scripts/lib/names.sh"
load_names "$(dirname "$viewer")"
require_tools Xvfb xdotool import python3

export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export XDG_RUNTIME_DIR="$WORK/run" XDG_DOCUMENTS_DIR="$WORK/docs" HOME="$WORK"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir "$XDG_DOCUMENTS_DIR"
start_xvfb

"$viewer" --dir "$XDG_RUNTIME_DIR" 2>"$WORK/viewer.log" &
VIEWER_PID=$!
WINDOW=$(timeout 10 xdotool search --sync --name "$(name_pattern "$FPU_VIEWER_TITLE")" | head -1) ||
  fail "no viewer window appeared: $(cat "$WORK/viewer.log")"

# send FIRST COUNT: lines FIRST.. to the viewer, one message each, and into sent.txt.
send() {
  python3 - "$XDG_RUNTIME_DIR" "$1" "$2" >>"$WORK/sent.txt" <<'PY'
import glob, socket, sys
path = glob.glob(sys.argv[1] + "/*.sock")[0]
first, count = int(sys.argv[2]), int(sys.argv[3])
s = socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET)
s.connect(path)
for i in range(first, first + count):
    line = f"{i:05d} xopc = {i % 251}" if i % 7 == 3 else f"{i:05d} rot1 = {i * 37 % 1009}"
    s.send(b"L" + line.encode())
    print(line)
s.close()
PY
}

# save NAME: Ctrl+S, the file moved to NAME with LF line breaks.
save() {
  xdotool key --window "$WINDOW" ctrl+s
  local files file=
  for _ in $(seq 50); do
    files=("$XDG_DOCUMENTS_DIR"/fpu-trace-*.txt)
    [[ -f "${files[0]}" ]] && file=${files[0]} && break
    sleep 0.1
  done
  [[ -n "$file" ]] || fail "Ctrl+S saved nothing"
  sleep 0.2
  ! grep -q $'\r' "$file" || fail "the save has CR line breaks"
  cp "$file" "$WORK/$1"
  rm -f "$file"
}

# The scroll bar thumb's first row in a screenshot, and the bar's height.
thumb() {
  sleep 0.5
  import -window "$WINDOW" -depth 8 "ppm:$WORK/shot.ppm" 2>>"$WORK/import.log" || fail "no screenshot"
  python3 - "$WORK/shot.ppm" <<'PY'
import sys
magic, w, h, maxval, px = open(sys.argv[1], "rb").read().split(maxsplit=4)
w, h = int(w), int(h)
bar = [tuple(px[3 * (w * y + w - 4):3 * (w * y + w - 4) + 3]) for y in range(h)]
thumb = [y for y, c in enumerate(bar) if c == (150,) * 3]
print(thumb[0] if thumb else -1, sum(c in ((235,) * 3, (150,) * 3) for c in bar))
PY
}

# Waits until the viewer holds LINES lines (a save says so), at most about 10 s.
wait_lines() {
  for _ in $(seq 20); do
    save all.txt
    (($(wc -l <"$WORK/all.txt") == $1)) && return
    sleep 0.5
  done
  fail "the viewer holds $(wc -l <"$WORK/all.txt") lines, not $1"
}

send 0 20000
wait_lines 20000
read -r top bar <<<"$(thumb)"
((top > bar / 2)) || fail "the view does not follow the end: thumb at $top of $bar"

xdotool key --window "$WINDOW" ctrl+f
xdotool type --window "$WINDOW" "00042 rot" 2>/dev/null
read -r top bar <<<"$(thumb)"
((top >= 0 && top < bar / 20)) || fail "Ctrl+F did not bring line 42 into view: thumb at $top of $bar"
xdotool key --window "$WINDOW" Escape
echo "ok   Ctrl+F finds a line near the start of 20000 and shows it"

xdotool key --window "$WINDOW" ctrl+i
xdotool type --window "$WINDOW" "XOPC" 2>/dev/null
xdotool key --window "$WINDOW" Return
save filtered.txt
grep -i xopc "$WORK/sent.txt" >"$WORK/expected.txt"
cmp -s "$WORK/filtered.txt" "$WORK/expected.txt" ||
  fail "the filter shows $(wc -l <"$WORK/filtered.txt") lines, not the $(wc -l <"$WORK/expected.txt") sent with xopc"
echo "ok   the filter shows exactly the $(wc -l <"$WORK/expected.txt") lines holding its text"

xdotool key --window "$WINDOW" ctrl+h
xdotool type --window "$WINDOW" "xopc yellow" 2>/dev/null
xdotool key --window "$WINDOW" Return
sleep 0.5
import -window "$WINDOW" -depth 8 "ppm:$WORK/shot.ppm" 2>>"$WORK/import.log" || fail "no screenshot"
yellow=$(python3 -c 'import sys; d=open(sys.argv[1],"rb").read().split(maxsplit=4)[4]; print(sum(d[i:i+3]==bytes((255,245,140)) for i in range(0,len(d),3)))' "$WORK/shot.ppm")
((yellow > 10000)) || fail "Ctrl+H xopc yellow coloured $yellow pixels"
grep -qx "xopc yellow" "$HOME/.config/fpu-trace-viewer/highlight.conf" || fail "the rule was not kept"
echo "ok   Ctrl+H colours the matching lines and keeps the rule"

xdotool key --window "$WINDOW" ctrl+i BackSpace BackSpace BackSpace BackSpace Return space 2>/dev/null
send 20000 1000
sleep 0.5
xdotool key --window "$WINDOW" space
wait_lines 21000
cmp -s "$WORK/all.txt" "$WORK/sent.txt" || fail "the save after the pause differs from what was sent"
echo "ok   paused while 1000 lines arrived, resumed: all 21000 lines kept"

kill "$VIEWER_PID"
wait "$VIEWER_PID" || fail "the viewer ended with status $?"
VIEWER_PID=
