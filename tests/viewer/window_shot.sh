#!/usr/bin/env bash
# The windowed viewer on its own Xvfb screen: a traced string-art frame is sent to it by the
# replay tool, then a screenshot must show text, a scroll bar whose thumb sits at the end
# (following), and the help line; Home moves the thumb to the top; Ctrl+S saves the text
# into the documents folder and names the file in the window. With GDK_SCALE=2 the help
# line is twice as tall.
#   window_shot.sh FPU_TRACE_VIEWER FPU_SAMPLE_REPLAY
set -euo pipefail

viewer=$(realpath "$1")
replay=$(realpath "$2")
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
require_tools Xvfb xdotool import convert python3

export XDG_RUNTIME_DIR="$WORK/run" XDG_DOCUMENTS_DIR="$WORK/docs" HOME="$WORK"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir "$XDG_DOCUMENTS_DIR"
start_xvfb

# start_viewer [ENV...]: the viewer with its window; sets VIEWER_PID and WINDOW.
start_viewer() {
  env "$@" "$viewer" --dir "$XDG_RUNTIME_DIR" 2>"$WORK/viewer.log" &
  VIEWER_PID=$!
  WINDOW=$(timeout 10 xdotool search --sync --name '^fpu trace viewer$' | head -1) ||
    fail "no viewer window appeared: $(cat "$WORK/viewer.log")"
}

stop_viewer() {
  kill "$VIEWER_PID"
  wait "$VIEWER_PID" || fail "the viewer ended with status $?"
  VIEWER_PID=
}

# A string-art frame with tracing on (1,402 lines), then the dump of W.
printf 'key S\nkey Y\npaint\nkey W\n' >"$WORK/frame.txt"
send_frame() { "$replay" --trace viewer "$WORK/frame.txt" >/dev/null || fail "replay failed"; }

# shot NAME: the window as NAME.ppm, after the viewer has had time to redraw.
shot() {
  sleep 0.5
  import -window "$WINDOW" -depth 8 "ppm:$WORK/$1.ppm" 2>>"$WORK/import.log" || fail "no screenshot"
}

# measure NAME: prints "text=<dark pixels in the text area> thumb=<top>,<bottom>
# help=<height of the help band> helptext=<dark pixels in it>".
measure() {
  python3 - "$WORK/$1.ppm" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos + 1].isspace():
        pos += 1
    start = pos
    while not data[pos:pos + 1].isspace():
        pos += 1
    fields.append(data[start:pos])
w, h = int(fields[1]), int(fields[2])
px = data[pos + 1:pos + 1 + 3 * w * h]
def at(x, y):
    i = 3 * (y * w + x)
    return tuple(px[i:i + 3])
band = (225, 225, 225)
help_rows = 0
for y in range(h - 1, -1, -1):
    if sum(at(x, y) == band for x in range(w)) < w // 3:
        break
    help_rows += 1
help_text = sum(1 for y in range(h - help_rows, h) for x in range(w) if max(at(x, y)) < 100)
# The scroll bar: the column 3 pixels from the right edge, over the text area.
text_bottom = h - help_rows
column = [at(w - 4, y) for y in range(text_bottom)]
track = sum(c == (235, 235, 235) for c in column)
thumb = [y for y, c in enumerate(column) if c == (150, 150, 150)]
text = sum(1 for y in range(text_bottom) for x in range(w - 30) if max(at(x, y)) < 100)
import zlib
rows = b"".join(px[3 * y * w:3 * (y * w + w - 30)] for y in range(text_bottom))
bar = track + len(thumb)
print(f"bar={bar} texthash={zlib.crc32(rows)} text={text} track={track} thumb={thumb[0] if thumb else -1},{thumb[-1] if thumb else -1}"
      f" help={help_rows} helptext={help_text} height={text_bottom}")
PY
}

value() { sed -n "s/.*\b$1=\([-0-9]*\).*/\1/p" <<<"$2"; }

start_viewer
send_frame
shot following
m=$(measure following)
following=$m
(($(value text "$m") > 2000)) || fail "no text drawn: $m"
(($(value help "$m") >= 10 && $(value helptext "$m") > 200)) || fail "no help line: $m"
(($(value track "$m") > 100)) || fail "no scroll bar track: $m"
thumb_end=${m#*thumb=*,}
thumb_end=${thumb_end%% *}
height=$(value height "$m")
((thumb_end >= height - 2)) || fail "the thumb is not at the end while following: $m"
echo "ok   text drawn, scroll bar with its thumb at the end, help line"

xdotool key --window "$WINDOW" Home
shot home
m=$(measure home)
thumb_top=${m#*thumb=}
thumb_top=${thumb_top%%,*}
((thumb_top == 0)) || fail "Home did not move the thumb to the top: $m"
send_frame
shot still_home
[[ $(value texthash "$(measure still_home)") == $(value texthash "$m") ]] ||
  fail "new lines moved the view away from the top"
echo "ok   Home shows the first lines, and new lines do not move them"

xdotool key --window "$WINDOW" ctrl+s
sleep 0.5
saved=("$XDG_DOCUMENTS_DIR"/fpu-trace-*.txt)
[[ -f "${saved[0]}" ]] || fail "Ctrl+S saved nothing into $XDG_DOCUMENTS_DIR"
lines=$(($(tr -cd '\n' <"${saved[0]}" | wc -c) + 1))
sent=$("$replay" --trace stdout "$WORK/frame.txt" | grep -c '^{"trace":')
((lines == 2 * sent)) || fail "the saved file has $lines lines, not 2 x $sent"
title=$(xdotool getwindowname "$WINDOW")
[[ "$title" == *"${saved[0]}" ]] || fail "the title does not name the file: $title"
shot saved
m=$(measure saved)
(($(value bar "$m") < $(value bar "$following") - 10)) || fail "no status line above the help line: $m"
echo "ok   Ctrl+S saves all $lines lines to ${saved[0]##*/} and says so in the window"
stop_viewer

start_viewer GDK_SCALE=2
shot scaled
m2=$(measure scaled)
(($(value help "$m2") >= 2 * $(value help "$m") - 2)) || fail "GDK_SCALE=2 did not scale: $m2"
echo "ok   GDK_SCALE=2 draws the help line twice as tall"
stop_viewer
